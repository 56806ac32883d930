#include "global.h"

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

void Global::FillRowColors(const QString& name) {
    for (QString& entry : RowColors)
        entry = name;
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
