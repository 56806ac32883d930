#include "inventory/inventory_file.h"

#include <sqlite3.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <tuple>

#include "shared/file_names.h"

namespace tallyrook {

namespace {

// "TRKI" in the file's header: an inventory is told from any other SQLite file.
constexpr int ApplicationId = 0x54524B49;

const char* const Schema = R"(
CREATE TABLE walk (machine TEXT NOT NULL, walked_at TEXT NOT NULL, program TEXT NOT NULL);
CREATE TABLE roots (id INTEGER PRIMARY KEY, path BLOB NOT NULL);
CREATE TABLE volumes (id INTEGER PRIMARY KEY, uuid TEXT NOT NULL, label TEXT NOT NULL,
                      mount_point BLOB NOT NULL);
CREATE TABLE folders (id INTEGER PRIMARY KEY, volume INTEGER NOT NULL REFERENCES volumes,
                      path BLOB NOT NULL);
CREATE TABLE files (id INTEGER PRIMARY KEY, folder INTEGER NOT NULL REFERENCES folders,
                    name BLOB NOT NULL, size INTEGER, modified_ms INTEGER,
                    modified_ns INTEGER NOT NULL, device INTEGER NOT NULL,
                    inode INTEGER NOT NULL, links INTEGER NOT NULL);
CREATE TABLE fingerprints (file INTEGER PRIMARY KEY REFERENCES files, sha256 BLOB NOT NULL);
)";

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

QString Failed(const QString& path, const char* why) {
    return path + u": " + QString::fromUtf8(why);
}

Statement Prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    return Statement(statement);
}

void BindBytes(sqlite3_stmt* statement, int column, const QString& text) {
    const QByteArray bytes = QFile::encodeName(text);
    sqlite3_bind_blob64(statement, column, bytes.constData(), sqlite3_uint64(bytes.size()),
                        SQLITE_TRANSIENT);
}

void BindText(sqlite3_stmt* statement, int column, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text64(statement, column, utf8.constData(), sqlite3_uint64(utf8.size()),
                        SQLITE_TRANSIENT, SQLITE_UTF8);
}

QString ColumnBytes(sqlite3_stmt* statement, int column) {
    const void* data = sqlite3_column_blob(statement, column);
    return DecodeFileName(
        QByteArrayView(static_cast<const char*>(data), sqlite3_column_bytes(statement, column)));
}

QString ColumnText(sqlite3_stmt* statement, int column) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                             sqlite3_column_bytes(statement, column));
}

qint64 ColumnNumber(sqlite3_stmt* statement, int column, qint64 null) {
    return sqlite3_column_type(statement, column) == SQLITE_NULL
               ? null
               : qint64(sqlite3_column_int64(statement, column));
}

// Runs the statement to its end; false on an error.
bool StepAll(sqlite3_stmt* statement) {
    int status;
    while ((status = sqlite3_step(statement)) == SQLITE_ROW) {
    }
    sqlite3_reset(statement);
    return status == SQLITE_DONE;
}

// Whether the open database is an inventory this program reads.
InventoryError CheckHeader(sqlite3* db, const QString& path) {
    Statement id = Prepare(db, "PRAGMA application_id");
    if (!id || sqlite3_step(id.get()) != SQLITE_ROW ||
        sqlite3_column_int(id.get(), 0) != ApplicationId)
        return {
            InventoryError::Kind::Foreign,
            path + u": " + QCoreApplication::translate("Inventory", "not a Tallyrook inventory")};
    Statement version = Prepare(db, "PRAGMA user_version");
    const int schema = version && sqlite3_step(version.get()) == SQLITE_ROW
                           ? sqlite3_column_int(version.get(), 0)
                           : 0;
    if (schema > Inventory::SchemaVersion)
        return {InventoryError::Kind::Newer,
                path + u": " +
                    QCoreApplication::translate("Inventory",
                                                "made by a newer Tallyrook (inventory schema %1; "
                                                "this one reads up to %2)")
                        .arg(schema)
                        .arg(Inventory::SchemaVersion)};
    if (schema < 1)
        return {
            InventoryError::Kind::Foreign,
            path + u": " + QCoreApplication::translate("Inventory", "not a Tallyrook inventory")};
    return {};
}

