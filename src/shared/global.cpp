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

QString RowColors::RowColor(qsizetype k) const {
    return k >= 0 && k < colors_.size() ? colors_.at(k) : QString();
}

void RowColors::SetRowColor(qsizetype k, const QString& name) {
    if (k < 0)
        return;
    if (k >= colors_.size()) {
        // Rows come one at a time: grow geometrically, not by one entry per row.
        if (k >= colors_.capacity())
            colors_.reserve(std::max(k + 1, colors_.capacity() * 2));
        colors_.resize(k + 1);
    }
    colors_[k] = name;
}

void RowColors::RemoveRowColors(qsizetype first, qsizetype count) {
    first = qBound<qsizetype>(0, first, colors_.size());
    colors_.remove(first, qBound<qsizetype>(0, count, colors_.size() - first));
}

void RowColors::RemoveRowColors(const std::vector<bool>& removed) {
    qsizetype kept = 0;
    for (qsizetype k = 0; k < colors_.size(); ++k) {
        if (k < qsizetype(removed.size()) && removed[size_t(k)])
            continue;
        if (kept != k)
            colors_[kept] = std::move(colors_[k]);
        ++kept;
    }
    colors_.resize(kept);
}

void RowColors::ResetRowColors() {
    colors_ = {};
}

}  // namespace tallyrook
