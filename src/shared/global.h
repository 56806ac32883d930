#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <vector>

namespace tallyrook {

// The files the last search run found: one record per plain file, index = the order in which the
// walk found it. The walk fills it, the match passes read it.
class FileInventory {
public:
    // Records beyond this many are refused: the walk stops and says so.
    static constexpr qsizetype InventoryCapacity = 1'000'001;
    // FileSizes value of a record made while Exact Filesize was unticked, or whose size could not
    // be read. Its text is the empty text.
    static constexpr qint64 NoSize = -1;

    // Tests give a small capacity, to reach the cap without a million files.
    explicit FileInventory(qsizetype capacity = InventoryCapacity) : capacity_(capacity) {}

    // Parallel lists, one entry per record. Storage grows on demand. Records of one folder share
    // the folder's text (implicit sharing), so a million records stay small. Sizes are kept as
    // numbers; FileSizeText gives the text.
    QList<QString> FileNames;
    QList<QString> FileFolders;  // ends with "/"
    QList<qint64> FileSizes;     // bytes, or NoSize

    qsizetype FileCount() const { return FileNames.size(); }
    qsizetype Capacity() const { return capacity_; }
    bool InventoryFull() const { return FileCount() >= capacity_; }

    // Room for `more` records beyond those held (never past the capacity), so that a million
    // appends do not keep reallocating; growth stays geometric across many calls.
    void Reserve(qsizetype more);
    // Appends one record; false (and nothing recorded) when the inventory is full.
    bool AddRecord(const QString& folder, const QString& name, qint64 size);

    // A file of a saved inventory that is not here to look at: its row shows the size and date
    // the inventory recorded and says where the file is (`source`, an index of SourceNames).
    // What it recorded stays there, read back by `id` (the file's id in inventory `origin`)
    // when its row is made: a million dates need not be held through the whole run.
    struct Recorded {
        qint32 source;
        qint32 origin;
        qint64 id;
    };
    static constexpr qint64 NoDate = std::numeric_limits<qint64>::min();
    struct RecordedDetails {
        qint64 bytes = -1;      // -1 when unknown
        qint64 msecs = NoDate;  // the last write, UTC
    };
    // Fills `details` (as many as `ids`) with what inventory `origin` recorded of its files.
    using RecordedReader = std::function<void(qint32 origin, std::span<const qint64> ids,
                                              std::span<RecordedDetails> details)>;
    bool AddRecorded(const QString& folder, const QString& name, qint64 size,
                     const Recorded& recorded);
    // Given by whoever adds recorded files; dropped with them.
    void SetRecordedReader(RecordedReader reader) { recordedReader_ = std::move(reader); }
    // What was recorded of the records, all recorded files; fewer reads when they ascend.
    std::vector<RecordedDetails> ReadRecorded(std::span<const qsizetype> records) const;
    // The source texts of recorded files ("MACHINE: LABEL").
    QStringList SourceNames;
    // The record's place when it is a recorded file, else nothing.
    std::optional<Recorded> RecordedOf(qsizetype k) const;
    QString SourceOf(qsizetype k) const {
        const std::optional<Recorded> recorded = RecordedOf(k);
        return recorded ? SourceNames.at(recorded->source) : QString();
    }

    QString FullPath(qsizetype k) const { return FileFolders.at(k) + FileNames.at(k); }
    // Decimal text of the size, or the empty text for NoSize.
    QString FileSizeText(qsizetype k) const;

    // Start of a run: every list emptied, FileCount 0.
    void ResetInventory();

private:
    qsizetype capacity_;
    // Recorded files come in runs of consecutive records of one source, an inventory's files in
    // a row: a run's records are [first, first + count), their ids [id, id + count) in inventory
    // `origin`. A few runs instead of an entry per record keep a file of an inventory as small
    // as a walked one.
    struct Run {
        qsizetype first;
        qsizetype count;
        qint64 id;
        qint32 source;
        qint32 origin;
    };
    std::vector<Run> runs_;
    RecordedReader recordedReader_;
};

// What the search run leaves for the windows: the file inventory of the last run (each row
// carries its own colour). The application owns one for its whole life; tests make their own.
class Global {
public:
    explicit Global(qsizetype capacity = FileInventory::InventoryCapacity) : inventory(capacity) {}

    FileInventory inventory;
};

}  // namespace tallyrook