// Whether the inventory has the table of fingerprints and any in it: the first inventories
// lack the table.
bool HasFingerprints(sqlite3* db) {
    Statement fingerprinted = Prepare(db, "SELECT EXISTS (SELECT 1 FROM fingerprints)");
    return fingerprinted && sqlite3_step(fingerprinted.get()) == SQLITE_ROW &&
           sqlite3_column_int(fingerprinted.get(), 0) != 0;
}

// What is wrong with an inventory that broke off: SQLite's words, or `why` where it has none.
QString Damaged(sqlite3* db, const QString& why = {}) {
    return QCoreApplication::translate("Inventory", "a damaged inventory: %1")
        .arg(why.isEmpty() ? QString::fromUtf8(sqlite3_errmsg(db)) : why);
}

// The file of the row (folder, name, size, modified_ms, modified_ns, device, inode, links),
// its folder given.
Inventory::File FileOf(sqlite3_stmt* row, int folder) {
    return {folder,
            ColumnBytes(row, 1),
            ColumnNumber(row, 2, -1),
            ColumnNumber(row, 3, Inventory::NoDate),
            sqlite3_column_int64(row, 4),
            quint64(sqlite3_column_int64(row, 5)),
            quint64(sqlite3_column_int64(row, 6)),
            sqlite3_column_int64(row, 7)};
}

QByteArray Sha256Of(sqlite3_stmt* row, int column) {
    return sqlite3_column_type(row, column) == SQLITE_BLOB
               ? QByteArray(static_cast<const char*>(sqlite3_column_blob(row, column)),
                            sqlite3_column_bytes(row, column))
               : QByteArray();
}

// Rows are renumbered from 0 in id order, so references need the ids' positions.
bool FolderPositions(sqlite3* db, QHash<qint64, int>& folderAt) {
    Statement folders = Prepare(db, "SELECT id FROM folders ORDER BY id");
    if (!folders)
        return false;
    int status;
    while ((status = sqlite3_step(folders.get())) == SQLITE_ROW)
        folderAt.insert(sqlite3_column_int64(folders.get(), 0), int(folderAt.size()));
    return status == SQLITE_DONE;
}

InventoryError Read(sqlite3* db, const QString& path, Inventory& inventory, InventoryParts parts) {
    if (InventoryError error = CheckHeader(db, path))
        return error;
    InventoryError broken{InventoryError::Kind::Failed, path + u": " + Damaged(db)};
    Statement walk = Prepare(db, "SELECT machine, walked_at FROM walk");
    if (!walk || sqlite3_step(walk.get()) != SQLITE_ROW)
        return broken;
    inventory.machine = ColumnText(walk.get(), 0);
    inventory.walkedAt = QDateTime::fromString(ColumnText(walk.get(), 1), Qt::ISODateWithMs);
    QHash<qint64, int> volumeAt;
    Statement roots = Prepare(db, "SELECT path FROM roots ORDER BY id");
    Statement volumes = Prepare(db, "SELECT id, uuid, label, mount_point FROM volumes ORDER BY id");
    Statement folders = Prepare(db, "SELECT volume, path FROM folders ORDER BY id");
    if (!roots || !volumes || !folders)
        return broken;
    while (sqlite3_step(roots.get()) == SQLITE_ROW)
        inventory.roots.append(ColumnBytes(roots.get(), 0));
    while (sqlite3_step(volumes.get()) == SQLITE_ROW) {
        volumeAt.insert(sqlite3_column_int64(volumes.get(), 0), int(inventory.volumes.size()));
        inventory.volumes.push_back({ColumnText(volumes.get(), 1), ColumnText(volumes.get(), 2),
                                     ColumnBytes(volumes.get(), 3)});
    }
    while (sqlite3_step(folders.get()) == SQLITE_ROW) {
        const auto volume = volumeAt.constFind(sqlite3_column_int64(folders.get(), 0));
        if (volume == volumeAt.cend())
            return broken;
        inventory.folders.push_back({ColumnBytes(folders.get(), 1), *volume});
    }
    if (parts == InventoryParts::WithoutFiles)
        return {};
    QHash<qint64, int> folderAt;
    const bool fingerprints = HasFingerprints(db);
    Statement files = Prepare(
        db, fingerprints
                ? "SELECT folder, name, size, modified_ms, modified_ns, device, inode, "
                  "links, sha256 FROM files LEFT JOIN fingerprints ON fingerprints.file = files.id "
                  "ORDER BY id"
                : "SELECT folder, name, size, modified_ms, modified_ns, device, "
                  "inode, links FROM files ORDER BY id");
    if (!files || !FolderPositions(db, folderAt))
        return broken;
    int status;
    while ((status = sqlite3_step(files.get())) == SQLITE_ROW) {
        sqlite3_stmt* row = files.get();
        const auto folder = folderAt.constFind(sqlite3_column_int64(row, 0));
        if (folder == folderAt.cend())
            return broken;
        inventory.files.push_back(FileOf(row, *folder));
        if (fingerprints && sqlite3_column_type(row, 8) == SQLITE_BLOB)
            inventory.fingerprints.insert(int(inventory.files.size() - 1), Sha256Of(row, 8));
    }
    if (status != SQLITE_DONE)
        return broken;
    return {};
}

