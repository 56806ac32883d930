#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <functional>
#include <vector>

#include "contents/contents_check.h"
#include "inventory/inventory_file.h"

namespace tallyrook {

// A fingerprint is the SHA-256 of a file's contents. Two files of one size and fingerprint are
// copies "by fingerprint": it stands in for a comparison byte for byte where one of them is not
// here to read (another machine, a drive in a drawer). Files here are still compared byte for
// byte.

// Fingerprints already made, good while their file is unchanged: the same file system, device,
// inode, size and last write to the nanosecond. A file system without a UUID (a network share,
// FUSE, tmpfs) may pass on inode numbers from several disks: there the path must be the same too.
class FingerprintStore {
public:
    // The fingerprints an inventory holds.
    void Add(const Inventory& inventory);
    void Add(const QString& volume, const QString& path, const FileIdentity& id,
             const QByteArray& sha256);
    // Empty when there is none for the file.
    QByteArray Find(const QString& volume, const QString& path, const FileIdentity& id) const;

private:
    struct Key {
        QString volume;
        QString path;  // empty where inode numbers are the file system's own
        quint64 device, inode;
        qint64 size, modifiedNs;
        friend bool operator==(const Key&, const Key&) = default;
        friend size_t qHash(const Key& key, size_t seed) {
            return qHashMulti(seed, key.volume, key.path, key.device, key.inode, key.size,
                              key.modifiedNs);
        }
    };
    static Key KeyOf(const QString& volume, const QString& path, const FileIdentity& id);
    QHash<Key, QByteArray> known_;
};

// What making fingerprints took.
struct FingerprintCount {
    qint64 files = 0;      // files given a fingerprint
    qint64 read = 0;       // of them, files read for it
    qint64 bytesRead = 0;  // contents read, all files together
};

// A file left without a fingerprint, and why.
struct FingerprintFailure {
    QString path;
    NotComparedReason reason;
};

// Reads the file at `path` for its fingerprint, if it is still the file `recorded` describes
// (device, inode, size, last write): a plain file, no link followed, access time left alone where
// the system allows, and the same file after the read as before. Empty when not, with the reason.
// `progress` is told the bytes of each read; false abandons the file (reason Stopped).
QByteArray ReadFingerprint(const QString& path, const FileIdentity& recorded,
                           NotComparedReason& reason, qint64& bytesRead,
                           const std::function<bool(qint64 bytes)>& progress = {});

// Gives each file of the inventory whose size another file has, of its own or of `others` (the
// inventories named with it; the newest walk of each file system, not the inventory's own), its
// fingerprint: from `store` while the file is unchanged, else read; the fingerprints made go to
// `store` too, so that another name of a file is not read again. `keepGoing` is told the progress
// (0 to 100); false abandons it.
bool AddFingerprints(Inventory& inventory, const std::vector<Inventory>& others,
                     FingerprintStore& store, FingerprintCount& count,
                     QList<FingerprintFailure>& failures,
                     const std::function<bool(int percent)>& keepGoing);

// For a contents comparison with files of saved inventories. `files` as the contents check was
// given them, a file not here without a path; `results` its answer; `fingerprints` one per file,
// those of the files not here filled in. Fills in those of the files here that the check compared
// and whose size a fingerprinted file not here has: from `store`, else read. False when
// `keepGoing` (told the bytes of each read) said to stop.
bool FingerprintFilesHere(const QList<ContentsFile>& files,
                          const std::vector<ContentsResult>& results,
                          std::vector<QByteArray>& fingerprints, FingerprintStore& store,
                          FingerprintCount& count,
                          const std::function<bool(qint64 bytes)>& keepGoing);

// Joins the check's copy sets by fingerprint: files of one size and fingerprint where one of them
// is `elsewhere` (not here) become one copy set, with every file of the check's sets they are in.
// `files` are the list's files with a path that tells each file apart (a file elsewhere with its
// source), as CopyChoice takes them; `results` one per file, renumbered. Gives, per file, whether
// its copies are known by fingerprint only: a file elsewhere, or one here whose only copies are.
std::vector<bool> JoinByFingerprint(const QList<ContentsFile>& files,
                                    const std::vector<bool>& elsewhere,
                                    const std::vector<QByteArray>& fingerprints,
                                    std::vector<ContentsResult>& results);

}  // namespace tallyrook
