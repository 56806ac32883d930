#include "cli/row_output.h"

#include <unistd.h>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string_view>

#include "cli/terminal.h"
#include "shared/global.h"

namespace tallyrook::cli {

namespace {

constexpr qsizetype OutputBlock = qsizetype(256) * 1024;

}  // namespace

void Output::Write(QStringView text) {
    const QByteArray bytes = text.toUtf8();
    char* at = Room(bytes.size());
    std::memcpy(at, bytes.constData(), size_t(bytes.size()));
    Commit(at + bytes.size());
}

char* Output::Room(qsizetype bytes) {
    if (used_ + bytes > capacity_) {
        Flush();
        if (bytes > capacity_) {
            capacity_ = std::max(bytes, 2 * OutputBlock);
            buffer_ = std::make_unique<char[]>(size_t(capacity_));
        }
    }
    return buffer_.get() + used_;
}

void Output::Commit(const char* end) {
    used_ = end - buffer_.get();
    if (used_ >= OutputBlock)
        Flush();
}

void Output::Flush() {
    qsizetype done = 0;
    while (state_ == State::Open && done < used_) {
        const ssize_t n = ::write(fd_, buffer_.get() + done, size_t(used_ - done));
        if (n >= 0) {
            done += n;
        } else if (errno != EINTR) {
            error_ = errno;
            state_ = errno == EPIPE ? State::ReaderGone : State::Failed;
        }
    }
    used_ = 0;
}

namespace {

qint64 FlooredSeconds(qint64 msecs) {
    return msecs / 1000 - (msecs % 1000 < 0);
}

// A hint only: without it the rows come out the same, more slowly.
void PrefetchMemory(const void* address) {
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    Q_UNUSED(address);
#endif
}

}  // namespace

quint32 CompactRows::Intern(const QString& text, quint32& last) {
    if (last != NoText && texts_.at(last) == text)
        return last;
    auto it = textIds_.constFind(text);
    if (it == textIds_.cend()) {
        it = textIds_.insert(text, quint32(texts_.size()));
        texts_.append(text);
    }
    return last = *it;
}

void CompactRows::AppendRow(ResultRow row) {
    Q_ASSERT(row.file >= 0 && row.file < inventory_.FileCount());
    entries_.push_back(
        {row.bytes,
         row.modified.isValid() ? FlooredSeconds(row.modified.toMSecsSinceEpoch()) : NoDate,
         quint32(row.file), Intern(row.sizeText, lastSize_), Intern(row.modifiedText, lastDate_),
         qint32(row.group), 0, 0, row.criterion, row.color, false, row.checked});
}

CompactRows::Parts CompactRows::RowParts(int index) const {
    const Entry& entry = entries_[size_t(index)];
    return {inventory_.FileFolders.at(entry.file),
            inventory_.FileNames.at(entry.file),
            texts_.at(entry.size),
            texts_.at(entry.date),
            entry.criterion,
            entry.color,
            entry.bytes,
            entry.seconds == NoDate ? std::nullopt : std::optional<qint64>(entry.seconds),
            entry.group,
            entry.copySet,
            entry.sameFile,
            entry.byFingerprint,
            entry.checked,
            Source(entry.file)};
}

QStringView CompactRows::Source(quint32 file) const {
    const std::optional<FileInventory::Recorded> recorded = inventory_.RecordedOf(file);
    return recorded ? QStringView(inventory_.SourceNames.at(recorded->source)) : QStringView();
}

void CompactRows::Prefetch(int index) const {
    // In two steps: the list entries of a row further on, then the texts of a nearer one, whose
    // entries came in meanwhile.
    constexpr int Far = 16, Near = 8;
    if (index + Far < RowCount()) {
        const quint32 file = entries_[size_t(index) + Far].file;
        PrefetchMemory(&inventory_.FileFolders.at(file));
        PrefetchMemory(&inventory_.FileNames.at(file));
    }
    if (index + Near < RowCount()) {
        const quint32 file = entries_[size_t(index) + Near].file;
        PrefetchMemory(inventory_.FileFolders.at(file).constData());
        PrefetchMemory(inventory_.FileNames.at(file).constData());
    }
}

const ResultRow& CompactRows::Row(int index) const {
    const Parts parts = RowParts(index);
    const Entry& entry = entries_[size_t(index)];
    current_.path = parts.folder + parts.name;
    current_.sizeText = texts_.at(entry.size);
    current_.modifiedText = texts_.at(entry.date);
    current_.criterion = entry.criterion;
    current_.color = entry.color;
    current_.bytes = parts.bytes;
    current_.modified =
        parts.seconds ? QDateTime::fromSecsSinceEpoch(*parts.seconds, Qt::UTC) : QDateTime();
    current_.group = parts.group;
    current_.checked = entry.checked;
    current_.file = entry.file;
    return current_;
}

void CompactRows::ClearRows() {
    entries_.clear();
    textIds_.clear();
    texts_.clear();
    lastSize_ = lastDate_ = NoText;
}

namespace {

// The field writers put their text at `at` and return its end. The caller makes room for six
// bytes per byte or code unit of text (the longest escape, \uHHHH), and for the numbers.

char* PutTsv(char* at, char c) {
    switch (c) {
        case '\\':
            *at++ = '\\';
            *at++ = '\\';
            break;
        case '\t':
            *at++ = '\\';
            *at++ = 't';
            break;
        case '\n':
            *at++ = '\\';
            *at++ = 'n';
            break;
        case '\r':
            *at++ = '\\';
            *at++ = 'r';
            break;
        default:
            *at++ = c;
    }
    return at;
}

// UTF-8 text; backslash, tab, newline and carriage return escaped.
char* PutTsv(char* at, QByteArrayView utf8) {
    for (const char c : utf8)
        at = PutTsv(at, c);
    return at;
}

char* PutTsv(char* at, QLatin1StringView word) {
    return PutTsv(at, QByteArrayView(word.data(), word.size()));
}

// The text in UTF-8 as QString::toUtf8 gives it, escaped the same way. ASCII goes straight
// through; from the first other character on, Qt encodes the rest.
char* PutTsv(char* at, QStringView text) {
    const char16_t* units = text.utf16();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (units[i] >= 0x80)
            return PutTsv(at, QByteArrayView(text.sliced(i).toUtf8()));
        at = PutTsv(at, char(units[i]));
    }
    return at;
}

// A JSON string. Beyond what JSON requires, the characters a terminal acts on or hides and lone
// surrogates are escaped too, so the output is safe to show on a terminal; the value stays the
// same.
void AppendJsonString(QString& out, QStringView text) {
    out += u'"';
    ForEachCharacter(text, [&out](char32_t c, QStringView raw) {
        if (c == u'"' || c == u'\\') {
            out += u'\\';
            out += raw;
        } else if (c == u'\n') {
            out += u"\\n";
        } else if (c == u'\t') {
            out += u"\\t";
        } else if (c < 0x20 || c == 0x7F || IsInvisibleCharacter(c) || c == LoneSurrogate) {
            for (const QChar unit : raw)  // beyond the first 65,536 as a pair of \u escapes
                out += QStringLiteral("\\u%1").arg(unit.unicode(), 4, 16, QChar(u'0'));
        } else {
            out += raw;
        }
    });
    out += u'"';
}

// An ASCII character of a JSON string, escaped as AppendJsonString does.
char* PutJsonAscii(char* at, char c) {
    static constexpr char Hex[] = "0123456789abcdef";
    if (c == '"' || c == '\\') {
        *at++ = '\\';
        *at++ = c;
    } else if (c == '\n') {
        *at++ = '\\';
        *at++ = 'n';
    } else if (c == '\t') {
        *at++ = '\\';
        *at++ = 't';
    } else if (c < 0x20 || c == 0x7F) {
        at[0] = '\\';
        at[1] = 'u';
        at[2] = '0';
        at[3] = '0';
        at[4] = Hex[c >> 4];
        at[5] = Hex[c & 0xF];
        at += 6;
    } else {
        *at++ = c;
    }
    return at;
}

// A JSON string the slow way, for text beyond ASCII.
char* PutJsonSlowly(char* at, QStringView text) {
    QString json;
    AppendJsonString(json, text);
    const QByteArray bytes = json.toUtf8();
    std::memcpy(at, bytes.constData(), size_t(bytes.size()));
    return at + bytes.size();
}

// A JSON string of an ASCII word.
char* PutJson(char* at, QLatin1StringView word) {
    *at++ = '"';
    for (const char c : word)
        at = PutJsonAscii(at, c);
    *at++ = '"';
    return at;
}

// A JSON string of the two texts one after the other.
char* PutJson(char* at, QStringView first, QStringView second = {}) {
    char* const start = at;
    *at++ = '"';
    for (const QStringView text : {first, second}) {
        for (const QChar c : text) {
            if (c.unicode() >= 0x80)
                return PutJsonSlowly(start, QString(first + second));
            at = PutJsonAscii(at, char(c.unicode()));
        }
    }
    *at++ = '"';
    return at;
}

char* PutNumber(char* at, qint64 value) {
    return std::to_chars(at, at + 20, value).ptr;
}

char* PutTwoDigits(char* at, int value) {
    *at++ = char('0' + value / 10);
    *at++ = char('0' + value % 10);
    return at;
}

// The time in ISO 8601 UTC exactly as QDateTime::toString(Qt::ISODate) gives it, without its
// cost per row.
char* PutIsoTime(char* at, qint64 seconds) {
    const qint64 days = seconds / 86400 - (seconds % 86400 < 0);
    const int second = int(seconds - days * 86400);
    // The civil date of a count of days since 1970-01-01, in the proleptic Gregorian calendar.
    const qint64 shifted = days + 719468;  // days since 0000-03-01
    const qint64 era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
    const qint64 dayOfEra = shifted - era * 146097;
    const qint64 yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 monthFromMarch = (5 * dayOfYear + 2) / 153;
    const int day = int(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    const int month = int(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    const qint64 year = yearOfEra + era * 400 + (month <= 2);
    if (year < 1 || year > 9999) {  // Qt's own answer, which may be the empty text
        const QByteArray text =
            QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(Qt::ISODate).toUtf8();
        std::memcpy(at, text.constData(), size_t(text.size()));
        return at + text.size();
    }
    at = PutTwoDigits(at, int(year / 100));
    at = PutTwoDigits(at, int(year % 100));
    *at++ = '-';
    at = PutTwoDigits(at, month);
    *at++ = '-';
    at = PutTwoDigits(at, day);
    *at++ = 'T';
    at = PutTwoDigits(at, second / 3600);
    *at++ = ':';
    at = PutTwoDigits(at, second / 60 % 60);
    *at++ = ':';
    at = PutTwoDigits(at, second % 60);
    *at++ = 'Z';
    return at;
}

// Room for a row whose texts take these many bytes or code units; the type and colour words
// are short ASCII.
qsizetype RowRoom(const CompactRows::Parts& row) {
    return 6 * (row.folder.size() + row.name.size() + row.sizeText.size() + row.dateText.size() +
                row.source.size()) +
           200;
}

// A count from 1, or nothing for 0.
char* PutCount(char* at, int number) {
    return number > 0 ? PutNumber(at, number) : at;
}

// A copy set's number, with ByFingerprint where the row's copies are known that way only.
char* PutCopy(char* at, const CompactRows::Parts& row) {
    at = PutCount(at, row.copySet);
    if (row.copySet > 0 && row.byFingerprint) {
        std::memcpy(at, ByFingerprint, sizeof ByFingerprint - 1);
        at += sizeof ByFingerprint - 1;
    }
    return at;
}

void WriteTsv(bool header, const Fields& fields, const CompactRows& rows, Output& out) {
    if (header)
        out.Write(QString(QLatin1StringView(TsvHeader) % (fields.copies ? u"\tcopy\tfile" : u"") %
                          (fields.sources ? u"\tsource" : u"") %
                          (fields.checked ? u"\tchecked\n" : u"\n")));
    for (int i = 0; i < rows.RowCount() && out.state() == Output::State::Open; ++i) {
        rows.Prefetch(i);
        const CompactRows::Parts row = rows.RowParts(i);
        char* at = out.Room(RowRoom(row));
        at = PutTsv(at, row.folder);
        at = PutTsv(at, row.name);
        *at++ = '\t';
        at = PutTsv(at, row.sizeText);
        *at++ = '\t';
        at = PutTsv(at, row.dateText);
        *at++ = '\t';
        at = PutTsv(at, TypeWord(row.criterion));
        *at++ = '\t';
        at = PutTsv(at, ColourName(row.color));
        *at++ = '\t';
        at = PutNumber(at, row.group);
        *at++ = '\t';
        if (row.bytes >= 0)
            at = PutNumber(at, row.bytes);
        *at++ = '\t';
        if (row.seconds)
            at = PutIsoTime(at, *row.seconds);
        if (fields.copies) {
            *at++ = '\t';
            at = PutCopy(at, row);
            *at++ = '\t';
            at = PutCount(at, row.sameFile);
        }
        if (fields.sources) {
            *at++ = '\t';
            at = PutTsv(at, row.source);
        }
        if (fields.checked) {
            *at++ = '\t';
            *at++ = row.checked ? '1' : '0';
        }
        *at++ = '\n';
        out.Commit(at);
    }
}

void WriteJson(const Fields& fields, const CompactRows& rows, Output& out) {
    if (rows.RowCount() == 0) {
        out.Write(u"[]\n");
        return;
    }
    auto put = [](char* at, std::string_view text) {
        std::memcpy(at, text.data(), text.size());
        return at + text.size();
    };
    for (int i = 0; i < rows.RowCount() && out.state() == Output::State::Open; ++i) {
        rows.Prefetch(i);
        const CompactRows::Parts row = rows.RowParts(i);
        char* at = out.Room(RowRoom(row));
        at = put(at, i == 0 ? "[\n{\"path\":" : ",\n{\"path\":");
        at = PutJson(at, row.folder, row.name);
        at = put(at, ",\"size\":");
        at = PutJson(at, row.sizeText);
        at = put(at, ",\"modified\":");
        at = PutJson(at, row.dateText);
        at = put(at, ",\"type\":");
        at = PutJson(at, TypeWord(row.criterion));
        at = put(at, ",\"colour\":");
        at = PutJson(at, ColourName(row.color));
        at = put(at, ",\"group\":");
        at = PutNumber(at, row.group);
        at = put(at, ",\"bytes\":");
        at = row.bytes >= 0 ? PutNumber(at, row.bytes) : put(at, "null");
        at = put(at, ",\"mtime\":");
        if (row.seconds) {
            *at++ = '"';
            at = PutIsoTime(at, *row.seconds);
            *at++ = '"';
        } else {
            at = put(at, "null");
        }
        if (fields.copies) {
            at = put(at, ",\"copy\":");
            if (row.byFingerprint) {
                *at++ = '"';
                at = PutCopy(at, row);
                *at++ = '"';
            } else {
                at = row.copySet > 0 ? PutNumber(at, row.copySet) : put(at, "null");
            }
            at = put(at, ",\"file\":");
            at = row.sameFile > 0 ? PutNumber(at, row.sameFile) : put(at, "null");
        }
        if (fields.sources) {
            at = put(at, ",\"source\":");
            at = PutJson(at, row.source);
        }
        if (fields.checked)
            at = put(at, row.checked ? ",\"checked\":true" : ",\"checked\":false");
        *at++ = '}';
        out.Commit(at);
    }
    out.Write(u"\n]\n");
}

void WriteTable(const Fields& fields, const CompactRows& rows, Output& out) {
    const QString typeHead = QStringLiteral("TYPE");
    const QString sizeHead = QStringLiteral("SIZE");
    const QString dateHead = QStringLiteral("MODIFIED");
    const QString copyHead = QStringLiteral("COPY");
    const QString fileHead = QStringLiteral("FILE");
    const QString checkedHead = QStringLiteral("CHECKED");
    const QString sourceHead = QStringLiteral("SOURCE");
    qsizetype typeWidth = typeHead.size();
    qsizetype sizeWidth = sizeHead.size();
    qsizetype dateWidth = dateHead.size();
    qsizetype sourceWidth = sourceHead.size();
    bool byFingerprint = false;
    // The parts only: a whole row would build a path and a date for three lengths.
    for (int i = 0; i < rows.RowCount(); ++i) {
        const CompactRows::Parts row = rows.RowParts(i);
        typeWidth = std::max(typeWidth, TypeWord(row.criterion).size());
        sizeWidth = std::max(sizeWidth, row.sizeText.size());
        dateWidth = std::max(dateWidth, row.dateText.size());
        sourceWidth = std::max(sourceWidth, EscapeForTerminal(row.source.toString()).size());
        byFingerprint = byFingerprint || row.byFingerprint;
    }
    const qsizetype fileWidth = std::max(fileHead.size(), QString::number(rows.RowCount()).size());
    const qsizetype copyWidth =
        fileWidth + (byFingerprint ? qsizetype(sizeof ByFingerprint - 1) : 0);
    auto line = [&](QStringView type, QStringView size, QStringView date, const QString& copy,
                    const QString& file, QStringView source, const QString& mark,
                    const QString& path) -> QString {
        return type.toString().leftJustified(typeWidth) % u"  " %
               size.toString().rightJustified(sizeWidth) % u"  " %
               date.toString().leftJustified(dateWidth) % u"  " %
               (fields.copies ? QString(copy.rightJustified(copyWidth) + u"  " +
                                        file.rightJustified(fileWidth) + u"  ")
                              : QString()) %
               (fields.checked ? QString(mark.leftJustified(checkedHead.size()) + u"  ")
                               : QString()) %
               (fields.sources
                    ? EscapeForTerminal(source.toString()).leftJustified(sourceWidth) + u"  "
                    : QString()) %
               EscapeForTerminal(path) % u'\n';
    };
    const auto count = [](int number) { return number > 0 ? QString::number(number) : QString(); };
    const auto copy = [&count](const CompactRows::Parts& row) {
        return row.copySet > 0 && row.byFingerprint
                   ? QString(count(row.copySet) + QLatin1StringView(ByFingerprint))
                   : count(row.copySet);
    };
    out.Write(line(typeHead, sizeHead, dateHead, copyHead, fileHead, sourceHead, checkedHead,
                   QStringLiteral("PATH")));
    int group = 0;
    for (int i = 0; i < rows.RowCount() && out.state() == Output::State::Open; ++i) {
        const CompactRows::Parts row = rows.RowParts(i);
        const bool newGroup = i > 0 && row.group != group;
        group = row.group;
        if (newGroup)
            out.Write(u"\n");
        out.Write(line(QString(TypeWord(row.criterion)), row.sizeText, row.dateText, copy(row),
                       count(row.sameFile), row.source,
                       row.checked ? QStringLiteral("x") : QString(), row.folder + row.name));
    }
}

}  // namespace

void WriteRows(Format format, bool header, const Fields& fields, const CompactRows& rows,
               Output& out) {
    switch (format) {
        case Format::Table:
            WriteTable(fields, rows, out);
            break;
        case Format::Tsv:
            WriteTsv(header, fields, rows, out);
            break;
        case Format::Json:
            WriteJson(fields, rows, out);
            break;
    }
    out.Flush();
}

}  // namespace tallyrook::cli
