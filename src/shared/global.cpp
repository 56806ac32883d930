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
}

}  // namespace tallyrook