bool Write(sqlite3* db, const Inventory& inventory, const std::function<bool()>& keepGoing) {
    if (sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, Schema, nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    const QByteArray pragmas =
        QByteArray("PRAGMA application_id = ") + QByteArray::number(ApplicationId) +
        "; PRAGMA user_version = " + QByteArray::number(Inventory::SchemaVersion);
    if (sqlite3_exec(db, pragmas.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    Statement walk = Prepare(db, "INSERT INTO walk VALUES (?, ?, ?)");
    Statement root = Prepare(db, "INSERT INTO roots (path) VALUES (?)");
    Statement volume = Prepare(db, "INSERT INTO volumes VALUES (?, ?, ?, ?)");
    Statement folder = Prepare(db, "INSERT INTO folders VALUES (?, ?, ?)");
    Statement file = Prepare(db, "INSERT INTO files VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    Statement fingerprint = Prepare(db, "INSERT INTO fingerprints VALUES (?, ?)");
    if (!walk || !root || !volume || !folder || !file || !fingerprint)
        return false;
    BindText(walk.get(), 1, inventory.machine);
    BindText(walk.get(), 2, inventory.walkedAt.toUTC().toString(Qt::ISODateWithMs));
    BindText(walk.get(), 3, QStringLiteral("Tallyrook"));
    if (!StepAll(walk.get()))
        return false;
    for (const QString& path : inventory.roots) {
        BindBytes(root.get(), 1, path);
        if (!StepAll(root.get()))
            return false;
    }
    for (size_t i = 0; i < inventory.volumes.size(); ++i) {
        const Inventory::Volume& v = inventory.volumes[i];
        sqlite3_bind_int64(volume.get(), 1, sqlite3_int64(i));
        BindText(volume.get(), 2, v.id);
        BindText(volume.get(), 3, v.label);
        BindBytes(volume.get(), 4, v.mountPoint);
        if (!StepAll(volume.get()))
            return false;
    }
    for (size_t i = 0; i < inventory.folders.size(); ++i) {
        sqlite3_bind_int64(folder.get(), 1, sqlite3_int64(i));
        sqlite3_bind_int64(folder.get(), 2, inventory.folders[i].volume);
        BindBytes(folder.get(), 3, inventory.folders[i].path);
        if (!StepAll(folder.get()))
            return false;
    }
    sqlite3_stmt* row = file.get();
    for (size_t i = 0; i < inventory.files.size(); ++i) {
        if (i % 4096 == 0 && keepGoing && !keepGoing())
            return false;
        const Inventory::File& f = inventory.files[i];
        sqlite3_bind_int64(row, 1, sqlite3_int64(i));
        sqlite3_bind_int64(row, 2, f.folder);
        BindBytes(row, 3, f.name);
        if (f.size >= 0)
            sqlite3_bind_int64(row, 4, f.size);
        else
            sqlite3_bind_null(row, 4);
        if (f.modifiedMs != Inventory::NoDate)
            sqlite3_bind_int64(row, 5, f.modifiedMs);
        else
            sqlite3_bind_null(row, 5);
        sqlite3_bind_int64(row, 6, f.modifiedNs);
        sqlite3_bind_int64(row, 7, sqlite3_int64(f.device));
        sqlite3_bind_int64(row, 8, sqlite3_int64(f.inode));
        sqlite3_bind_int64(row, 9, f.links);
        if (!StepAll(row))
            return false;
    }
    // In file order: the table's tree grows at its end.
    QList<int> fingerprinted = inventory.fingerprints.keys();
    std::sort(fingerprinted.begin(), fingerprinted.end());
    for (const int k : fingerprinted) {
        const QByteArray& sha256 = inventory.fingerprints[k];
        sqlite3_bind_int64(fingerprint.get(), 1, k);
        sqlite3_bind_blob64(fingerprint.get(), 2, sha256.constData(), sqlite3_uint64(sha256.size()),
                            SQLITE_TRANSIENT);
        if (!StepAll(fingerprint.get()))
            return false;
    }
    return sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace

QString Inventory::SourceText(int volume) const {
    const Volume& v = volumes.at(size_t(volume));
    return machine + u": " + (v.label.isEmpty() ? v.mountPoint : v.label);
}

InventoryError LoadInventory(const QString& path, Inventory& inventory, InventoryParts parts) {
    sqlite3* raw = nullptr;
    const QByteArray name = QFile::encodeName(path);
    const int opened = sqlite3_open_v2(name.constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    Database db(raw);
    if (opened != SQLITE_OK) {
        const int error = QFileInfo::exists(path) ? 0 : ENOENT;
        return {InventoryError::Kind::Failed,
                error ? path + u": " + ErrorText(error) : Failed(path, sqlite3_errmsg(raw))};
    }
    inventory = {};
    inventory.path = path;
    InventoryError error = Read(db.get(), path, inventory, parts);
    if (!error && parts == InventoryParts::WithoutFiles)
        inventory.database = std::shared_ptr<sqlite3>(db.release(), DatabaseCloser());
    return error;
}

InventoryFiles::InventoryFiles(const Inventory& inventory, Which which)
    : inventory_(inventory), which_(which) {
    sqlite3* db = inventory.database.get();
    if (!db) {
        expected_ =
            which == Which::All ? qsizetype(inventory.files.size()) : inventory.fingerprints.size();
        return;
    }
    const bool fingerprints = HasFingerprints(db);
    if (which == Which::Fingerprinted && !fingerprints)
        return;
    Statement files = Prepare(
        db, which == Which::Fingerprinted
                ? "SELECT folder, name, size, modified_ms, modified_ns, device, inode, "
                  "links, sha256, files.id FROM files JOIN fingerprints ON fingerprints.file = "
                  "files.id "
                  "ORDER BY files.id"
            : fingerprints ? "SELECT folder, name, size, modified_ms, modified_ns, device, inode, "
                             "links, sha256, files.id FROM files LEFT JOIN fingerprints "
                             "ON fingerprints.file = files.id "
                             "ORDER BY id"
                           : "SELECT folder, name, size, modified_ms, modified_ns, device, "
                             "inode, links, NULL, id FROM files ORDER BY id");
    if (!files || !FolderPositions(db, folderAt_)) {
        error_ = Damaged(db);
        return;
    }
    // The writer numbers files from 0: the span of ids is their count, found without a scan.
    if (which == Which::All) {
        Statement span = Prepare(db, "SELECT max(id) - min(id) + 1 FROM files");
        if (span && sqlite3_step(span.get()) == SQLITE_ROW)
            expected_ = qsizetype(sqlite3_column_int64(span.get(), 0));
    }
    statement_ = files.release();
}

InventoryFiles::~InventoryFiles() {
    sqlite3_finalize(statement_);
    // Its cache held pages of files now taken: the search needs that memory more.
    if (inventory_.database)
        sqlite3_db_release_memory(inventory_.database.get());
}

bool InventoryFiles::Next(Inventory::File& file, QByteArray& sha256) {
    if (!inventory_.database) {
        while (size_t(next_) < inventory_.files.size()) {
            const int k = next_++;
            id_ = k;
            sha256 = inventory_.fingerprints.value(k);
            if (which_ == Which::All || !sha256.isEmpty()) {
                file = inventory_.files[size_t(k)];
                return true;
            }
        }
        return false;
    }
    if (!statement_)
        return false;
    const int status = sqlite3_step(statement_);
    if (status == SQLITE_ROW) {
        const auto folder = folderAt_.constFind(sqlite3_column_int64(statement_, 0));
        if (folder != folderAt_.cend() && size_t(*folder) < inventory_.folders.size()) {
            file = FileOf(statement_, *folder);
            sha256 = Sha256Of(statement_, 8);
            id_ = sqlite3_column_int64(statement_, 9);
            return true;
        }
    }
    if (status != SQLITE_DONE)
        error_ = Damaged(
            inventory_.database.get(),
            status == SQLITE_ROW
                ? QCoreApplication::translate("Inventory", "a file of a folder it does not list")
                : QString());
    sqlite3_finalize(statement_);
    statement_ = nullptr;
    return false;
}

RecordedFileReader::RecordedFileReader(const Inventory& inventory) : database_(inventory.database) {
    if (!database_) {
        held_.reserve(inventory.files.size());
        for (const Inventory::File& file : inventory.files)
            held_.emplace_back(file.size, file.modifiedMs);
        return;
    }
    statement_ = Prepare(database_.get(),
                         "SELECT id, size, modified_ms FROM files WHERE id >= ? ORDER BY id")
                     .release();
}

RecordedFileReader::~RecordedFileReader() {
    sqlite3_finalize(statement_);
}

bool RecordedFileReader::Read(qint64 id, qint64& size, qint64& modifiedMs) {
    if (!database_) {
        if (id < 0 || id >= qint64(held_.size()))
            return false;
        std::tie(size, modifiedMs) = held_[size_t(id)];
        return true;
    }
    if (!statement_)
        return false;
    // Stepping on is cheaper than a new search while the file is a few rows ahead.
    constexpr qint64 Near = 64;
    if (!row_ || id < rowId_ || id > rowId_ + Near) {
        sqlite3_reset(statement_);
        sqlite3_bind_int64(statement_, 1, id);
        Step();
    }
    while (row_ && rowId_ < id)
        Step();
    if (!row_ || rowId_ != id)
        return false;
    size = ColumnNumber(statement_, 1, -1);
    modifiedMs = ColumnNumber(statement_, 2, Inventory::NoDate);
    return true;
}

void RecordedFileReader::Step() {
    row_ = sqlite3_step(statement_) == SQLITE_ROW;
    rowId_ = row_ ? sqlite3_column_int64(statement_, 0) : -1;
}

void RecordedFileReader::Rest() {
    if (database_)
        sqlite3_db_release_memory(database_.get());
}

InventoryError SaveInventory(const QString& path, const Inventory& inventory,
                             const std::function<bool()>& keepGoing) {
    if (QFileInfo(path).exists()) {
        // Only an inventory is replaced: a mistyped name must not cost the user a file.
        Inventory old;
        if (InventoryError error = LoadInventory(path, old, InventoryParts::WithoutFiles);
            error.kind == InventoryError::Kind::Foreign ||
            error.kind == InventoryError::Kind::Newer)
            return {error.kind, error.text + u": not replaced"};
        else if (error)
            return error;
    }
    // Beside the file, so that the rename stays on its drive.
    const QFileInfo target(path);
    QTemporaryFile temporary(target.absolutePath() + u"/." + target.fileName() + u".XXXXXX");
    if (!temporary.open())
        return {InventoryError::Kind::Failed, path + u": " + temporary.errorString()};
    temporary.close();
    const QString written = temporary.fileName();
    sqlite3* raw = nullptr;
    const QByteArray name = QFile::encodeName(written);
    const int opened = sqlite3_open_v2(name.constData(), &raw,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    Database db(raw);
    if (opened != SQLITE_OK || !Write(db.get(), inventory, keepGoing)) {
        const QString why = Failed(path, sqlite3_errmsg(raw));
        db.reset();
        return {InventoryError::Kind::Failed, keepGoing && !keepGoing() ? QString() : why};
    }
    if (sqlite3_close(db.release()) != SQLITE_OK)
        return {InventoryError::Kind::Failed, Failed(path, "could not be closed")};
    if (std::rename(name.constData(), QFile::encodeName(path).constData()) != 0)
        return {InventoryError::Kind::Failed, path + u": " + ErrorText(errno)};
    temporary.setAutoRemove(false);
    return {};
}

}  // namespace tallyrook
