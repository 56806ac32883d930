#include "cli/row_output.h"

#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "cli/terminal.h"
#include "shared/global.h"

namespace tallyrook::cli {

void Output::Write(const QString& text) {
    if (state_ != State::Open)
        return;
    buffer_ += text.toUtf8();
    if (buffer_.size() >= 256 * 1024)
        Flush();
}

void Output::Flush() {
    qsizetype done = 0;
    while (state_ == State::Open && done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.constData() + done, size_t(buffer_.size() - done));
        if (n >= 0) {
            done += n;
        } else if (errno != EINTR) {
            error_ = errno;
            state_ = errno == EPIPE ? State::ReaderGone : State::Failed;
        }
    }
    buffer_.resize(0);
}

namespace {

constexpr qsizetype BlockSize = 1 << 20;

// UTF-8 back to text, a leading byte-order mark kept (QString::fromUtf8 would drop it and so
// name another file).
QString DecodeKeepingBom(QByteArrayView bytes) {
    QString text;
    while (bytes.startsWith("\xEF\xBB\xBF")) {
        text += QChar(0xFEFF);
        bytes = bytes.sliced(3);
    }
    return text + QString::fromUtf8(bytes);
}

// The NUL-ended text at `at`, which then points past it.
QString NextText(const char*& at) {
    const qsizetype length = qsizetype(std::strlen(at));
    const QString text = DecodeKeepingBom(QByteArrayView(at, length));
    at += length + 1;
    return text;
}

}  // namespace

void CompactRows::AppendRow(ResultRow row) {
    const QByteArray texts =
        row.path.toUtf8() + '\0' + row.sizeText.toUtf8() + '\0' + row.modifiedText.toUtf8() + '\0';
    if (blocks_.empty() || blocks_.back().size() + texts.size() > blocks_.back().capacity()) {
        blocks_.emplace_back();
        blocks_.back().reserve(std::max(BlockSize, texts.size()));
    }
    qsizetype type = types_.indexOf(row.type);
    if (type < 0) {
        type = types_.size();
        types_.append(row.type);
    }
    entries_.push_back({quint32(blocks_.size() - 1), quint32(blocks_.back().size()), row.bytes,
                        row.modified.isValid() ? row.modified.toMSecsSinceEpoch() : 0,
                        qint32(row.group), quint16(type), row.modified.isValid(), row.checked});
    blocks_.back().append(texts);
}

const ResultRow& CompactRows::Row(int index) const {
    const Entry& entry = entries_.at(size_t(index));
    const char* at = blocks_[entry.block].constData() + entry.offset;
    current_.path = NextText(at);
    current_.sizeText = NextText(at);
    current_.modifiedText = NextText(at);
    current_.type = types_.at(entry.type);
    current_.bytes = entry.bytes;
    current_.modified =
        entry.timeValid ? QDateTime::fromMSecsSinceEpoch(entry.msecs, Qt::UTC) : QDateTime();
    current_.group = entry.group;
    current_.checked = entry.checked;
    return current_;
}

void CompactRows::ClearRows() {
    entries_.clear();
    blocks_.clear();
    types_.clear();
}

namespace {

void AppendTsvField(QString& out, QStringView text) {
    for (QChar c : text) {
        switch (c.unicode()) {
            case u'\\':
                out += u"\\\\";
                break;
            case u'\t':
                out += u"\\t";
                break;
            case u'\n':
                out += u"\\n";
                break;
            case u'\r':
                out += u"\\r";
                break;
            default:
                out += c;
        }
    }
}

// A JSON string. Beyond what JSON requires, C1 and bidirectional controls and lone surrogates are
// escaped too, so the output is safe to show on a terminal; the value stays the same.
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
        } else if (c < 0x20 || (c >= 0x7F && c < 0xA0) || (c >= 0x202A && c <= 0x202E) ||
                   (c >= 0x2066 && c <= 0x2069) || c == LoneSurrogate) {
            out += QStringLiteral("\\u%1").arg(raw[0].unicode(), 4, 16, QChar(u'0'));
        } else {
            out += raw;
        }
    });
    out += u'"';
}

// The time in ISO 8601 UTC, as JSON gives it too; the empty text when unknown.
QString IsoTime(const QDateTime& utc) {
    return utc.isValid() ? utc.toUTC().toString(Qt::ISODate) : QString();
}

