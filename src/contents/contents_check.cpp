#include "contents/contents_check.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <list>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "contents/contents_file.h"

namespace tallyrook {

using namespace contents_detail;

FileIdentity CurrentIdentity(const QString& path) {
    const Look look = LookAt(path);
    return look.kind == Kind::File ? look.id : FileIdentity{};
}

namespace {

// The first read of a file: a file system's page. Files of one size mostly differ here already.
constexpr qint64 FirstChunk = 4096;
// How many files ahead of the reading the disk is asked to start.
constexpr size_t PrefetchAhead = 32;
// How long a check that was asked to stop is waited for as it goes.
constexpr int LeaveAfterMs = 250;

struct Counters {
    std::atomic<qint64> filesDone{0}, filesTotal{0}, bytesDone{0}, bytesTotal{0};
};

// A distinct path of the list.
struct Path {
    Look look;
    int firstEntry = 0;   // its first entry in the list, which holds the path
    int nextInUnit = -1;  // the next path of the same file
    int unit = -1;        // the file it is read as
    int set = -1;
    CopyState state = CopyState::NotCompared;
    NotComparedReason reason = NotComparedReason::Stopped;
    bool pending = false;  // a file to compare, no verdict yet
};

// A file to read: the paths that name it (hard links) share its reads.
struct Unit {
    int firstPath = -1;
    int lastPath = -1;
    int pathCount = 0;
    OpenedFilePtr file;
    std::list<int>::iterator open;  // its place among the open files, while open
};

// A chunk buffer; its capacity is reused for the next chunk.
struct Buffer {
    std::unique_ptr<char[]> data;
    qint64 capacity = 0;
};

class Checker {
public:
    Checker(const QList<ContentsFile>& files, const ContentsOptions& options,
            const std::atomic<bool>& stop, Counters& counters)
        : files_(files),
          options_(options),
          stop_(stop),
          counters_(counters),
          firstChunk_(std::min(FirstChunk, std::max<qint64>(options.maxChunk, 1))),
          openLimit_(options.maxOpenFiles > 0 ? options.maxOpenFiles : OpenFileLimit()) {}

    ContentsResults Run() {
        FindPaths();
        LookAtPaths();
        MakeUnits();
        CompareBySize();
        return Results();
    }

private:
    const QList<ContentsFile>& files_;
    const ContentsOptions& options_;
    const std::atomic<bool>& stop_;
    Counters& counters_;
    const qint64 firstChunk_;
    const int openLimit_;

    std::vector<int> entryPath_;  // by list entry
    std::vector<Path> paths_;
    std::vector<Unit> units_;
    std::vector<std::vector<int>> sets_;  // paths of each copy set
    std::list<int> open_;                 // units with an open file, least recently read first
    std::vector<Buffer> spare_;
    std::unordered_map<quint64, bool> local_;  // by device: OnLocalFileSystem()
    qint64 bytesRead_ = 0;

    bool Stopping() const { return stop_.load(std::memory_order_relaxed); }
    // Asked once per file system (by device).
    bool OnLocal(const Path& path) {
        const auto [at, added] = local_.try_emplace(path.look.id.device, false);
        if (added)
            at->second = OnLocalFileSystem(files_[path.firstEntry].path);
        return at->second;
    }
    const QString& PathText(int p) const { return files_[paths_[size_t(p)].firstEntry].path; }
    qint64 SizeOf(int u) const { return paths_[size_t(units_[size_t(u)].firstPath)].look.id.size; }

    void FindPaths() {
        entryPath_.resize(size_t(files_.size()));
        QHash<QString, int> byPath;
        byPath.reserve(files_.size());
        for (int i = 0; i < int(files_.size()); ++i) {
            auto at = byPath.find(files_[i].path);
            if (at == byPath.end()) {
                at = byPath.insert(files_[i].path, int(paths_.size()));
                paths_.push_back({});
                paths_.back().firstEntry = i;
            }
            entryPath_[size_t(i)] = at.value();
        }
        counters_.filesTotal = qint64(paths_.size());
    }

