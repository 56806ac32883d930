#include "inventory/fingerprints.h"

#include <QCryptographicHash>
#include <QSet>
#include <QSysInfo>
#include <algorithm>
#include <climits>
#include <memory>
#include <numeric>

#include "contents/contents_file.h"
#include "inventory/inventory_search.h"
#include "inventory/volume.h"

namespace tallyrook {

namespace {

constexpr qint64 ReadChunk = 1 << 20;

QString PathOf(const Inventory& inventory, const Inventory::File& file) {
    return inventory.folders[size_t(file.folder)].path + file.name;
}

const QString& VolumeOf(const Inventory& inventory, const Inventory::File& file) {
    return inventory.volumes[size_t(inventory.folders[size_t(file.folder)].volume)].id;
}

FileIdentity IdentityOf(const Inventory::File& file) {
    return {file.device, file.inode, file.size, file.modifiedNs, 0};
}

}  // namespace

FingerprintStore::Key FingerprintStore::KeyOf(const QString& volume, const QString& path,
                                              const FileIdentity& id) {
    const bool ownNumbers = volume.startsWith(u"uuid:");
    return {volume, ownNumbers ? QString() : path, id.device, id.inode, id.size, id.modifiedNs};
}

void FingerprintStore::Add(const Inventory& inventory) {
    InventoryFiles files(inventory, InventoryFiles::Which::Fingerprinted);
    Inventory::File file;
    QByteArray sha256;
    while (files.Next(file, sha256))
        Add(VolumeOf(inventory, file), PathOf(inventory, file), IdentityOf(file), sha256);
}

void FingerprintStore::Add(const QString& volume, const QString& path, const FileIdentity& id,
                           const QByteArray& sha256) {
    known_.insert(KeyOf(volume, path, id), sha256);
}

QByteArray FingerprintStore::Find(const QString& volume, const QString& path,
                                  const FileIdentity& id) const {
    return known_.value(KeyOf(volume, path, id));
}

QByteArray ReadFingerprint(const QString& path, const FileIdentity& recorded,
                           NotComparedReason& reason, qint64& bytesRead,
                           const std::function<bool(qint64 bytes)>& progress) {
    using namespace contents_detail;
    const Look look = LookAt(path);
    if (look.kind != Kind::File) {
        reason = look.kind == Kind::Missing    ? NotComparedReason::Vanished
                 : look.kind == Kind::NotAFile ? NotComparedReason::NotAFile
                                               : NotComparedReason::Unreadable;
        return {};
    }
    const FileIdentity& now = look.id;
    if (now.device != recorded.device || now.inode != recorded.inode || now.size != recorded.size ||
        now.modifiedNs != recorded.modifiedNs) {
        reason = NotComparedReason::Changed;
        return {};
    }
    bool tooMany = false;
    const OpenedFilePtr file = OpenForReading(path, look, reason, tooMany);
    if (!file)
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const std::unique_ptr<char[]> buffer(new char[size_t(std::clamp(now.size, 1LL, ReadChunk))]);
    for (qint64 offset = 0; offset < now.size;) {
        const qint64 length = std::min(ReadChunk, now.size - offset);
        if (!ReadAt(*file, buffer.get(), length, offset)) {
            reason = StillSame(file.get(), path, look) ? NotComparedReason::Unreadable
                                                       : NotComparedReason::Changed;
            return {};
        }
        bytesRead += length;
        offset += length;
        hash.addData(QByteArrayView(buffer.get(), length));
        if (progress && !progress(length)) {
            reason = NotComparedReason::Stopped;
            return {};
        }
    }
    // What was read must be the file as it was looked at, and still under its name.
    if (!StillSame(file.get(), path, look)) {
        reason = NotComparedReason::Changed;
        return {};
    }
    reason = NotComparedReason::None;
    return hash.result();
}

bool AddFingerprints(Inventory& inventory, const std::vector<Inventory>& others,
                     FingerprintStore& store, FingerprintCount& count,
                     QList<FingerprintFailure>& failures,
                     const std::function<bool(int percent)>& keepGoing) {
    // How many files have each size: a file's names count once, an empty file never.
    QHash<qint64, int> files;
    QSet<std::pair<quint64, quint64>> linked;
    for (const Inventory::File& file : inventory.files) {
        if (file.size <= 0)
            continue;
        if (file.links > 1) {
            const auto id = std::pair{file.device, file.inode};
            if (linked.contains(id))
                continue;
            linked.insert(id);
        }
        ++files[file.size];
    }
    // The other inventories' files, but for an older walk of a file system walked now: those are
    // the same files again.
    QSet<QString> walkedNow;
    for (const Inventory::Volume& volume : inventory.volumes)
        walkedNow.insert(volume.id);
    const QHash<QString, size_t> newest = NewestWalks(others);
    for (size_t i = 0; i < others.size(); ++i) {
        const Inventory& other = others[i];
        std::vector<bool> counted;
        for (const Inventory::Volume& volume : other.volumes)
            counted.push_back(!walkedNow.contains(volume.id) && newest.value(volume.id) == i);
        InventoryFiles otherFiles(other);
        Inventory::File file;
        QByteArray sha256;
        while (otherFiles.Next(file, sha256)) {
            if (file.size > 0 && counted[size_t(other.folders[size_t(file.folder)].volume)])
                ++files[file.size];
        }
    }
    std::vector<int> wanted;
    qint64 total = 0;
    for (int k = 0; k < int(inventory.files.size()); ++k) {
        const qint64 size = inventory.files[size_t(k)].size;
        if (size > 0 && files.value(size) > 1) {
            wanted.push_back(k);
            total += size;
        }
    }
    qint64 done = 0;
    const auto progress = [&] { return keepGoing(total > 0 ? int(done * 100 / total) : 100); };
    for (const int k : wanted) {
        const Inventory::File& file = inventory.files[size_t(k)];
        const QString path = PathOf(inventory, file);
        const QString& volume = VolumeOf(inventory, file);
        const FileIdentity id = IdentityOf(file);
        QByteArray sha256 = store.Find(volume, path, id);
        if (sha256.isEmpty()) {
            NotComparedReason reason;
            const qint64 before = done;
            sha256 = ReadFingerprint(path, id, reason, count.bytesRead, [&](qint64 bytes) {
                done += bytes;
                return progress();
            });
            if (reason == NotComparedReason::Stopped)
                return false;
            done = before;
            if (sha256.isEmpty()) {
                failures.append({path, reason});
                continue;
            }
            ++count.read;
            store.Add(volume, path, id, sha256);
        }
        done += file.size;
        inventory.fingerprints.insert(k, sha256);
        ++count.files;
        if (!progress())
            return false;
    }
    return true;
}

bool FingerprintFilesHere(const QList<ContentsFile>& files,
                          const std::vector<ContentsResult>& results,
                          std::vector<QByteArray>& fingerprints, FingerprintStore& store,
                          FingerprintCount& count,
                          const std::function<bool(qint64 bytes)>& keepGoing) {
    QSet<qint64> sizes;
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (files[i].path.isEmpty() && !fingerprints[size_t(i)].isEmpty())
            sizes.insert(files[i].size);
    }
    if (sizes.isEmpty())
        return true;
    VolumeFinder volumes(QSysInfo::machineHostName());
    QHash<QString, QByteArray> made;  // by path: a path may stand several times
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString& path = files[i].path;
        const ContentsResult& result = results[size_t(i)];
        if (path.isEmpty() || result.state == CopyState::NotCompared || result.identity.size <= 0 ||
            !sizes.contains(result.identity.size))
            continue;
        if (const auto at = made.constFind(path); at != made.cend()) {
            fingerprints[size_t(i)] = *at;
            continue;
        }
        const QString volume = volumes.Of(path.left(path.lastIndexOf(u'/') + 1)).id;
        QByteArray sha256 = store.Find(volume, path, result.identity);
        if (sha256.isEmpty()) {
            NotComparedReason reason;
            sha256 = ReadFingerprint(path, result.identity, reason, count.bytesRead, keepGoing);
            if (reason == NotComparedReason::Stopped)
                return false;
            // A file changed since it was compared is left out of the comparison by fingerprint.
            if (!sha256.isEmpty()) {
                ++count.read;
                store.Add(volume, path, result.identity, sha256);
            }
        }
        count.files += sha256.isEmpty() ? 0 : 1;
        made.insert(path, sha256);
        fingerprints[size_t(i)] = sha256;
    }
    return true;
}

