#include "inventory/inventory_search.h"

#include <QDir>
#include <QHash>
#include <QSysInfo>
#include <memory>
#include <span>

#include "contents/contents_file.h"
#include "inventory/volume.h"
#include "search/file_functions.h"
#include "search/search_events.h"
#include "search/search_host.h"
#include "shared/global.h"
#include "walk/walk.h"

namespace tallyrook {

bool MakeInventory(const FileInventory& walked, const QStringList& roots, Inventory& inventory,
                   const std::function<bool(int percent)>& keepGoing) {
    inventory = {};
    inventory.machine = QSysInfo::machineHostName();
    inventory.walkedAt = QDateTime::currentDateTimeUtc();
    inventory.roots = roots;
    VolumeFinder volumes(inventory.machine);
    QHash<QString, int> volumeIds;
    const QChar* lastFolder = nullptr;
    for (qsizetype k = 0; k < walked.FileCount(); ++k) {
        if (k % 1024 == 0 && !keepGoing(int(k * 100 / walked.FileCount())))
            return false;
        // The records of one folder come together and share its text.
        const QString& folder = walked.FileFolders.at(k);
        if (folder.constData() != lastFolder || inventory.folders.empty() ||
            inventory.folders.back().path != folder) {
            lastFolder = folder.constData();
            const Inventory::Volume volume = volumes.Of(folder);
            auto id = volumeIds.find(volume.id);
            if (id == volumeIds.end()) {
                id = volumeIds.insert(volume.id, int(inventory.volumes.size()));
                inventory.volumes.push_back(volume);
            }
            inventory.folders.push_back({folder, *id});
        }
        const QString path = walked.FullPath(k);
        const contents_detail::Look look = contents_detail::LookAt(path);
        const FileMetadata metadata = ReadFileMetadata(path);
        inventory.files.push_back(
            {int(inventory.folders.size() - 1), walked.FileNames.at(k), walked.FileSizes.at(k),
             metadata.modifiedUtc.isValid() ? metadata.modifiedUtc.toMSecsSinceEpoch()
                                            : Inventory::NoDate,
             look.id.modifiedNs, look.id.device, look.id.inode, qint64(look.links)});
    }
    return keepGoing(100);
}

namespace {

// Whether the folder lies in one of the walked folders (or is one).
bool UnderWalked(const QString& folder, const QStringList& walkedRoots) {
    for (const QString& root : walkedRoots) {
        const QString absolute = QDir::cleanPath(QDir::current().absoluteFilePath(root));
        if (folder.startsWith(walk_detail::QueuePath(absolute)))
            return true;
    }
    return false;
}

// Whether the file at the path is still the one the inventory recorded.
bool Unchanged(const QString& path, const Inventory::File& file) {
    const contents_detail::Look look = contents_detail::LookAt(path);
    return look.kind == contents_detail::Kind::File && look.id.size == file.size &&
           look.id.modifiedNs == file.modifiedNs && look.id.inode == file.inode;
}

// By inventory, what reads its recorded files back; none for one whose files are all left out.
using Readers = std::vector<std::unique_ptr<RecordedFileReader>>;

// What the inventories recorded of their files is read back as the rows are made.
std::shared_ptr<Readers> GiveReaders(FileInventory& files, size_t count) {
    auto readers = std::make_shared<Readers>(count);
    files.SetRecordedReader([readers](qint32 origin, std::span<const qint64> ids,
                                      std::span<FileInventory::RecordedDetails> details) {
        RecordedFileReader* reader = origin >= 0 && size_t(origin) < readers->size()
                                         ? (*readers)[size_t(origin)].get()
                                         : nullptr;
        if (!reader)
            return;
        for (size_t i = 0; i < ids.size(); ++i)
            reader->Read(ids[i], details[i].bytes, details[i].msecs);
        reader->Rest();
    });
    return readers;
}

}  // namespace

QHash<QString, size_t> NewestWalks(const std::vector<Inventory>& inventories) {
    QHash<QString, size_t> newest;
    for (size_t i = 0; i < inventories.size(); ++i) {
        for (const Inventory::Volume& volume : inventories[i].volumes) {
            const auto found = newest.constFind(volume.id);
            if (found == newest.cend() || inventories[*found].walkedAt <= inventories[i].walkedAt)
                newest.insert(volume.id, i);
        }
    }
    return newest;
}

StepResult AddInventories(const std::vector<Inventory>& inventories, SearchHost& host,
                          Global& global, const QStringList& walkedRoots, bool sizes,
                          QHash<qsizetype, QByteArray>* fingerprints) {
    const QHash<QString, size_t> newest = NewestWalks(inventories);
    FileInventory& files = global.inventory;
    VolumeFinder here(QSysInfo::machineHostName());
    // Room for them all at once: growing a million records step by step holds old and new.
    qsizetype expected = 0;
    for (const Inventory& inventory : inventories)
        expected += InventoryFiles(inventory).Expected();
    files.Reserve(expected);
    const std::shared_ptr<Readers> readers = GiveReaders(files, inventories.size());
    for (size_t i = 0; i < inventories.size(); ++i) {
        const Inventory& inventory = inventories[i];
        // Per volume: taken from this inventory; mounted here where it was walked; its source.
        std::vector<bool> taken, mounted;
        std::vector<int> source;
        for (int v = 0; v < int(inventory.volumes.size()); ++v) {
            const Inventory::Volume& volume = inventory.volumes[size_t(v)];
            taken.push_back(newest.value(volume.id) == i);
            mounted.push_back(IsFolder(volume.mountPoint) &&
                              here.Of(volume.mountPoint).id == volume.id);
            const QString text = inventory.SourceText(v);
            qsizetype at = files.SourceNames.indexOf(text);
            if (at < 0) {
                at = files.SourceNames.size();
                files.SourceNames.append(text);
            }
            source.push_back(int(at));
        }
        std::vector<char> skipped(inventory.folders.size());
        bool anyTaken = false;
        for (size_t f = 0; f < inventory.folders.size(); ++f) {
            const Inventory::Folder& folder = inventory.folders[f];
            skipped[f] = !taken[size_t(folder.volume)] || (mounted[size_t(folder.volume)] &&
                                                           UnderWalked(folder.path, walkedRoots))
                             ? 1
                             : 0;
            anyTaken = anyTaken || !skipped[f];
        }
        if (!anyTaken)
            continue;
        (*readers)[i] = std::make_unique<RecordedFileReader>(inventory);
        InventoryFiles reader(inventory);
        Inventory::File file;
        QByteArray sha256;
        for (qsizetype k = 0; reader.Next(file, sha256); ++k) {
            if (k % 256 == 0) {
                if (!host.ProcessPendingEvents())
                    return StepResult::Abandoned;
                if (host.StopRequested())
                    return StepResult::Stopped;
            }
            if (skipped[size_t(file.folder)])
                continue;
            const Inventory::Folder& folder = inventory.folders[size_t(file.folder)];
            const qint64 size = sizes ? file.size : FileInventory::NoSize;
            bool added;
            const bool onDriveHere = mounted[size_t(folder.volume)];
            if (onDriveHere && Unchanged(folder.path + file.name, file))
                added = files.AddRecord(folder.path, file.name, size);
            else
                added = files.AddRecorded(folder.path, file.name, size,
                                          {source[size_t(folder.volume)], qint32(i), reader.Id()});
            // A changed file of a drive mounted here is no longer what its fingerprint says:
            // taken for a copy elsewhere, it would let the only copy go.
            if (added && fingerprints && !onDriveHere && !sha256.isEmpty())
                fingerprints->insert(files.FileCount() - 1, sha256);
            if (!added) {
                host.Notify({SearchEvent::Kind::InventoryFull, {}, {}, files.Capacity()});
                return StepResult::Full;
            }
        }
        // Its files up to the damage are searched; the damage is said, as for a folder that
        // could not be read.
        if (!reader.Error().isEmpty())
            host.Notify({SearchEvent::Kind::UnreadableFolder, inventory.path, reader.Error()});
    }
    return StepResult::Completed;
}

}  // namespace tallyrook