    // Whether an entry of the list still describes the file: a file changed since it was listed
    // is not what the row shows. A time without milliseconds was kept to the second.
    static bool Describes(const ContentsFile& entry, const Look& look) {
        if (entry.size >= 0 && entry.size != look.id.size)
            return false;
        if (!entry.modified.isValid())
            return true;
        const qint64 listed = entry.modified.toMSecsSinceEpoch();
        const qint64 ns = look.id.modifiedNs;
        const qint64 ms = ns / 1'000'000 - (ns % 1'000'000 < 0 ? 1 : 0);
        if (listed % 1000 != 0)
            return ms == listed;
        return ms - ((ms % 1000) + 1000) % 1000 == listed;
    }

    void LookAtPaths() {
        for (Path& path : paths_) {
            if (Stopping())
                return;
            path.look = LookAt(files_[path.firstEntry].path);
            switch (path.look.kind) {
                case Kind::File:
                    path.pending = true;
                    break;
                case Kind::NotAFile:
                    Settle(path, CopyState::NotCompared, NotComparedReason::NotAFile);
                    break;
                case Kind::Missing:
                    Settle(path, CopyState::NotCompared, NotComparedReason::Vanished);
                    break;
                case Kind::Unreadable:
                    Settle(path, CopyState::NotCompared, NotComparedReason::Unreadable);
                    break;
            }
        }
        for (size_t i = 0; i < entryPath_.size(); ++i) {
            Path& path = paths_[size_t(entryPath_[i])];
            if (path.pending && !Describes(files_[qsizetype(i)], path.look))
                Settle(path, CopyState::NotCompared, NotComparedReason::Changed);
        }
    }

    void Settle(Path& path, CopyState state, NotComparedReason reason) {
        path.pending = false;
        path.state = state;
        path.reason = reason;
        counters_.filesDone.fetch_add(1, std::memory_order_relaxed);
    }

    // Paths of one file become one unit; a name reached twice (a folder listed again through a
    // link) is the same file, not a copy: trashing "one of them" would trash both. Device and inode
    // join paths only where the drive's numbers are its own, and only when the paths look alike:
    // two different files are never one unit without a read.
    void MakeUnits() {
        QMultiHash<std::pair<quint64, quint64>, int> byId;
        QHash<QString, int> byName;
        for (int p = 0; p < int(paths_.size()); ++p) {
            Path& path = paths_[size_t(p)];
            if (!path.pending)
                continue;
            int u = int(units_.size());
            const FileIdentity& id = path.look.id;
            if (OnLocal(path)) {
                const auto key = std::pair{id.device, id.inode};
                for (auto at = byId.constFind(key); at != byId.cend() && at.key() == key; ++at) {
                    const Look& first = paths_[size_t(units_[size_t(*at)].firstPath)].look;
                    if (first.id == id && first.links == path.look.links) {
                        u = *at;
                        break;
                    }
                }
                if (u == int(units_.size()))
                    byId.insert(key, u);
            } else {
                const QString name = ResolvedName(PathText(p));
                const auto at = byName.constFind(name);
                if (at != byName.cend()) {
                    Settle(path, CopyState::NotCompared, NotComparedReason::SameFile);
                    continue;
                }
                byName.insert(name, u);
            }
            if (u == int(units_.size()))
                units_.emplace_back();
            Unit& unit = units_[size_t(u)];
            if (unit.firstPath < 0)
                unit.firstPath = p;
            else
                paths_[size_t(unit.lastPath)].nextInUnit = p;
            unit.lastPath = p;
            ++unit.pathCount;
            path.unit = u;
        }
        for (int u = 0; u < int(units_.size()); ++u) {
            if (units_[size_t(u)].pathCount > 1)
                KeepHardLinksOnly(u);
        }
    }

