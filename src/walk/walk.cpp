#include "walk/walk.h"

#include <QFile>
#include <QtGlobal>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "search/file_functions.h"
#include "search/run_options.h"
#include "search/search_host.h"
#include "shared/file_names.h"
#include "shared/global.h"
#include "walk/folder_chain.h"

namespace tallyrook {

namespace walk_detail {

namespace {

// Inside one folder the host gets its events every this many entries, so that a folder of a
// million files does not freeze the window. The host throttles by time itself; this only keeps
// the calls cheap next to an entry.
constexpr int EntriesPerEvents = 16;

// The enumeration pass of one folder-list entry: every folder of the tree queued, depth-first
// pre-order, each folder's listing read once and finished before any subfolder is entered, and
// the folder's plain files kept for the listing pass. Iterative, so depth costs no stack.
class Enumeration {
public:
    Enumeration(SearchHost& host, WalkedFolders& walked, FolderChain& chain, WalkQueue& queue,
                qsizetype room, bool readSizes)
        : host_(host),
          walked_(walked),
          chain_(chain),
          queue_(queue),
          room_(room),
          readSizes_(readSizes) {}

    StepResult Run() {
        if (!host_.ProcessPendingEvents())
            return StepResult::Abandoned;
        QueuedFolder& root = queue_.back();
        if (const int error = chain_.OpenRoot(root); error != 0) {
            Report(root, error);
            return StepResult::Completed;
        }
        // A root walked before keeps its queue entry, empty: its progress and caption stay.
        if (!chain_.EnterFirstTime(walked_))
            return StepResult::Completed;
        chain_.NoteIdentity(root);

        struct Level {
            std::vector<QByteArray> subfolders;
            size_t next = 0;
        };
        std::vector<Level> levels;
        StepResult status = ReadFolder(queue_.back());
        levels.push_back({std::move(subfolders_)});
        while (status == StepResult::Completed && !levels.empty()) {
            Level& level = levels.back();
            if (level.next == level.subfolders.size()) {
                levels.pop_back();
                parentIndex_.pop_back();
                if (levels.empty())
                    break;
                const Level& parent = levels.back();
                chain_.Leave(parent.next < parent.subfolders.size());
                continue;
            }
            QueuedFolder sub;
            sub.name = std::exchange(level.subfolders[level.next++], {});
            const QueuedFolder& parent = queue_[parentIndex_.back()];
            sub.path = parent.path + DecodeFileName(sub.name) + u'/';
            sub.depth = parent.depth + 1;
            if (!host_.ProcessPendingEvents())
                return StepResult::Abandoned;
            // While the read-ahead is still on it, the host keeps its events and its stop button.
            while (!chain_.Ready(sub)) {
                if (!host_.ProcessPendingEvents())
                    return StepResult::Abandoned;
                if (host_.StopRequested())
                    return StepResult::Stopped;
            }
            const int error = chain_.Enter(sub);
            if (error != 0) {
                // Counts as an empty folder: a step of the progress, no records.
                Report(sub, error);
                queue_.push_back(std::move(sub));
                continue;
            }
            if (!chain_.EnterFirstTime(walked_)) {
                chain_.Leave(level.next < level.subfolders.size());
                continue;
            }
            chain_.NoteIdentity(sub);
            queue_.push_back(std::move(sub));
            parentIndex_.push_back(queue_.size() - 1);
            status = ReadFolder(queue_.back());
            levels.push_back({std::move(subfolders_)});
        }
        return status;
    }

    // The files queued reached the room left in the inventory: nothing more was read (Run()
    // answered Full), and the listing pass still records what was queued.
    bool Full() const { return full_; }

private:
    // Reads one folder, polling the stop request at every entry that counts. Names that are not
    // valid UTF-8 are reported and left out: we could neither show nor reliably compare them.
    StepResult ReadFolder(QueuedFolder& folder) {
        scratch_.resize(0);  // keeps the capacity, unlike clear()
        sizes_.clear();
        subfolders_.clear();
        StepResult status = StepResult::Completed;
        int seen = 0;
        qsizetype fileCount = 0;
        const int error = chain_.Read([&](const char* name, qsizetype length, EntryKind kind) {
            if (++seen % EntriesPerEvents == 0 && !host_.ProcessPendingEvents())
                status = StepResult::Abandoned;
            else if (kind == EntryKind::Other)
                return true;
            else if (host_.StopRequested())
                status = StepResult::Stopped;
            else if (!QByteArrayView(name, length).isValidUtf8())
                host_.Notify({SearchEvent::Kind::SkippedName,
                              folder.path + DisplayFileName(QByteArrayView(name, length))});
            else if (kind == EntryKind::Folder)
                subfolders_.emplace_back(name, length);
            else if (queuedFiles_ == room_)
                status = StepResult::Full;
            else {
                scratch_.append(name, length + 1);
                // While the folder is open anyway: the listing pass then need not open it again.
                if (readSizes_)
                    sizes_.push_back(chain_.SizeOf(name));
                ++queuedFiles_;
                ++fileCount;
            }
            return status == StepResult::Completed;
        });
        if (error != 0)
            Report(folder, error);
        // Copied at its exact size: a million names would otherwise keep the growth slack of
        // every folder's buffer alive until the listing pass.
        folder.files = QByteArray(scratch_.constData(), scratch_.size());
        folder.sizes.assign(sizes_.begin(), sizes_.end());
        folder.fileCount = fileCount;
        full_ = status == StepResult::Full;
        return status;
    }

