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

void FileInventory::Reserve(qsizetype more, bool recorded) {
    const qsizetype needed = std::min(FileCount() + more, capacity_);
    Grow(FileNames, needed);
    Grow(FileFolders, needed);
    Grow(FileSizes, needed);
    if (recorded)
        Grow(recordedMsecs_, recordedMsecs_.size() + (needed - FileCount()));
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
    const qsizetype at = recordedMsecs_.size();
    if (runs_.empty() || runs_.back().source != recorded.source ||
        runs_.back().first + (at - runs_.back().at) != k)
        runs_.push_back({k, at, recorded.source});
    recordedMsecs_.append(recorded.msecs);
    if (recordedBytes_.isEmpty() && recorded.bytes != size) {
        // The files recorded so far had their sizes as records.
        recordedBytes_.reserve(recordedMsecs_.capacity());
        for (size_t r = 0; r < runs_.size(); ++r) {
            const qsizetype end = r + 1 < runs_.size() ? runs_[r + 1].at : at;
            for (qsizetype i = runs_[r].at; i < end; ++i)
                recordedBytes_.append(FileSizes.at(runs_[r].first + i - runs_[r].at));
        }
    }
    if (!recordedBytes_.isEmpty() || recorded.bytes != size)
        recordedBytes_.append(recorded.bytes);
    return true;
}

std::optional<FileInventory::Recorded> FileInventory::RecordedOf(qsizetype k) const {
    // The last run starting at or before the record.
    auto run = std::upper_bound(runs_.begin(), runs_.end(), k,
                                [](qsizetype record, const Run& r) { return record < r.first; });
    if (run == runs_.begin())
        return std::nullopt;
    --run;
    const qsizetype end = run + 1 != runs_.end() ? (run + 1)->at : recordedMsecs_.size();
    const qsizetype at = run->at + (k - run->first);
    if (at >= end)
        return std::nullopt;
    return Recorded{run->source, recordedBytes_.isEmpty() ? FileSizes.at(k) : recordedBytes_.at(at),
                    recordedMsecs_.at(at)};
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
    recordedMsecs_ = {};
    recordedBytes_ = {};
    SourceNames = {};
}

}  // namespace tallyrook