    // Of several paths of one file, those that resolve to one name are one path; and there are
    // never more names than the file has links.
    void KeepHardLinksOnly(int u) {
        Unit& unit = units_[size_t(u)];
        const quint64 links = paths_[size_t(unit.firstPath)].look.links;
        QSet<QString> names;
        int last = -1;
        int count = 0;
        for (int p = unit.firstPath; p >= 0;) {
            Path& path = paths_[size_t(p)];
            const int next = path.nextInUnit;
            path.nextInUnit = -1;
            const QString name = ResolvedName(PathText(p));
            const bool added = !names.contains(name) && quint64(count) < links;
            names.insert(name);
            if (added) {
                if (last >= 0)
                    paths_[size_t(last)].nextInUnit = p;
                last = p;
                ++count;
            }
            if (!added)
                Settle(path, CopyState::NotCompared, NotComparedReason::SameFile);
            p = next;
        }
        unit.lastPath = last;
        unit.pathCount = count;
    }

    void CompareBySize() {
        std::vector<int> order(units_.size());
        for (int u = 0; u < int(order.size()); ++u)
            order[size_t(u)] = u;
        // By size, then by file number: close on disk, mostly.
        std::sort(order.begin(), order.end(), [this](int a, int b) {
            const FileIdentity& x = paths_[size_t(units_[size_t(a)].firstPath)].look.id;
            const FileIdentity& y = paths_[size_t(units_[size_t(b)].firstPath)].look.id;
            return std::tie(x.size, x.device, x.inode, a) < std::tie(y.size, y.device, y.inode, b);
        });
        qint64 total = 0;
        for (size_t b = 0, e = 0; b < order.size(); b = e) {
            for (e = b + 1; e < order.size() && SizeOf(order[e]) == SizeOf(order[b]);)
                ++e;
            if (e - b > 1)
                total += SizeOf(order[b]) * qint64(e - b);
        }
        counters_.bytesTotal = total;
        size_t prefetched = 0;
        for (size_t b = 0, e = 0; b < order.size() && !Stopping(); b = e) {
            const qint64 size = SizeOf(order[b]);
            for (e = b + 1; e < order.size() && SizeOf(order[e]) == size;)
                ++e;
            // Files read one by one wait for the disk one by one: it is asked early for the first
            // chunks of the next few, so that it works on several at once.
            for (prefetched = std::max(prefetched, b);
                 prefetched < order.size() && prefetched < b + PrefetchAhead; ++prefetched) {
                const int u = order[prefetched];
                const qint64 bytes = SizeOf(u);
                const bool shared =
                    (prefetched > 0 && SizeOf(order[prefetched - 1]) == bytes) ||
                    (prefetched + 1 < order.size() && SizeOf(order[prefetched + 1]) == bytes);
                const Path& first = paths_[size_t(units_[size_t(u)].firstPath)];
                if (shared && bytes > 0 && OnLocal(first))
                    Prefetch(PathText(units_[size_t(u)].firstPath),
                             std::min(bytes, options_.maxChunk));
            }
            std::vector<int> group(order.begin() + qsizetype(b), order.begin() + qsizetype(e));
            if (group.size() == 1 || size == 0)
                Conclude(group, 0);
            else
                CompareGroup(std::move(group), size);
        }
        while (!open_.empty())
            Close(open_.front());
    }

    // Files of one size, read in step; a set splits where a chunk differs. Depth first: a set is
    // followed to its end before the next, so its files stay open.
    void CompareGroup(std::vector<int> group, qint64 size) {
        struct Step {
            std::vector<int> units;
            qint64 offset;
        };
        std::vector<Step> steps;
        steps.push_back({std::move(group), 0});
        while (!steps.empty() && !Stopping()) {
            Step step = std::move(steps.back());
            steps.pop_back();
            if (step.units.size() > 1)
                SkipCommonHole(step.units, step.offset, size);
            if (step.units.size() == 1 || step.offset == size) {
                Conclude(step.units, step.offset);
                continue;
            }
            const qint64 length = ChunkLength(step.offset, size, qsizetype(step.units.size()));
            std::vector<std::vector<int>> parts = Split(step.units, step.offset, length);
            for (auto part = parts.rbegin(); part != parts.rend(); ++part)
                steps.push_back({std::move(*part), step.offset + length});
        }
    }

