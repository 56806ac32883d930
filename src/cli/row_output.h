#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "search/result_list.h"

namespace tallyrook {
class FileInventory;
class Global;
}  // namespace tallyrook

namespace tallyrook::cli {

// Standard output, written in large blocks. A reader that goes away (`| head`) ends the writing
// quietly; any other failure is kept for the exit status.
class Output {
public:
    enum class State { Open, ReaderGone, Failed };

    explicit Output(int fd) : fd_(fd) {}
    // Appends the text as UTF-8; writes out once enough has gathered.
    void Write(QStringView text);
    // Room for `bytes` more at the end of the buffer; what is written there counts once Commit
    // is given its end. Once writing has ended the buffer is simply dropped at the next flush.
    char* Room(qsizetype bytes);
    void Commit(const char* end);
    // Writes out what is left.
    void Flush();
    State state() const { return state_; }
    int error() const { return error_; }

private:
    int fd_;
    std::unique_ptr<char[]> buffer_;
    qsizetype capacity_ = 0;
    qsizetype used_ = 0;
    State state_ = State::Open;
    int error_ = 0;
};

// The rows of a run, kept compactly: with every row listed, a million-file answer would otherwise
// take more memory than the inventory it came from. A row keeps its file's inventory record, not
// its path; size and date texts are kept once each, as UTF-8, however many rows show them.
class CompactRows : public ResultList {
public:
    // The inventory of the run: it must stay as it is while the rows are kept.
    explicit CompactRows(const FileInventory& inventory) : inventory_(inventory) {}

    int RowCount() const override { return int(entries_.size()); }
    // The row rebuilt, its date to the second; the reference holds until the next call.
    const ResultRow& Row(int index) const override;
    void AppendRow(ResultRow row) override;
    void ClearRows() override;

    // The parts of a row as the writers need them, without rebuilding it.
    struct Parts {
        QStringView folder;  // the path is folder + name
        QStringView name;
        QByteArrayView sizeText;
        QByteArrayView dateText;
        QStringView type;
        qint64 bytes;
        std::optional<qint64> seconds;  // the last write since 1970, UTC
        int group;
    };
    Parts RowParts(int index) const;
    // Asks the processor early for what the rows after `index` will read: their texts lie all
    // over the inventory, and waiting for each in turn is most of the time of writing them.
    void Prefetch(int index) const;

private:
    // A size or date text, by the number it was made from: many rows share one. Dates are kept to
    // the second, as every output shows them.
    struct Text {
        qint64 key;  // the size in bytes, or the date in seconds since 1970 (NoDate when unknown)
        quint32 offset;
        quint32 length;
    };
    static constexpr qint64 NoDate = std::numeric_limits<qint64>::min();
    static constexpr quint32 NoFile = std::numeric_limits<quint32>::max();
    quint32 Intern(std::vector<Text>& texts, QHash<qint64, quint32>& ids, quint32& last, qint64 key,
                   QStringView text);
    QByteArrayView TextBytes(const Text& text) const {
        return QByteArrayView(texts_.constData() + text.offset, text.length);
    }

    struct Entry {
        quint32 file;  // inventory index, or NoFile: the path is in otherPaths_
        quint32 size;  // into sizes_
        quint32 date;  // into dates_
        qint32 group;
        quint16 type;  // into types_
        bool checked;
    };
    const FileInventory& inventory_;
    std::deque<Entry> entries_;       // grows without moving a million rows at once
    QHash<int, QString> otherPaths_;  // by row, for rows without an inventory record
    std::vector<Text> sizes_;
    std::vector<Text> dates_;
    QHash<qint64, quint32> sizeIds_;
    QHash<qint64, quint32> dateIds_;
    quint32 lastSize_ = NoFile;  // the text the last row took: neighbours often share it
    quint32 lastDate_ = NoFile;
    QByteArray texts_;
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
void WriteRows(Format format, bool header, const CompactRows& rows, const Global& global,
               Output& out);

}  // namespace tallyrook::cli
