#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

#include "search/result_list.h"

namespace tallyrook {
class Global;
}  // namespace tallyrook

namespace tallyrook::cli {

// Standard output, written in large blocks. A reader that goes away (`| head`) ends the writing
// quietly; any other failure is kept for the exit status.
class Output {
public:
    enum class State { Open, ReaderGone, Failed };

    explicit Output(int fd) : fd_(fd) {}
    // Appends; writes out once enough has gathered. Does nothing once writing has ended.
    void Write(const QString& text);
    // Writes out what is left.
    void Flush();
    State state() const { return state_; }
    int error() const { return error_; }

private:
    int fd_;
    QByteArray buffer_;
    State state_ = State::Open;
    int error_ = 0;
};

// The rows of a run, kept compactly: with every row listed, a million-file answer would otherwise
// take more memory than the inventory it came from. Texts are held as UTF-8 in large blocks.
class CompactRows : public ResultList {
public:
    int RowCount() const override { return int(entries_.size()); }
    // The row rebuilt; the reference holds until the next call.
    const ResultRow& Row(int index) const override;
    void AppendRow(ResultRow row) override;
    void ClearRows() override;

private:
    struct Entry {
        quint32 block;
        quint32 offset;  // of the path, the size text and the date text, each ended by a NUL
        qint64 bytes;
        qint64 msecs;  // the last write, UTC
        qint32 group;
        quint16 type;  // index into types_
        bool timeValid;
        bool checked;
    };
    std::vector<Entry> entries_;
    std::vector<QByteArray> blocks_;
    QStringList types_;
    mutable ResultRow current_;
};

enum class Format { Table, Tsv, Json };

// The fields of a TSV line, in order; `--header` prints them.
inline constexpr char TsvHeader[] = "path\tsize\tmodified\ttype\tcolour\tgroup\tbytes\tmtime";

// Writes the rows of a run, stopping early when the output ends. `header`: TSV begins with
// the field names.
//  - Table: for a person; a blank line between groups, names shown escaped.
//  - TSV: one line per row, fields as in TsvHeader; backslash, tab, newline and carriage return
//    inside a field written as \\, \t, \n and \r. Scripts rely on this.
//  - JSON: one array of row objects, one row per line; "[]" when there is none.
void WriteRows(Format format, bool header, const ResultList& rows, const Global& global,
               Output& out);

}  // namespace tallyrook::cli
