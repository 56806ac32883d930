#pragma once

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
// its path (every row of a run comes from the passes, which say it); size and date texts are kept
// once each, however many rows show them.
class CompactRows : public ResultList {
public:
    // The inventory of the run: it must stay as it is while the rows are kept.
    explicit CompactRows(const FileInventory& inventory) : inventory_(inventory) {}

    int RowCount() const override { return int(entries_.size()); }
    // The row rebuilt, its date to the second; the reference holds until the next call.
    const ResultRow& Row(int index) const override;
    void AppendRow(ResultRow row) override;
    void ClearRows() override;
    // The path comes from the inventory.
    bool WantsPaths() const override { return false; }
    qsizetype RowFile(int index) const override { return entries_[size_t(index)].file; }
    // What the contents check and the choice give the row: its copy set and its file (from 1, 0
    // for none), whether its copies are known by fingerprint only, and whether the rule checks it.
    void SetChoice(int index, int copySet, int sameFile, bool byFingerprint, bool checked) {
        Entry& entry = entries_[size_t(index)];
        entry.copySet = copySet;
        entry.sameFile = sameFile;
        entry.byFingerprint = byFingerprint;
        entry.checked = checked;
    }

    // The parts of a row as the writers need them, without rebuilding it.
    struct Parts {
        QStringView folder;  // the path is folder + name
        QStringView name;
        QStringView sizeText;
        QStringView dateText;
        Criterion criterion;
        RowColor color;
        qint64 bytes;
        std::optional<qint64> seconds;  // the last write since 1970, UTC
        int group;
        int copySet;   // 0: none, or not compared
        int sameFile;  // 0: no other row names the file
        bool byFingerprint;
        bool checked;
        QStringView source;  // where a file of a saved inventory is; empty for one here
    };
    Parts RowParts(int index) const;
    // Asks the processor early for what the rows after `index` will read: their texts lie all
    // over the inventory, and waiting for each in turn is most of the time of writing them.
    void Prefetch(int index) const;

private:
    static constexpr qint64 NoDate = std::numeric_limits<qint64>::min();
    static constexpr quint32 NoText = std::numeric_limits<quint32>::max();
    // The index of the text in texts_, added when new; `last` is the caller's previous answer,
    // tried first because neighbouring rows often share their texts.
    quint32 Intern(const QString& text, quint32& last);
    QStringView Source(quint32 file) const;

    struct Entry {
        qint64 bytes;
        qint64 seconds;  // NoDate when unknown
        quint32 file;    // inventory index
        quint32 size;    // size and date texts, by Intern
        quint32 date;
        qint32 group;
        qint32 copySet;  // fills what would be padding
        qint32 sameFile;
        Criterion criterion;
        RowColor color;
        bool byFingerprint;
        bool checked;
    };
    const FileInventory& inventory_;
    std::deque<Entry> entries_;  // grows without moving a million rows at once
    // Size and date texts, each kept once: many rows share them.
    QHash<QString, quint32> textIds_;
    QStringList texts_;
    quint32 lastSize_ = NoText;
    quint32 lastDate_ = NoText;
    mutable ResultRow current_;
};

enum class Format { Table, Tsv, Json };

// The fields of a TSV line, in order; `--header` prints them. After a contents check `copy` and
// `file` follow, and with a rule a last one, `checked`. A copy set known by fingerprint only
// shows as its number and ByFingerprint.
inline constexpr char TsvHeader[] = "path\tsize\tmodified\ttype\tcolour\tgroup\tbytes\tmtime";
inline constexpr char ByFingerprint[] = " by fingerprint";

// Writes the rows of a run, stopping early when the output ends. `header`: TSV begins with
// the field names. `copies`: each row's copy set and file as fields (TSV, JSON) or COPY and FILE
// columns (table); `checked`: the rule's mark as the last field, or a CHECKED column with "x".
// Without either, the output stays as it was before the fields existed.
//  - Table: for a person; a blank line between groups, names shown escaped.
//  - TSV: one line per row, fields as in TsvHeader; backslash, tab, newline and carriage return
//    inside a field written as \\, \t, \n and \r. Scripts rely on this.
//  - JSON: one array of row objects, one row per line; "[]" when there is none.
// The fields after the search's own, each when asked for, in this order: `copies` (copy and
// file, with --contents), `sources` (source, when saved inventories took part; a SOURCE column
// before the path in the table), `checked` (with --select, always the last field).
struct Fields {
    bool copies = false;
    bool sources = false;
    bool checked = false;
};
void WriteRows(Format format, bool header, const Fields& fields, const CompactRows& rows,
               Output& out);

}  // namespace tallyrook::cli
