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

private:
    const Inventory& inventory_;
    Which which_;
    qsizetype expected_ = 0;
    int next_ = 0;
    sqlite3_stmt* statement_ = nullptr;
    QHash<qint64, int> folderAt_;  // by folder id, its index in `folders`
    QString error_;
};

// Writes the inventory to `path` in one transaction, to a file beside it that then takes its
// place: an interrupted write leaves the old file or none. A file at `path` that is not an
// inventory is never replaced. `keepGoing` is asked now and then; false abandons the write.
InventoryError SaveInventory(const QString& path, const Inventory& inventory,
                             const std::function<bool()>& keepGoing = {});

}  // namespace tallyrook
