#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringView>

namespace tallyrook::cli {

// Calls f(c, raw) for each character of the text: c its code point, or LoneSurrogate for half
// a pair, and raw the code units it takes.
inline constexpr char32_t LoneSurrogate = 0xFFFFFFFF;
template <typename F>
void ForEachCharacter(QStringView text, F f) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            f(QChar::surrogateToUcs4(c, text[i + 1]), text.sliced(i, 2));
            ++i;
        } else {
            f(c.isSurrogate() ? LoneSurrogate : char32_t(c.unicode()), text.sliced(i, 1));
        }
    }
}

// True for a character beyond ASCII that a terminal acts on or shows as nothing: the C1 controls,
// the format characters (bidirectional controls, zero-width characters, the soft hyphen...) and
// the line and paragraph separators.
bool IsInvisibleCharacter(char32_t c);

// The text with everything a terminal could act on or hide shown escaped: C0 controls and DEL as
// \xHH (tab, newline and carriage return as \t, \n and \r), invisible characters and lone
// surrogates as \uHHHH, or \UHHHHHHHH beyond the first 65,536. File names reach the user's
// terminal only through this.
QString EscapeForTerminal(QStringView text);

// Everything tallyrook-cli writes to stderr: messages and the progress line. Messages are always
// escaped; the progress line is drawn only on a terminal, and erased before anything else is
// written.
class Stderr {
public:
    // `progress`: draw the progress line (stderr must also be a terminal).
    explicit Stderr(bool progress);

    void Message(const QString& text);

    // The line is drawn only while a run is in one of its stages; false erases it for good.
    void ShowProgress(bool shown);
    // Caption and percent as the desktop program shows them; drawn at most ten times a second.
    void SetCaption(const QString& caption);
    void SetProgress(int percent);
    // Draws the line if it changed and its time has come. Cheap when nothing changed.
    void Poll() {
        if (dirty_)
            DrawIfDue();
    }
    // Removes the line from the terminal (it comes back at the next change).
    void EraseProgress();

private:
    void DrawIfDue();

    bool progress_;
    bool shown_ = false;
    bool dirty_ = false;
    QString caption_;
    int percent_ = 0;
    QElapsedTimer sinceDrawn_;
};

// Erases the progress line, from a signal handler too (async-signal-safe).
void EraseProgressNow();

}  // namespace tallyrook::cli
