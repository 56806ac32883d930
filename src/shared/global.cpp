#include "shared/global.h"

namespace tallyrook {

bool Global::AddRecord(const QString& folder, const QString& name, qint64 size) {
    if (InventoryFull())
        return false;
    FileFolders.append(folder);
    FileNames.append(name);
    FileSizes.append(size);
    return true;
}

QString Global::FileSizeText(qsizetype k) const {
    const qint64 size = FileSizes.at(k);
    return size == NoSize ? QString() : QString::number(size);
}

QString Global::RowColor(qsizetype k) const {
    return k >= 0 && k < RowColors.size() ? RowColors.at(k) : QString();
}

void Global::SetRowColor(qsizetype k, const QString& name) {
    if (k < 0)
        return;
    if (k >= RowColors.size())
        RowColors.resize(k + 1);
    RowColors[k] = name;
}

void Global::RemoveRowColors(qsizetype first, qsizetype count) {
    first = qBound<qsizetype>(0, first, RowColors.size());
    RowColors.remove(first, qBound<qsizetype>(0, count, RowColors.size() - first));
}

void Global::RemoveRowColors(const std::vector<bool>& removed) {
    qsizetype kept = 0;
    for (qsizetype k = 0; k < RowColors.size(); ++k) {
        if (k < qsizetype(removed.size()) && removed[size_t(k)])
            continue;
        if (kept != k)
            RowColors[kept] = std::move(RowColors[k]);
        ++kept;
    }
    RowColors.resize(kept);
}

void Global::ResetInventory() {
    // Release the storage too: a run over a million files should not pin its memory forever.
    FileNames = {};
    FileFolders = {};
    FileSizes = {};
}

void Global::ResetRowColors() {
    RowColors = {};
}

}  // namespace tallyrook