    // Where every file of a part has a hole, all read zeros: the part moves past it unread.
    // A file that cannot be opened here is found out by the next read.
    void SkipCommonHole(const std::vector<int>& units, qint64& offset, qint64 size) {
        qint64 data = size;
        for (const int u : units) {
            if (!paths_[size_t(units_[size_t(u)].firstPath)].look.sparse)
                return;
            NotComparedReason reason;
            if (!units_[size_t(u)].file && !Open(u, reason))
                return;
            data = std::min(data, DataFrom(*units_[size_t(u)].file, offset));
            if (data <= offset)
                return;
        }
        counters_.bytesDone.fetch_add((data - offset) * qint64(units.size()),
                                      std::memory_order_relaxed);
        offset = data;
    }

    qint64 ChunkLength(qint64 offset, qint64 size, qsizetype files) const {
        qint64 length = std::clamp(offset, firstChunk_, std::max(options_.maxChunk, firstChunk_));
        // The chunks held at once stay within the budget.
        const qint64 share = options_.memoryBudget / files;
        if (share < length)
            length = std::max(firstChunk_, share);
        length = std::min(length, size - offset);
        // A short tail joins this read.
        if (size - offset - length < firstChunk_)
            length = size - offset;
        return length;
    }

    // The files' next chunks, sorted into parts of equal bytes. A file that cannot be read leaves.
    std::vector<std::vector<int>> Split(const std::vector<int>& units, qint64 offset,
                                        qint64 length) {
        struct Part {
            std::vector<int> units;
            Buffer chunk;  // the first file's chunk, when held
            size_t hash = 0;
        };
        std::vector<Part> parts;
        QMultiHash<size_t, int> byHash;
        const bool hashed = units.size() > 8;
        qint64 held = 0;
        Buffer chunk = TakeBuffer(length);
        Buffer other;
        for (const int u : units) {
            if (Stopping())
                break;
            NotComparedReason reason = NotComparedReason::Unreadable;
            if (!ReadChunk(u, offset, length, chunk.data.get(), reason)) {
                Fail(u, offset, reason);
                continue;
            }
            counters_.bytesDone.fetch_add(length, std::memory_order_relaxed);
            const size_t hash = hashed ? qHashBits(chunk.data.get(), size_t(length), 1) : 0;
            int found = -1;
            const auto same = [&](int k) {
                Part& part = parts[size_t(k)];
                if (part.hash != hash)
                    return false;
                const char* bytes = part.chunk.data.get();
                if (!bytes) {
                    // Over the budget: the chunk is read again to compare.
                    if (!other.data)
                        other = TakeBuffer(length);
                    // A first file that fails here is found out when its part goes on.
                    NotComparedReason ignored;
                    if (!ReadChunk(part.units.front(), offset, length, other.data.get(), ignored))
                        return false;
                    bytes = other.data.get();
                }
                return std::memcmp(bytes, chunk.data.get(), size_t(length)) == 0;
            };
            if (hashed) {
                for (auto at = byHash.constFind(hash); at != byHash.cend() && at.key() == hash;
                     ++at) {
                    if (same(*at)) {
                        found = *at;
                        break;
                    }
                }
            } else {
                for (int k = 0; k < int(parts.size()) && found < 0; ++k) {
                    if (same(k))
                        found = k;
                }
            }
            if (found >= 0) {
                parts[size_t(found)].units.push_back(u);
                continue;
            }
            Part part{{u}, {}, hash};
            if (parts.empty() || held + length <= options_.memoryBudget) {
                held += length;
                part.chunk = std::move(chunk);
                chunk = TakeBuffer(length);
            }
            byHash.insert(hash, int(parts.size()));
            parts.push_back(std::move(part));
        }
        std::vector<std::vector<int>> result;
        result.reserve(parts.size());
        for (Part& part : parts) {
            GiveBack(std::move(part.chunk));
            result.push_back(std::move(part.units));
        }
        GiveBack(std::move(chunk));
        GiveBack(std::move(other));
        return result;
    }

    Buffer TakeBuffer(qint64 length) {
        Buffer buffer;
        if (!spare_.empty()) {
            buffer = std::move(spare_.back());
            spare_.pop_back();
        }
        if (buffer.capacity < length) {
            buffer.data.reset(new char[size_t(length)]);
            buffer.capacity = length;
        }
        return buffer;
    }