    void Report(const QueuedFolder& folder, int error) {
        // Gone since its parent was read, or an entry that is no folder: nothing was missed.
        if (error != ENOENT && error != ENOTDIR)
            host_.Notify({SearchEvent::Kind::UnreadableFolder, WithoutClosingSlash(folder.path),
                          qt_error_string(error)});
    }

    SearchHost& host_;
    WalkedFolders& walked_;
    FolderChain& chain_;
    WalkQueue& queue_;
    const qsizetype room_;
    const bool readSizes_;
    qsizetype queuedFiles_ = 0;
    bool full_ = false;
    std::vector<size_t> parentIndex_{0};
    QByteArray scratch_;
    std::vector<qint64> sizes_;
    std::vector<QByteArray> subfolders_;
};

// How the walk ends when a pass did not complete; a full inventory is told to the user.
StepResult EndedEarly(StepResult status, SearchHost& host, const Global& global) {
    if (status == StepResult::Full)
        host.Notify({SearchEvent::Kind::InventoryFull, {}, {}, global.inventory.Capacity()});
    return status;
}

// The listing pass for one queued folder: a record for each of its files, in enumeration order.
// Events and the stop request are also looked at within a large folder.
StepResult ListFiles(const QueuedFolder& folder, FolderChain& chain, SearchHost& host,
                     Global& global, const Criteria& criteria) {
    const char* name = folder.files.constData();
    const char* end = name + folder.files.size();
    for (int n = 1; name < end; ++n) {
        if (n % EntriesPerEvents == 0) {
            if (!host.ProcessPendingEvents())
                return StepResult::Abandoned;
            if (host.StopRequested())
                return StepResult::Stopped;
        }
        const qsizetype length = qsizetype(std::strlen(name));
        qint64 size = FileInventory::NoSize;
        // Exact Filesize or Exact Contents as it is now: a size read while ticked goes unused once
        // neither is.
        if (criteria.NeedsSizes())
            size = folder.sizes.empty() ? chain.SizeOf(name) : folder.sizes[size_t(n - 1)];
        if (!global.inventory.AddRecord(folder.path, DecodeFileName(QByteArrayView(name, length)),
                                        size))
            return StepResult::Full;
        name += length + 1;
    }
    return StepResult::Completed;
}

}  // namespace

QString QueuePath(const QString& entry) {
    QString copy = entry;
    if (copy.endsWith(u'/'))
        copy.chop(1);
    return copy + u'/';
}

}  // namespace walk_detail

using namespace walk_detail;

StepResult AnalyzeFolder(const QString& folder, SearchHost& host, Global& global,
                         WalkedFolders& walked, const RunOptions& options) {
    host.SetProgress(0);
    if (folder.isEmpty())
        return StepResult::Completed;

    const QString root = QueuePath(folder);
    host.SetStage(SearchStage::Walk, folder);

    WalkQueue queue;
    QueuedFolder first;
    first.path = root;
    first.name = QFile::encodeName(root);
    queue.push_back(std::move(first));
    FolderChain chain(options.readAhead, options.criteria.NeedsSizes());
    Enumeration enumeration(
        host, walked, chain, queue,
        std::max<qsizetype>(0, global.inventory.Capacity() - global.inventory.FileCount()),
        options.criteria.NeedsSizes());
    const StepResult enumerated = enumeration.Run();
    if (enumerated == StepResult::Stopped || enumerated == StepResult::Abandoned)
        return EndedEarly(enumerated, host, global);

    host.SetBusy(true);
    qsizetype files = 0;
    for (const QueuedFolder& queued : queue)
        files += queued.fileCount;
    global.inventory.Reserve(files);

    const qsizetype count = qsizetype(queue.size());
    chain.ListAhead(queue);
    for (qsizetype i = 0; i < count; ++i) {
        if (!host.ProcessPendingEvents())
            return StepResult::Abandoned;
        if (host.StopRequested())
            return StepResult::Stopped;
        // The folder about to be listed still counts, so the first one shows 0.
        host.SetProgress(int(i * 100 / count));

        // Taken out of the queue, so its names are freed as soon as it is listed.
        const QueuedFolder current = std::move(queue[size_t(i)]);
        // Down to the folder's parent; the root too, after a full inventory stopped the
        // enumeration deep in the tree.
        while (chain.Depth() >= std::max(current.depth, 1))
            chain.Leave(false);
        if (current.depth > 0)
            chain.EnterUnopened(current);
        const StepResult listed = ListFiles(current, chain, host, global, options.criteria);
        if (listed != StepResult::Completed)
            return EndedEarly(listed, host, global);
    }
    if (enumeration.Full())
        return EndedEarly(StepResult::Full, host, global);

    host.SetProgress(100);
    host.SetStage(SearchStage::Walk);
    return StepResult::Completed;
}

}  // namespace tallyrook
