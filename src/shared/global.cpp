#include "shared/global.h"

#include <algorithm>

namespace tallyrook {

void FileInventory::Reserve(qsizetype more) {
    const qsizetype needed = std::min(FileCount() + more, capacity_);
    const qsizetype capacity = FileNames.capacity();
    if (needed <= capacity)
        return;
    const qsizetype target = capacity == 0 ? needed : std::max(needed, capacity + capacity / 4);
    FileNames.reserve(target);
    FileFolders.reserve(target);
    FileSizes.reserve(target);
}

bool FileInventory::AddRecord(const QString& folder, const QString& name, qint64 size) {
    if (InventoryFull())
        return false;
    FileFolders.append(folder);
    FileNames.append(name);
    FileSizes.append(size);
    if (!recorded_.isEmpty())
        recorded_.append({-1, -1, NoDate});
    return true;
}

bool FileInventory::AddRecorded(const QString& folder, const QString& name, qint64 size,
                                const Recorded& recorded) {
    if (!AddRecord(folder, name, size))
        return false;
    // The walked files before the first recorded one get their entries only now.
    if (recorded_.isEmpty())
        recorded_.fill({-1, -1, NoDate}, FileCount());
    recorded_.last() = recorded;
    return true;
}

QString FileInventory::FileSizeText(qsizetype k) const {
    const qint64 size = FileSizes.at(k);
    return size == NoSize ? QString() : QString::number(size);
}

void FileInventory::ResetInventory() {
    // Release the storage too: a run over a million files should not pin its memory forever.
    FileNames = {};
    FileFolders = {};
    FileSizes = {};
    recorded_ = {};
    SourceNames = {};
}

}  // namespace tallyrook