    void GiveBack(Buffer buffer) {
        // A few for the next steps; the rest goes back to the system.
        if (buffer.data && spare_.size() < 4)
            spare_.push_back(std::move(buffer));
    }

    // Reads a file's chunk; on failure `reason` says why.
    bool ReadChunk(int u, qint64 offset, qint64 length, char* into, NotComparedReason& reason) {
        Unit& unit = units_[size_t(u)];
        if (unit.file)
            open_.splice(open_.end(), open_, unit.open);
        else if (!Open(u, reason))
            return false;
        if (!ReadAt(*unit.file, into, length, offset)) {
            // It ended early or the system could not read it.
            reason = StillSame(unit.file.get(), PathText(unit.firstPath),
                               paths_[size_t(unit.firstPath)].look)
                         ? NotComparedReason::Unreadable
                         : NotComparedReason::Changed;
            return false;
        }
        bytesRead_ += length;
        if (options_.afterRead)
            options_.afterRead(PathText(unit.firstPath), offset);
        return true;
    }

    bool Open(int u, NotComparedReason& reason) {
        Unit& unit = units_[size_t(u)];
        while (!open_.empty() && int(open_.size()) >= openLimit_)
            Close(open_.front());
        const QString& path = PathText(unit.firstPath);
        const Look& look = paths_[size_t(unit.firstPath)].look;
        bool tooMany = false;
        OpenedFilePtr file = OpenForReading(path, look, reason, tooMany);
        // Out of descriptors: the other files give theirs back.
        while (!file && tooMany && !open_.empty()) {
            Close(open_.front());
            file = OpenForReading(path, look, reason, tooMany);
        }
        if (!file)
            return false;
        unit.file = std::move(file);
        unit.open = open_.insert(open_.end(), u);
        return true;
    }

    void Close(int u) {
        Unit& unit = units_[size_t(u)];
        if (!unit.file)
            return;
        open_.erase(unit.open);
        unit.file.reset();
    }

    // A file that could not be opened or read to the end of its chunk at `offset`.
    void Fail(int u, qint64 offset, NotComparedReason reason) {
        Unit& unit = units_[size_t(u)];
        Close(u);
        counters_.bytesDone.fetch_add(SizeOf(u) - offset, std::memory_order_relaxed);
        for (int p = unit.firstPath; p >= 0; p = paths_[size_t(p)].nextInUnit)
            Settle(paths_[size_t(p)], CopyState::NotCompared, reason);
    }

    // The files of a part that is done: read to their end (identical), alone (no copy), or never
    // read (alone in their size, or empty). Whatever changed while it was read is not compared.
    void Conclude(const std::vector<int>& units, qint64 offset) {
        std::vector<int> same;
        for (const int u : units) {
            Unit& unit = units_[size_t(u)];
            const Look& look = paths_[size_t(unit.firstPath)].look;
            const bool read = offset > 0;
            if (read)
                counters_.bytesDone.fetch_add(SizeOf(u) - offset, std::memory_order_relaxed);
            for (int p = unit.firstPath; p >= 0; p = paths_[size_t(p)].nextInUnit) {
                // Every path of a file read must still name it, unchanged.
                const bool first = p == unit.firstPath;
                if (!read || StillSame(first ? unit.file.get() : nullptr, PathText(p), look))
                    same.push_back(p);
                else
                    Settle(paths_[size_t(p)], CopyState::NotCompared, NotComparedReason::Changed);
            }
            Close(u);
        }
        if (same.size() == 1) {
            Settle(paths_[size_t(same.front())], CopyState::NoCopy, NotComparedReason::None);
            return;
        }
        for (const int p : same) {
            paths_[size_t(p)].set = int(sets_.size());
            Settle(paths_[size_t(p)], CopyState::HasCopies, NotComparedReason::None);
        }
        if (!same.empty())
            sets_.push_back(std::move(same));
    }