namespace {

// Paths joined into sets one pair at a time.
class Joins {
public:
    explicit Joins(size_t paths) : parent_(paths) { std::iota(parent_.begin(), parent_.end(), 0); }
    int Root(int p) {
        while (parent_[size_t(p)] != p)
            p = parent_[size_t(p)] = parent_[size_t(parent_[size_t(p)])];
        return p;
    }
    void Join(int a, int b) { parent_[size_t(Root(a))] = Root(b); }

private:
    std::vector<int> parent_;
};

// The distinct paths of a list of files, each at its first entry.
struct DistinctPaths {
    std::vector<int> pathOf;      // by entry
    std::vector<int> firstEntry;  // by path
};

DistinctPaths FindDistinctPaths(const QList<ContentsFile>& files) {
    DistinctPaths distinct;
    QHash<QString, int> pathAt;
    distinct.pathOf.resize(size_t(files.size()));
    for (int i = 0; i < int(files.size()); ++i) {
        const auto at = pathAt.constFind(files[i].path);
        if (at != pathAt.cend()) {
            distinct.pathOf[size_t(i)] = *at;
            continue;
        }
        distinct.pathOf[size_t(i)] = int(distinct.firstEntry.size());
        pathAt.insert(files[i].path, int(distinct.firstEntry.size()));
        distinct.firstEntry.push_back(i);
    }
    return distinct;
}

// Joins the files of one size and fingerprint where one of them is elsewhere; true for each
// path joined so.
std::vector<bool> JoinAlike(const QList<ContentsFile>& files, const std::vector<bool>& elsewhere,
                            const std::vector<QByteArray>& fingerprints,
                            const std::vector<ContentsResult>& results,
                            const DistinctPaths& distinct, Joins& joins) {
    const std::vector<int>& firstEntry = distinct.firstEntry;
    QHash<std::pair<qint64, QByteArray>, QList<int>> alike;
    for (int p = 0; p < int(firstEntry.size()); ++p) {
        const int e = firstEntry[size_t(p)];
        const qint64 size = files[e].size >= 0 ? files[e].size : results[size_t(e)].identity.size;
        if (size > 0 && !fingerprints[size_t(e)].isEmpty())
            alike[{size, fingerprints[size_t(e)]}].append(p);
    }
    std::vector<bool> joined(firstEntry.size(), false);
    for (const QList<int>& same : std::as_const(alike)) {
        const bool across = std::any_of(same.begin(), same.end(), [&](int p) {
            return elsewhere[size_t(firstEntry[size_t(p)])];
        });
        if (!across || same.size() < 2)
            continue;
        for (const int p : same) {
            joins.Join(p, same.first());
            joined[size_t(p)] = true;
        }
    }
    return joined;
}

}  // namespace

