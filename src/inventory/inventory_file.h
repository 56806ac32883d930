#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tallyrook {

// A saved record of a walk: what a search needs of files that are not here (another machine, a
// drive in a drawer). Written to and read from an SQLite file; docs/inventory.md has its schema.
struct Inventory {
    // The schema this program writes, and the newest it reads.
    static constexpr int SchemaVersion = 1;

    struct Volume {
        QString id;     // the file system's UUID, or machine, device and mount point without one
        QString label;  // may be empty
        QString mountPoint;
    };
    struct Folder {
        QString path;  // ends with "/", as the walk records it
        int volume = 0;
    };
    struct File {
        int folder = 0;
        QString name;
        qint64 size = -1;  // as the walk recorded it; -1 when unreadable
        // The last write as the row shows it: ms since 1970 UTC; NoDate when unknown.
        qint64 modifiedMs = NoDate;
        qint64 modifiedNs = 0;  // the last write to the nanosecond, to tell a changed file
        quint64 device = 0;
        quint64 inode = 0;
        qint64 links = 0;
    };
    static constexpr qint64 NoDate = std::numeric_limits<qint64>::min();

    QString machine;
    QDateTime walkedAt;  // UTC
    QStringList roots;   // the walked folders, as given
    std::vector<Volume> volumes;
    std::vector<Folder> folders;  // in walk order
    // In walk order. Empty, as are `fingerprints`, when it was loaded without its files: then
    // InventoryFiles reads them from `database` one at a time.
    std::vector<File> files;
    // The SHA-256 of a file's contents, by its index in `files`: only files whose size another
    // file had when the inventory was saved with fingerprints.
    QHash<int, QByteArray> fingerprints;
    // Where it was loaded from; empty for one made here.
    QString path;
    // The file, kept open by a load without the files: it is read as it was when loaded, even
    // if a newer inventory takes its name meanwhile.
    std::shared_ptr<sqlite3> database;

    // "MACHINE: LABEL" (the mount point where the volume has no label).
    QString SourceText(int volume) const;
};

// Why an inventory could not be read or written; empty Text() when all went well.
struct InventoryError {
    enum class Kind { None, Foreign, Newer, Failed };
    Kind kind = Kind::None;
    QString text;
    explicit operator bool() const { return kind != Kind::None; }
};

// What LoadInventory reads: everything, or all but the files and their fingerprints, which a
// search then takes one at a time (InventoryFiles) instead of holding them all at once.
enum class InventoryParts { All, WithoutFiles };

// Reads the inventory at `path`. A file that is not an inventory, or of a newer schema, is
// refused.
InventoryError LoadInventory(const QString& path, Inventory& inventory,
                             InventoryParts parts = InventoryParts::All);

// An inventory's files one at a time, in walk order: from memory where it holds them, else
// straight from its database, so that no copy of them all is kept.
class InventoryFiles {
public:
    enum class Which { All, Fingerprinted };
    explicit InventoryFiles(const Inventory& inventory, Which which = Which::All);
    ~InventoryFiles();
    InventoryFiles(const InventoryFiles&) = delete;
    InventoryFiles& operator=(const InventoryFiles&) = delete;

    // How many files it holds at most, to make room for them beforehand.
    qsizetype Expected() const { return expected_; }
    // The next file and its fingerprint (empty where it has none). False at the end, or where
    // the file is damaged: then Error() says why (without the inventory's path).
    bool Next(Inventory::File& file, QByteArray& sha256);
    const QString& Error() const { return error_; }
    // The id of the file Next gave last: its index in `files`, or its id in the database.
    qint64 Id() const { return id_; }

private:
    const Inventory& inventory_;
    Which which_;
    qsizetype expected_ = 0;
    int next_ = 0;
    qint64 id_ = -1;
    sqlite3_stmt* statement_ = nullptr;
    QHash<qint64, int> folderAt_;  // by folder id, its index in `folders`
    QString error_;
};

// An inventory's files read back by id (InventoryFiles::Id), quickest in ascending order: from
// its database, kept open as long as this is, or from a copy of what it holds in memory.
class RecordedFileReader {
public:
    explicit RecordedFileReader(const Inventory& inventory);
    ~RecordedFileReader();
    RecordedFileReader(const RecordedFileReader&) = delete;
    RecordedFileReader& operator=(const RecordedFileReader&) = delete;

    // The size (-1 when unknown) and last write (Inventory::NoDate when unknown) it recorded
    // of file `id`; false, leaving them, when it has no such file or cannot be read.
    bool Read(qint64 id, qint64& size, qint64& modifiedMs);
    // Gives back the database's cache: reads come seldom and mostly in order.
    void Rest();

private:
    void Step();

    std::shared_ptr<sqlite3> database_;
    sqlite3_stmt* statement_ = nullptr;
    bool row_ = false;  // the statement stands on file `rowId_`
    qint64 rowId_ = -1;
    std::vector<std::pair<qint64, qint64>> held_;  // size and last write by index
};

// Writes the inventory to `path` in one transaction, to a file beside it that then takes its
// place: an interrupted write leaves the old file or none. A file at `path` that is not an
// inventory is never replaced. `keepGoing` is asked now and then; false abandons the write.
InventoryError SaveInventory(const QString& path, const Inventory& inventory,
                             const std::function<bool()>& keepGoing = {});

}  // namespace tallyrook