    ContentsResults Results() {
        ContentsResults results;
        results.stopped = std::any_of(paths_.begin(), paths_.end(), [](const Path& path) {
            return path.reason == NotComparedReason::Stopped;
        });
        results.bytesRead = bytesRead_;
        // Sets numbered in the order of their first files in the list.
        std::vector<std::pair<int, int>> firsts;  // first entry, set
        for (int s = 0; s < int(sets_.size()); ++s) {
            int first = INT_MAX;
            for (const int p : sets_[size_t(s)])
                first = std::min(first, paths_[size_t(p)].firstEntry);
            firsts.emplace_back(first, s);
        }
        std::sort(firsts.begin(), firsts.end());
        std::vector<int> number(sets_.size());
        for (size_t k = 0; k < firsts.size(); ++k)
            number[size_t(firsts[k].second)] = int(k) + 1;
        results.copySets = int(sets_.size());
        results.files.resize(entryPath_.size());
        for (size_t i = 0; i < entryPath_.size(); ++i) {
            const Path& path = paths_[size_t(entryPath_[i])];
            ContentsResult& result = results.files[i];
            result.state = path.state;
            result.reason = path.reason;
            if (path.look.kind == Kind::File) {
                result.identity = path.look.id;
                result.links = path.look.links;
            }
            if (path.unit >= 0 && path.state != CopyState::NotCompared)
                result.file = path.unit + 1;
            if (path.set >= 0) {
                result.copySet = number[size_t(path.set)];
                result.otherCopies = int(sets_[size_t(path.set)].size()) - 1;
            }
        }
        return results;
    }
};

}  // namespace

// Shared by the check and its thread, which keeps it alive when it is left to end on its own.
class ContentsCheck::Worker {
public:
    QList<ContentsFile> files;
    ContentsOptions options;
    std::atomic<bool> stop{false};
    Counters counters;
    ContentsResults results;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;  // under the mutex
};

ContentsCheck::ContentsCheck(QList<ContentsFile> files, ContentsOptions options)
    : worker_(std::make_shared<Worker>()) {
    worker_->files = std::move(files);
    worker_->options = std::move(options);
}

ContentsCheck::~ContentsCheck() {
    RequestStop();
    // A read that a share does not answer can take for ever, and no signal ends it: the thread is
    // left to end on its own, with what it works on.
    if (!Wait(LeaveAfterMs))
        worker_->thread.detach();
}

void ContentsCheck::Start() {
    if (worker_->thread.joinable())
        return;
    worker_->thread = std::thread([worker = worker_] {
        ContentsResults results =
            Checker(worker->files, worker->options, worker->stop, worker->counters).Run();
        const std::lock_guard lock(worker->mutex);
        worker->results = std::move(results);
        worker->finished = true;
        worker->ended.notify_all();
    });
}

void ContentsCheck::RequestStop() {
    worker_->stop = true;
}

void ContentsCheck::Stop() {
    RequestStop();
    Wait();
}

bool ContentsCheck::Wait(int msecs) {
    Worker& worker = *worker_;
    if (!worker.thread.joinable())
        return true;
    std::unique_lock lock(worker.mutex);
    const auto finished = [&worker] { return worker.finished; };
    if (msecs < 0)
        worker.ended.wait(lock, finished);
    else if (!worker.ended.wait_for(lock, std::chrono::milliseconds(msecs), finished))
        return false;
    lock.unlock();
    worker.thread.join();
    return true;
}

bool ContentsCheck::IsFinished() const {
    const std::lock_guard lock(worker_->mutex);
    return !worker_->thread.joinable() || worker_->finished;
}

ContentsProgress ContentsCheck::Progress() const {
    const Counters& c = worker_->counters;
    return {c.filesDone.load(), c.filesTotal.load(), c.bytesDone.load(), c.bytesTotal.load()};
}

const ContentsResults& ContentsCheck::Results() const {
    return worker_->results;
}

ContentsResults CheckContents(QList<ContentsFile> files, ContentsOptions options) {
    const std::atomic<bool> stop{false};
    Counters counters;
    return Checker(files, options, stop, counters).Run();
}

}  // namespace tallyrook