void WriteTsv(bool header, const ResultList& rows, const Global& global, Output& out) {
    if (header)
        out.Write(QLatin1StringView(TsvHeader) + u'\n');
    QString line;
    for (int i = 0; i < rows.RowCount() && out.state() == Output::State::Open; ++i) {
        const ResultRow& row = rows.Row(i);
        line.resize(0);
        for (QStringView field : {QStringView(row.path), QStringView(row.sizeText),
                                  QStringView(row.modifiedText), QStringView(row.type)}) {
            AppendTsvField(line, field);
            line += u'\t';
        }
        AppendTsvField(line, global.RowColor(i));
        line += u'\t' + QString::number(row.group) + u'\t' +
                (row.bytes >= 0 ? QString::number(row.bytes) : QString()) + u'\t' +
                IsoTime(row.modified) + u'\n';
        out.Write(line);
    }
}

void WriteJson(const ResultList& rows, const Global& global, Output& out) {
    if (rows.RowCount() == 0) {
        out.Write(QStringLiteral("[]\n"));
        return;
    }
    QString line;
    for (int i = 0; i < rows.RowCount() && out.state() == Output::State::Open; ++i) {
        const ResultRow& row = rows.Row(i);
        line = i == 0 ? QStringLiteral("[\n{\"path\":") : QStringLiteral(",\n{\"path\":");
        AppendJsonString(line, row.path);
        line += u",\"size\":";
        AppendJsonString(line, row.sizeText);
        line += u",\"modified\":";
        AppendJsonString(line, row.modifiedText);
        line += u",\"type\":";
        AppendJsonString(line, row.type);
        line += u",\"colour\":";
        AppendJsonString(line, global.RowColor(i));
        line += u",\"group\":" + QString::number(row.group) + u",\"bytes\":" +
                (row.bytes >= 0 ? QString::number(row.bytes) : QStringLiteral("null")) +
                u",\"mtime\":";
        if (row.modified.isValid())
            AppendJsonString(line, IsoTime(row.modified));
        else
            line += u"null";
        line += u'}';
        out.Write(line);
    }
    out.Write(QStringLiteral("\n]\n"));
}

void WriteTable(const ResultList& rows, Output& out) {
    const QString typeHead = QStringLiteral("TYPE");
    const QString sizeHead = QStringLiteral("SIZE");
    const QString dateHead = QStringLiteral("MODIFIED");
    qsizetype typeWidth = typeHead.size();
    qsizetype sizeWidth = sizeHead.size();
    qsizetype dateWidth = dateHead.size();
    for (int i = 0; i < rows.RowCount(); ++i) {
        const ResultRow& row = rows.Row(i);
        typeWidth = std::max(typeWidth, row.type.size());
        sizeWidth = std::max(sizeWidth, row.sizeText.size());
        dateWidth = std::max(dateWidth, row.modifiedText.size());
    }
    auto line = [&](const QString& type, const QString& size, const QString& date,
                    const QString& path) -> QString {
        return type.leftJustified(typeWidth) % u"  " % size.rightJustified(sizeWidth) % u"  " %
               date.leftJustified(dateWidth) % u"  " % EscapeForTerminal(path) % u'\n';
    };
    out.Write(line(typeHead, sizeHead, dateHead, QStringLiteral("PATH")));
    int group = 0;
    for (int i = 0; i < rows.RowCount() && out.state() == Output::State::Open; ++i) {
        const ResultRow& row = rows.Row(i);
        const bool newGroup = i > 0 && row.group != group;
        group = row.group;
        out.Write((newGroup ? QStringLiteral("\n") : QString()) +
                  line(row.type, row.sizeText, row.modifiedText, row.path));
    }
}

}  // namespace

void WriteRows(Format format, bool header, const ResultList& rows, const Global& global,
               Output& out) {
    switch (format) {
        case Format::Table:
            WriteTable(rows, out);
            break;
        case Format::Tsv:
            WriteTsv(header, rows, global, out);
            break;
        case Format::Json:
            WriteJson(rows, global, out);
            break;
    }
    out.Flush();
}

}  // namespace tallyrook::cli
