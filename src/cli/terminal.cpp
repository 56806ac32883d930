#include "cli/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>
#include <csignal>
#include <vector>

namespace tallyrook::cli {

namespace {

// Set while a progress line stands on the terminal, so that a second Ctrl-C can erase it.
volatile std::sig_atomic_t progressShown = 0;

void WriteStderr(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(STDERR_FILENO, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;  // nowhere left to report it
        done += n;
    }
}

bool IsWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
           (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
}

int TerminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

int CharWidth(char32_t c) {
    const QChar::Category category = QChar::category(c);
    if (category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing ||
        category == QChar::Other_Format)
        return 0;
    return IsWide(c) ? 2 : 1;
}

// The text cut in the middle to at most `columns` columns, its start and end kept.
QString ElideMiddle(const QString& text, int columns) {
    std::vector<std::pair<QStringView, int>> characters;
    int total = 0;
    ForEachCharacter(text, [&](char32_t c, QStringView raw) {
        characters.emplace_back(raw, CharWidth(c));
        total += characters.back().second;
    });
    if (total <= columns)
        return text;
    const int headRoom = (columns - 1) / 2;
    int tailRoom = columns - 1 - headRoom;
    QString head;
    for (int used = 0; const auto& [raw, width] : characters) {
        if (used + width > headRoom)
            break;
        used += width;
        head += raw;
    }
    QString tail;
    for (auto it = characters.rbegin(); it != characters.rend() && it->second <= tailRoom; ++it) {
        tailRoom -= it->second;
        tail.prepend(it->first);
    }
    return head % u'\u2026' % tail;
}

}  // namespace

bool IsInvisibleCharacter(char32_t c) {
    if (c < 0x80)
        return false;
    if (c < 0xA0)
        return true;
    const QChar::Category category = QChar::category(c);
    return category == QChar::Other_Format || category == QChar::Separator_Line ||
           category == QChar::Separator_Paragraph;
}

QString EscapeForTerminal(QStringView text) {
    QString out;
    out.reserve(text.size());
    ForEachCharacter(text, [&out](char32_t c, QStringView raw) {
        if (c == u'\t')
            out += u"\\t";
        else if (c == u'\n')
            out += u"\\n";
        else if (c == u'\r')
            out += u"\\r";
        else if (c < 0x20 || c == 0x7F)
            out += QStringLiteral("\\x%1").arg(uint(c), 2, 16, QChar(u'0'));
        else if (c == LoneSurrogate || (c <= 0xFFFF && IsInvisibleCharacter(c)))
            out += QStringLiteral("\\u%1").arg(raw[0].unicode(), 4, 16, QChar(u'0'));
        else if (IsInvisibleCharacter(c))
            out += QStringLiteral("\\U%1").arg(uint(c), 8, 16, QChar(u'0'));
        else
            out += raw;
    });
    return out;
}

Stderr::Stderr(bool progress) : progress_(progress && ::isatty(STDERR_FILENO)) {
    sinceDrawn_.start();
}

void Stderr::Message(const QString& text) {
    EraseProgress();
    WriteStderr(EscapeForTerminal(text).toUtf8() + '\n');
}

void Stderr::ShowProgress(bool shown) {
    shown_ = shown;
    if (!shown) {
        EraseProgressNow();
        dirty_ = false;
    }
}

void Stderr::SetCaption(const QString& caption) {
    if (!progress_ || caption == caption_)
        return;
    caption_ = caption;
    dirty_ = true;
    DrawIfDue();
}

void Stderr::SetProgress(int percent) {
    if (!progress_ || percent == percent_)
        return;
    percent_ = percent;
    dirty_ = true;
    DrawIfDue();
}

void Stderr::DrawIfDue() {
    // Ten a second at most: more would only cost time and flicker. A run shorter than that shows
    // none at all.
    if (!shown_ || sinceDrawn_.elapsed() < 100)
        return;
    sinceDrawn_.restart();
    dirty_ = false;
    const QString percent = QStringLiteral("  %1%").arg(percent_);
    // One column short of the width, so the line never wraps and "\r" always reaches its start.
    const int room = TerminalColumns() - 1 - int(percent.size());
    const QString line = ElideMiddle(EscapeForTerminal(caption_), std::max(room, 1)) + percent;
    progressShown = 1;
    WriteStderr("\r" + line.toUtf8() + "\x1b[K");
}

void Stderr::EraseProgress() {
    if (progressShown) {
        EraseProgressNow();
        dirty_ = true;  // drawn again at the next change
    }
}

void EraseProgressNow() {
    if (!progressShown)
        return;
    progressShown = 0;
    static const char erase[] = "\r\x1b[K";
    (void)!::write(STDERR_FILENO, erase, sizeof erase - 1);
}

}  // namespace tallyrook::cli
