#include "shared/global.h"

#include <algorithm>

namespace tallyrook {

namespace {

// Room for `needed` entries, growing by a quarter at least once some are held.
template <typename T>
void Grow(QList<T>& list, qsizetype needed) {
    const qsizetype capacity = list.capacity();
    if (needed > capacity)
        list.reserve(capacity == 0 ? needed : std::max(needed, capacity + capacity / 4));
}

}  // namespace

void FileInventory::Reserve(qsizetype more) {
    const qsizetype needed = std::min(FileCount() + more, capacity_);
    Grow(FileNames, needed);
    Grow(FileFolders, needed);
    Grow(FileSizes, needed);
}

bool FileInventory::AddRecord(const QString& folder, const QString& name, qint64 size) {
    if (InventoryFull())
        return false;
    FileFolders.append(folder);
    FileNames.append(name);
    FileSizes.append(size);
    return true;
}

bool FileInventory::AddRecorded(const QString& folder, const QString& name, qint64 size,
                                const Recorded& recorded) {
    if (!AddRecord(folder, name, size))
        return false;
    const qsizetype k = FileCount() - 1;
    if (!runs_.empty()) {
        Run& run = runs_.back();
        if (run.source == recorded.source && run.origin == recorded.origin &&
            run.first + run.count == k && run.id + run.count == recorded.id) {
            ++run.count;
            return true;
        }
    }
    runs_.push_back({k, 1, recorded.id, recorded.source, recorded.origin});
    return true;
}

std::optional<FileInventory::Recorded> FileInventory::RecordedOf(qsizetype k) const {
    // The last run starting at or before the record.
    auto run = std::upper_bound(runs_.begin(), runs_.end(), k,
                                [](qsizetype record, const Run& r) { return record < r.first; });
    if (run == runs_.begin())
        return std::nullopt;
    --run;
    if (k >= run->first + run->count)
        return std::nullopt;
    return Recorded{run->source, run->origin, run->id + (k - run->first)};
}

std::vector<FileInventory::RecordedDetails> FileInventory::ReadRecorded(
    std::span<const qsizetype> records) const {
    std::vector<RecordedDetails> details(records.size());
    std::vector<qint64> ids;
    // Stretches of one inventory, each read in one call.
    for (size_t begin = 0; begin < records.size();) {
        ids.clear();
        qint32 origin = -1;
        size_t end = begin;
        for (; end < records.size(); ++end) {
            const std::optional<Recorded> recorded = RecordedOf(records[end]);
            if (!recorded || (origin >= 0 && recorded->origin != origin))
                break;
            origin = recorded->origin;
            ids.push_back(recorded->id);
        }
        if (end == begin) {
            ++begin;  // not a recorded file: nothing known of it
            continue;
        }
        if (recordedReader_)
            recordedReader_(origin, ids, std::span(details).subspan(begin, end - begin));
        begin = end;
    }
    return details;
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
    runs_ = {};
    recordedReader_ = {};
    SourceNames = {};
}

}  // namespace tallyrook
