#include "contents/contents_pass.h"

#include <QHash>
#include <algorithm>

#include "search/search_host.h"
#include "shared/global.h"

namespace tallyrook {

namespace {

// How long the check is left alone between looks at the stop request and the window's events.
constexpr int PollMs = 25;
// Records counted between pending events.
constexpr qsizetype RecordsPerEvents = 4096;

// Gives each record its copy set: the check's sets of two files or more (the names of one file
// alone are no copy), numbered anew in the order of each set's first record.
void GiveCopySets(const ContentsResults& results, const std::vector<qsizetype>& recordOf,
                  std::vector<int>& copySetOf) {
    struct SetFiles {
        int first = 0;  // the file of its first path
        bool several = false;
    };
    std::vector<SetFiles> setFiles(size_t(results.copySets) + 1);
    for (const ContentsResult& result : results.files) {
        if (result.state != CopyState::HasCopies || result.copySet <= 0)
            continue;
        SetFiles& set = setFiles[size_t(result.copySet)];
        if (set.first == 0)
            set.first = result.file;
        else if (set.first != result.file)
            set.several = true;
    }
    std::vector<int> number(setFiles.size(), 0);
    int numbered = 0;
    for (size_t i = 0; i < results.files.size(); ++i) {
        const ContentsResult& result = results.files[i];
        if (result.state != CopyState::HasCopies || result.copySet <= 0 ||
            !setFiles[size_t(result.copySet)].several)
            continue;
        int& set = number[size_t(result.copySet)];
        if (set == 0)
            set = ++numbered;
        copySetOf[size_t(recordOf[i])] = set;
    }
}

}  // namespace

// The records given to the check, their paths made from the inventory's lists as they are asked
// for. The lists are shared with the inventory, not copied, and outlive it for a check left to
// end on its own.
class ContentsPass::RecordFiles : public ContentsSource {
public:
    RecordFiles() = default;
    RecordFiles(const FileInventory& inventory, std::vector<qsizetype> records)
        : folders_(inventory.FileFolders),
          names_(inventory.FileNames),
          sizes_(inventory.FileSizes),
          records_(std::move(records)) {}
    qsizetype Count() const override { return qsizetype(records_.size()); }
    ContentsFile At(qsizetype entry) const override {
        const qsizetype k = records_[size_t(entry)];
        return {folders_.at(k) + names_.at(k), sizes_.at(k), {}};
    }
    const std::vector<qsizetype>& Records() const { return records_; }

private:
    QList<QString> folders_;
    QList<QString> names_;
    QList<qint64> sizes_;
    std::vector<qsizetype> records_;
};

ContentsPass::ContentsPass(qint64 minSize, ContentsOptions options)
    : minSize_(std::max<qint64>(minSize, 1)),
      options_(std::move(options)),
      files_(std::make_shared<RecordFiles>()) {}

const ContentsSource& ContentsPass::Files() const {
    return *files_;
}

const std::vector<qsizetype>& ContentsPass::Records() const {
    return files_->Records();
}

void ContentsPass::Clear() {
    files_ = std::make_shared<RecordFiles>();
    results_ = {};
}

StepResult ContentsPass::Run(SearchHost& host, const Global& global, std::vector<int>& copySetOf) {
    Clear();
    const FileInventory& inventory = global.inventory;
    const qsizetype count = inventory.FileCount();
    copySetOf.assign(size_t(count), 0);
    const auto takesPart = [&](qsizetype k) {
        return inventory.FileSizes.at(k) >= minSize_ && !inventory.RecordedOf(k);
    };
    // Only a size that another file has is worth a read.
    QHash<qint64, int> filesOfSize;
    for (qsizetype k = 0; k < count; ++k) {
        if (takesPart(k))
            ++filesOfSize[inventory.FileSizes.at(k)];
        if (k % RecordsPerEvents == 0 && !host.ProcessPendingEvents())
            return StepResult::Abandoned;
    }
    std::vector<qsizetype> records;
    for (qsizetype k = 0; k < count; ++k) {
        if (takesPart(k) && filesOfSize.value(inventory.FileSizes.at(k)) > 1)
            records.push_back(k);
    }
    filesOfSize = {};
    if (host.StopRequested())
        return StepResult::Stopped;
    if (records.empty())
        return StepResult::Completed;

    auto files = std::make_shared<RecordFiles>(inventory, std::move(records));
    ContentsCheck check(files, options_);
    check.Start();
    host.SetProgress(0);
    int lastPercent = 0;
    while (!check.Wait(PollMs)) {
        // The check is told to stop and left: what it has not proved is not listed.
        if (!host.ProcessPendingEvents())
            return StepResult::Abandoned;
        if (host.StopRequested())
            return StepResult::Stopped;
        const ContentsProgress done = check.Progress();
        const int percent = done.bytesTotal > 0 ? int(100 * done.bytesDone / done.bytesTotal) : 0;
        if (percent != lastPercent) {
            lastPercent = percent;
            host.SetProgress(percent);
        }
    }
    ContentsResults results = check.TakeResults();
    if (results.stopped)
        return StepResult::Stopped;
    host.SetProgress(100);

    GiveCopySets(results, files->Records(), copySetOf);
    files_ = std::move(files);
    results_ = std::move(results);
    return StepResult::Completed;
}

}  // namespace tallyrook