std::vector<bool> JoinByFingerprint(const QList<ContentsFile>& files,
                                    const std::vector<bool>& elsewhere,
                                    const std::vector<QByteArray>& fingerprints,
                                    std::vector<ContentsResult>& results) {
    const DistinctPaths distinct = FindDistinctPaths(files);
    const std::vector<int>& firstEntry = distinct.firstEntry;
    const int paths = int(firstEntry.size());
    Joins joins(firstEntry.size());
    // The check's copy sets, and which of them hold two files read byte for byte.
    QHash<int, int> setPath;
    QHash<int, QSet<int>> setFiles;
    for (int p = 0; p < paths; ++p) {
        const ContentsResult& result = results[size_t(firstEntry[size_t(p)])];
        if (elsewhere[size_t(firstEntry[size_t(p)])] || result.copySet == 0)
            continue;
        if (const auto at = setPath.constFind(result.copySet); at != setPath.cend())
            joins.Join(p, *at);
        else
            setPath.insert(result.copySet, p);
        setFiles[result.copySet].insert(result.file);
    }
    const std::vector<bool> joined =
        JoinAlike(files, elsewhere, fingerprints, results, distinct, joins);
    // Sets numbered anew in the order of their first files.
    std::vector<int> members(size_t(paths), 0);
    std::vector<bool> across(size_t(paths), false);
    for (int p = 0; p < paths; ++p) {
        ++members[size_t(joins.Root(p))];
        if (joined[size_t(p)])
            across[size_t(joins.Root(p))] = true;
    }
    std::vector<int> number(size_t(paths), 0);
    int sets = 0;
    for (int p = 0; p < paths; ++p) {
        if (members[size_t(joins.Root(p))] > 1 && number[size_t(joins.Root(p))] == 0)
            number[size_t(joins.Root(p))] = ++sets;
    }
    std::vector<bool> byFingerprint(size_t(files.size()), false);
    for (int i = 0; i < int(files.size()); ++i) {
        const int r = joins.Root(distinct.pathOf[size_t(i)]);
        ContentsResult& result = results[size_t(i)];
        const bool byteForByte =
            !elsewhere[size_t(i)] && result.copySet > 0 && setFiles[result.copySet].size() > 1;
        result.copySet = number[size_t(r)];
        result.otherCopies = std::max(members[size_t(r)] - 1, 0);
        if (!across[size_t(r)])
            continue;
        byFingerprint[size_t(i)] = !byteForByte;
        result.state = CopyState::HasCopies;
        result.reason = NotComparedReason::None;
    }
    return byFingerprint;
}

}  // namespace tallyrook
