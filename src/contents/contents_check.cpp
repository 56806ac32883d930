#include "contents/contents_check.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <list>
#include <mutex>
#include <span>
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
// Reads in a row that a disk's cache answered, after which its files are no longer asked ahead:
// the hint would cost an open for nothing.
constexpr int WarmAfter = 64;
// How long a check that was asked to stop is waited for as it goes.
constexpr int LeaveAfterMs = 250;
// Readers at once, where the disk takes several: every core, and at least a few reads in flight
// for a share or an SSD; few enough that their chunks and descriptors stay small.
constexpr int FewestReaders = 4;
constexpr int MostReaders = 8;

struct Counters {
    std::atomic<qint64> filesDone{0}, filesTotal{0}, bytesDone{0}, bytesTotal{0};
};

// An entry of the list, by its path, beside its result, which holds its look (identity and
// links) and its verdict. An entry that repeats an earlier one's path is an alias of it: looked
// at, but neither read nor counted.
struct Path {
    int nextInUnit = -1;  // the next path of the same file
    int unit = -1;        // the file it is read as
    int set = -1;
    Kind kind = Kind::Unreadable;
    bool sparse = false;
    bool pending = false;  // a file to compare, no verdict yet
};

// A file to read: the paths that name it (hard links) share its reads.
struct Unit {
    int firstPath = -1;
    int lastPath = -1;
    int pathCount = 0;
};

// A chunk buffer; its capacity is reused for the next chunk.
struct Buffer {
    std::unique_ptr<char[]> data;
    qint64 capacity = 0;
};

// The files of one size that are read: a range of the reading order.
struct Group {
    size_t begin = 0;
    size_t end = 0;
    int disk = -1;  // read in the order of its files' places on this disk; -1: as they come
    qint64 place = 0;
};

// A plain list of files.
class ListFiles : public ContentsSource {
public:
    explicit ListFiles(QList<ContentsFile> files) : files_(std::move(files)) {}
    qsizetype Count() const override { return files_.size(); }
    ContentsFile At(qsizetype entry) const override { return files_.at(entry); }

private:
    QList<ContentsFile> files_;
};

class Checker {
public:
    Checker(const ContentsSource& files, const ContentsOptions& options,
            const std::atomic<bool>& stop, Counters& counters)
        : files_(files),
          options_(options),
          stop_(stop),
          counters_(counters),
          firstChunk_(std::min(FirstChunk, std::max<qint64>(options.maxChunk, 1))),
          openLimit_(options.maxOpenFiles > 0 ? options.maxOpenFiles : OpenFileLimit()),
          readers_(ReaderCount(options, openLimit_)) {}

    ContentsResults Run() {
        paths_.resize(size_t(files_.Count()));
        found_.resize(paths_.size());
        counters_.filesTotal = qint64(paths_.size());
        LookAtPaths();
        MakeUnits();
        PlanReading();
        ReadGroups();
        return Results();
    }

private:
    class Reader;

    const ContentsSource& files_;
    const ContentsOptions& options_;
    const std::atomic<bool>& stop_;
    Counters& counters_;
    const qint64 firstChunk_;
    const int openLimit_;
    const int readers_;

    std::vector<Path> paths_;               // by list entry
    std::vector<ContentsResult> found_;     // by list entry: what is given back
    std::unordered_map<int, int> aliasOf_;  // entry: the earlier entry of the same path
    QHash<QString, QString> resolvedFolders_;
    std::vector<Unit> units_;
    std::unordered_map<quint64, bool> local_;  // by device: OnLocalFileSystem()
    std::unordered_map<quint64, int> disks_;   // by device: its disk's lock, -1 for none
    std::deque<std::mutex> diskLocks_;         // one reader at a time waits for each disk
    std::vector<int> sequence_;                // the files to read, group after group
    std::vector<Group> groups_;
    std::mutex turns_;       // the next group and the read-ahead, below
    size_t nextGroup_ = 0;   // under turns_
    size_t prefetched_ = 0;  // under turns_: files of the sequence the disk was asked for
    std::mutex setsMutex_;   // sets_, and the paths' set numbers
    std::vector<std::vector<int>> sets_;  // paths of each copy set
    std::atomic<qint64> held_{0};         // bytes of chunks held beyond each comparison's first
    std::atomic<qint64> bytesRead_{0};
    std::atomic<int> cachedReads_{0};  // in a row, on the disks read one reader at a time

    static int ReaderCount(const ContentsOptions& options, int openLimit) {
        const int wanted =
            options.readers > 0
                ? options.readers
                : std::clamp(int(std::thread::hardware_concurrency()), FewestReaders, MostReaders);
        // Each keeps two files open at least.
        return std::max(1, std::min({wanted, MostReaders, openLimit / 2}));
    }

    bool Stopping() const { return stop_.load(std::memory_order_relaxed); }
    // Asked once per file system (by device).
    bool OnLocal(int p) {
        const auto [at, added] = local_.try_emplace(found_[size_t(p)].identity.device, false);
        if (added)
            at->second = OnLocalFileSystem(PathText(p));
        return at->second;
    }
    // The same for the readers, which only look: every device was asked before they began.
    bool WasLocal(int p) const {
        const auto at = local_.find(found_[size_t(p)].identity.device);
        return at != local_.end() && at->second;
    }
    QString PathText(int p) const { return files_.At(p).path; }
    // The look at entry `p`, as taken.
    Look LookOf(int p) const {
        const ContentsResult& result = found_[size_t(p)];
        const Path& path = paths_[size_t(p)];
        Look look;
        look.id = result.identity;
        look.links = result.links;
        look.kind = path.kind;
        look.sparse = path.sparse;
        return look;
    }
    const FileIdentity& IdOf(int u) const {
        return found_[size_t(units_[size_t(u)].firstPath)].identity;
    }
    qint64 SizeOf(int u) const { return IdOf(u).size; }
    int DiskOf(int u) const {
        const auto at = disks_.find(IdOf(u).device);
        return at == disks_.end() ? -1 : at->second;
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

    // On all readers: on a share each look waits for its answer.
    void LookAtPaths() {
        constexpr size_t Block = 256;
        std::atomic<size_t> next{0};
        OnReaders(
            [&] {
                for (size_t b = 0; (b = next.fetch_add(Block)) < paths_.size() && !Stopping();) {
                    for (size_t p = b; p < std::min(b + Block, paths_.size()); ++p)
                        LookAtPath(int(p));
                }
            },
            (paths_.size() + Block - 1) / Block);
    }

    void LookAtPath(int p) {
        Path& path = paths_[size_t(p)];
        const ContentsFile entry = files_.At(p);
        const Look look = LookAt(entry.path);
        path.kind = look.kind;
        path.sparse = look.sparse;
        found_[size_t(p)].identity = look.id;
        found_[size_t(p)].links = look.links;
        switch (look.kind) {
            case Kind::File:
                path.pending = true;
                if (!Describes(entry, look))
                    Settle(path, CopyState::NotCompared, NotComparedReason::Changed);
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

    // Runs `work` on every reader, this thread among them, and waits for all.
    template <typename Work>
    void OnReaders(const Work& work, size_t most = SIZE_MAX) {
        std::vector<std::thread> others;
        for (int k = 1; k < readers_ && size_t(k) < most; ++k)
            others.emplace_back([&work] { work(); });
        work();
        for (std::thread& other : others)
            other.join();
    }

    void Settle(Path& path, CopyState state, NotComparedReason reason) {
        path.pending = false;
        ContentsResult& result = found_[size_t(&path - paths_.data())];
        result.state = state;
        result.reason = reason;
        counters_.filesDone.fetch_add(1, std::memory_order_relaxed);
    }

    // Paths of one file become one unit; a name reached twice (a folder listed again through a
    // link) is the same file, not a copy: trashing "one of them" would trash both. Device and inode
    // join paths only where the drive's numbers are its own, and only when the paths look alike:
    // two different files are never one unit without a read. Only paths of one size on one drive
    // can name one file, so they are joined run by run, with nothing kept of every path.
    void MakeUnits() {
        if (Stopping())
            return;
        std::vector<int> order;
        for (int p = 0; p < int(paths_.size()); ++p) {
            if (paths_[size_t(p)].pending)
                order.push_back(p);
        }
        const auto key = [this](int p) {
            const FileIdentity& id = found_[size_t(p)].identity;
            return std::tie(id.size, id.device, id.inode);
        };
        std::sort(order.begin(), order.end(), [&key](int a, int b) {
            return std::tuple_cat(key(a), std::tie(a)) < std::tuple_cat(key(b), std::tie(b));
        });
        const auto sizeAndDevice = [&key](int p) {
            const auto [size, device, inode] = key(p);
            return std::pair{size, device};
        };
        for (size_t b = 0, e = 0; b < order.size(); b = e) {
            for (e = b + 1; e < order.size() && sizeAndDevice(order[e]) == sizeAndDevice(order[b]);)
                ++e;
            const std::span<const int> run(order.data() + b, e - b);
            if (OnLocal(run.front()))
                JoinByFileNumber(run);
            else
                JoinByName(run);
        }
        NumberUnits();
        for (int u = 0; u < int(units_.size()); ++u) {
            if (units_[size_t(u)].pathCount > 1)
                KeepHardLinksOnly(u);
        }
    }

    // Paths of one size on a drive whose file numbers are its own, by number: those with one
    // number and the same look are one file.
    void JoinByFileNumber(std::span<const int> run) {
        for (size_t b = 0, e = 0; b < run.size(); b = e) {
            const quint64 inode = found_[size_t(run[b])].identity.inode;
            for (e = b + 1; e < run.size() && found_[size_t(run[e])].identity.inode == inode;)
                ++e;
            const size_t firstUnit = units_.size();
            QHash<QString, int> texts;
            for (const int p : run.subspan(b, e - b)) {
                if (e - b > 1 && IsRepeat(p, PathText(p), texts))
                    continue;
                const ContentsResult& look = found_[size_t(p)];
                size_t u = firstUnit;
                while (u < units_.size() &&
                       !(IdOf(int(u)) == look.identity &&
                         found_[size_t(units_[u].firstPath)].links == look.links))
                    ++u;
                AddToUnit(p, int(u));
            }
        }
    }

    // Paths of one size on a server's drive, whose numbers may be another disk's: they are one
    // file only where they are one name.
    void JoinByName(std::span<const int> run) {
        std::vector<int> byEntry(run.begin(), run.end());
        std::sort(byEntry.begin(), byEntry.end());
        QHash<QString, int> texts;
        QSet<QString> names;
        for (const int p : byEntry) {
            if (byEntry.size() > 1) {
                const QString text = PathText(p);
                if (IsRepeat(p, text, texts))
                    continue;
                const QString name = ResolvedName(text);
                if (names.contains(name)) {
                    Settle(paths_[size_t(p)], CopyState::NotCompared, NotComparedReason::SameFile);
                    continue;
                }
                names.insert(name);
            }
            AddToUnit(p, int(units_.size()));
        }
    }

    // Whether `text`, the path of entry `p`, is one an earlier entry of `texts` has: it then stands
    // for that one.
    bool IsRepeat(int p, const QString& text, QHash<QString, int>& texts) {
        const auto at = texts.constFind(text);
        if (at == texts.cend()) {
            texts.insert(text, p);
            return false;
        }
        paths_[size_t(p)].pending = false;
        found_[size_t(p)].reason = NotComparedReason::None;  // its results are its first entry's
        aliasOf_[p] = at.value();
        counters_.filesTotal.fetch_sub(1, std::memory_order_relaxed);
        return true;
    }

    void AddToUnit(int p, int u) {
        if (u == int(units_.size()))
            units_.emplace_back();
        Unit& unit = units_[size_t(u)];
        if (unit.firstPath < 0)
            unit.firstPath = p;
        else
            paths_[size_t(unit.lastPath)].nextInUnit = p;
        unit.lastPath = p;
        ++unit.pathCount;
        paths_[size_t(p)].unit = u;
    }

    // Files numbered in the order of their first paths in the list.
    void NumberUnits() {
        std::sort(units_.begin(), units_.end(),
                  [](const Unit& a, const Unit& b) { return a.firstPath < b.firstPath; });
        for (int u = 0; u < int(units_.size()); ++u) {
            for (int p = units_[size_t(u)].firstPath; p >= 0; p = paths_[size_t(p)].nextInUnit)
                paths_[size_t(p)].unit = u;
        }
    }

    // The path with its folder resolved (links and ".."), each folder once: on a share every
    // resolution costs a round trip for each folder of the path.
    QString ResolvedName(const QString& path) {
        const qsizetype slash = path.lastIndexOf(u'/');
        const QString folder = slash < 0    ? QStringLiteral(".")
                               : slash == 0 ? QStringLiteral("/")
                                            : path.left(slash);
        auto at = resolvedFolders_.find(folder);
        if (at == resolvedFolders_.end())
            at = resolvedFolders_.insert(folder, ResolvedFolder(folder));
        return at->isEmpty() ? path : *at + u'/' + path.mid(slash + 1);
    }

    // Of several paths of one file, those that resolve to one name are one path; and there are
    // never more names than the file has links.
    void KeepHardLinksOnly(int u) {
        Unit& unit = units_[size_t(u)];
        const quint64 links = found_[size_t(unit.firstPath)].links;
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

    // The files to read, sorted into groups of one size. A file alone in its size, and an empty
    // one, needs no read. On a rotating disk, and for one reader, the groups go in the order of
    // their first files' places on the disk where its file system can tell, else of their file
    // numbers (which most file systems hand out in the order they place files); a group's files
    // go by file number.
    void PlanReading() {
        // Until every file was looked at, no file is known to be alone in its size.
        if (Stopping())
            return;
        std::vector<int> order(units_.size());
        for (int u = 0; u < int(order.size()); ++u)
            order[size_t(u)] = u;
        std::sort(order.begin(), order.end(), [this](int a, int b) {
            const FileIdentity& x = IdOf(a);
            const FileIdentity& y = IdOf(b);
            return std::tie(x.size, x.device, x.inode, a) < std::tie(y.size, y.device, y.inode, b);
        });
        qint64 total = 0;
        for (size_t b = 0, e = 0; b < order.size(); b = e) {
            const qint64 size = SizeOf(order[b]);
            for (e = b + 1; e < order.size() && SizeOf(order[e]) == size;)
                ++e;
            if (e - b == 1 || size == 0) {
                Conclude(
                    std::vector<int>(order.begin() + qsizetype(b), order.begin() + qsizetype(e)), 0,
                    nullptr);
                continue;
            }
            total += size * qint64(e - b);
            groups_.push_back({b, e, -1, qint64(IdOf(order[b]).inode)});
        }
        counters_.bytesTotal = total;
        std::vector<bool> placed;  // by disk: every group's place was told
        for (Group& group : groups_) {
            for (size_t k = group.begin; k < group.end; ++k) {
                const auto [at, added] = disks_.try_emplace(IdOf(order[k]).device, -1);
                if (added && (readers_ == 1 || OnRotatingDisk(at->first))) {
                    at->second = int(diskLocks_.size());
                    diskLocks_.emplace_back();
                    placed.push_back(true);
                }
            }
            group.disk = DiskOf(order[group.begin]);
            if (group.disk >= 0 && placed[size_t(group.disk)] && !Stopping()) {
                const qint64 place = PlaceOf(order[group.begin]);
                if (place < 0)
                    placed[size_t(group.disk)] = false;
                else
                    group.place = place;
            }
        }
        for (Group& group : groups_) {
            if (group.disk >= 0 && !placed[size_t(group.disk)])
                group.place = qint64(IdOf(order[group.begin]).inode);
        }
        std::sort(groups_.begin(), groups_.end(), [](const Group& a, const Group& b) {
            return std::tie(a.disk, a.place, a.begin) < std::tie(b.disk, b.place, b.begin);
        });
        sequence_.reserve(order.size());
        for (Group& group : groups_) {
            const size_t begin = sequence_.size();
            sequence_.insert(sequence_.end(), order.begin() + qsizetype(group.begin),
                             order.begin() + qsizetype(group.end));
            group.begin = begin;
            group.end = sequence_.size();
        }
    }

    qint64 PlaceOf(int u) { return PhysicalOffset(PathText(units_[size_t(u)].firstPath)); }

    // The groups, each compared by one reader; the readers take them in turn.
    void ReadGroups() {
        OnReaders([this] { ReadTurns(); }, groups_.size());
    }

    void ReadTurns();

    // The next group to compare, null when none is left or the check stops; `ahead` the files
    // to ask the disk for.
    const Group* NextGroup(std::vector<int>& ahead) {
        ahead.clear();
        const std::lock_guard lock(turns_);
        if (nextGroup_ == groups_.size() || Stopping())
            return nullptr;
        const Group& group = groups_[nextGroup_++];
        for (prefetched_ = std::max(prefetched_, group.begin);
             prefetched_ < sequence_.size() && prefetched_ < group.begin + PrefetchAhead;
             ++prefetched_)
            ahead.push_back(sequence_[prefetched_]);
        return &group;
    }

    // Reads a chunk of a file. On a disk that serves one reader best only the bytes it must fetch
    // wait for it, one reader at a time; those the system holds in memory are read by all at once.
    bool ReadBytes(int u, OpenedFile& file, char* into, qint64 length, qint64 offset) {
        const int disk = DiskOf(u);
        if (disk < 0 || readers_ == 1)
            return ReadAt(file, into, length, offset);
        const qint64 cached = ReadCachedAt(file, into, length, offset);
        if (cached == length) {
            cachedReads_.fetch_add(1, std::memory_order_relaxed);
            return true;
        }
        cachedReads_.store(0, std::memory_order_relaxed);
        const std::lock_guard lock(diskLocks_[size_t(disk)]);
        return ReadAt(file, into + cached, length - cached, offset + cached);
    }

    // Whether `length` more bytes of chunks may be held, within the budget of all readers.
    bool Hold(qint64 length) {
        qint64 held = held_.load(std::memory_order_relaxed);
        do {
            if (held + length > options_.memoryBudget)
                return false;
        } while (!held_.compare_exchange_weak(held, held + length, std::memory_order_relaxed));
        return true;
    }

    // The files of a part that is done: read to their end (identical), alone (no copy), or never
    // read (alone in their size, or empty). Whatever changed while it was read is not compared.
    // `reader` holds the files that were read.
    void Conclude(const std::vector<int>& units, qint64 offset, Reader* reader);

    // The results as the entries hold them, completed in place.
    ContentsResults Results() {
        ContentsResults results;
        results.stopped = std::any_of(found_.begin(), found_.end(), [](const ContentsResult& r) {
            return r.reason == NotComparedReason::Stopped;
        });
        results.bytesRead = bytesRead_;
        const std::vector<int> number = SetNumbers();
        results.copySets = int(sets_.size());
        for (size_t i = 0; i < paths_.size(); ++i) {
            const Path& path = paths_[i];
            ContentsResult& result = found_[i];
            if (path.kind != Kind::File) {
                result.identity = {};
                result.links = 0;
            }
            if (path.unit >= 0 && result.state != CopyState::NotCompared)
                result.file = path.unit + 1;
            if (path.set >= 0) {
                result.copySet = number[size_t(path.set)];
                result.otherCopies = int(sets_[size_t(path.set)].size()) - 1;
            }
        }
        for (const auto& [entry, of] : aliasOf_)
            found_[size_t(entry)] = found_[size_t(of)];
        results.files = std::move(found_);
        return results;
    }

    // Sets numbered in the order of their first files in the list, an alias's entry among them.
    std::vector<int> SetNumbers() const {
        std::vector<int> firstOfSet(sets_.size(), INT_MAX);
        for (int s = 0; s < int(sets_.size()); ++s) {
            for (const int p : sets_[size_t(s)])
                firstOfSet[size_t(s)] = std::min(firstOfSet[size_t(s)], p);
        }
        for (const auto& [entry, of] : aliasOf_) {
            if (const int s = paths_[size_t(of)].set; s >= 0)
                firstOfSet[size_t(s)] = std::min(firstOfSet[size_t(s)], entry);
        }
        std::vector<std::pair<int, int>> firsts;  // first entry, set
        firsts.reserve(sets_.size());
        for (int s = 0; s < int(sets_.size()); ++s)
            firsts.emplace_back(firstOfSet[size_t(s)], s);
        std::sort(firsts.begin(), firsts.end());
        std::vector<int> number(sets_.size());
        for (size_t k = 0; k < firsts.size(); ++k)
            number[size_t(firsts[k].second)] = int(k) + 1;
        return number;
    }
};

// Compares groups, one at a time, with files and chunk buffers of its own.
class Checker::Reader {
public:
    Reader(Checker& checker, int openLimit) : c_(checker), openLimit_(openLimit) {}
    ~Reader() {
        while (!open_.empty())
            Close(open_.front());
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Files of one size, read in step; a set splits where a chunk differs. Depth first: a set is
    // followed to its end before the next, so its files stay open.
    void Compare(const Group& group) {
        std::vector<int> units(c_.sequence_.begin() + qsizetype(group.begin),
                               c_.sequence_.begin() + qsizetype(group.end));
        const qint64 size = c_.SizeOf(units.front());
        struct Step {
            std::vector<int> units;
            qint64 offset;
        };
        std::vector<Step> steps;
        steps.push_back({std::move(units), 0});
        while (!steps.empty() && !c_.Stopping()) {
            Step step = std::move(steps.back());
            steps.pop_back();
            if (step.units.size() > 1)
                SkipCommonHole(step.units, step.offset, size);
            if (step.units.size() == 1 || step.offset == size) {
                c_.Conclude(step.units, step.offset, this);
                continue;
            }
            const qint64 length = ChunkLength(step.offset, size, qsizetype(step.units.size()));
            std::vector<std::vector<int>> parts = Split(step.units, step.offset, length);
            for (auto part = parts.rbegin(); part != parts.rend(); ++part)
                steps.push_back({std::move(*part), step.offset + length});
        }
        // Stopped: what is open goes back.
        while (!open_.empty())
            Close(open_.front());
    }

    OpenedFile* FileOf(int u) {
        const auto at = files_.find(u);
        return at == files_.end() ? nullptr : at->second.file.get();
    }

    void Close(int u) {
        const auto at = files_.find(u);
        if (at == files_.end())
            return;
        open_.erase(at->second.open);
        files_.erase(at);
    }

private:
    struct Opened {
        OpenedFilePtr file;
        std::list<int>::iterator open;  // its place among the open files
    };

    Checker& c_;
    const int openLimit_;
    std::list<int> open_;  // files open, least recently read first
    std::unordered_map<int, Opened> files_;
    std::vector<Buffer> spare_;

    // Where every file of a part has a hole, all read zeros: the part moves past it unread.
    // A file that cannot be opened here is found out by the next read.
    void SkipCommonHole(const std::vector<int>& units, qint64& offset, qint64 size) {
        qint64 data = size;
        for (const int u : units) {
            if (!c_.paths_[size_t(c_.units_[size_t(u)].firstPath)].sparse)
                return;
            NotComparedReason reason;
            if (!FileOf(u) && !Open(u, reason))
                return;
            data = std::min(data, DataFrom(*FileOf(u), offset));
            if (data <= offset)
                return;
        }
        c_.counters_.bytesDone.fetch_add((data - offset) * qint64(units.size()),
                                         std::memory_order_relaxed);
        offset = data;
    }

    qint64 ChunkLength(qint64 offset, qint64 size, qsizetype files) const {
        const ContentsOptions& options = c_.options_;
        qint64 length =
            std::clamp(offset, c_.firstChunk_, std::max(options.maxChunk, c_.firstChunk_));
        // The chunks held at once stay within the budget.
        const qint64 share = options.memoryBudget / files;
        if (share < length)
            length = std::max(c_.firstChunk_, share);
        length = std::min(length, size - offset);
        // A short tail joins this read.
        if (size - offset - length < c_.firstChunk_)
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
        qint64 held = 0;  // of the budget, by this comparison
        Buffer chunk = TakeBuffer(length);
        Buffer other;
        for (const int u : units) {
            if (c_.Stopping())
                break;
            NotComparedReason reason = NotComparedReason::Unreadable;
            if (!ReadChunk(u, offset, length, chunk.data.get(), reason)) {
                Fail(u, offset, reason);
                continue;
            }
            c_.counters_.bytesDone.fetch_add(length, std::memory_order_relaxed);
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
            // The first part's chunk is always held; the others' while the budget allows.
            const bool kept = parts.empty() || c_.Hold(length);
            if (kept) {
                held += parts.empty() ? 0 : length;
                part.chunk = std::move(chunk);
                chunk = TakeBuffer(length);
            }
            byHash.insert(hash, int(parts.size()));
            parts.push_back(std::move(part));
        }
        c_.held_.fetch_sub(held, std::memory_order_relaxed);
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
        const auto at = files_.find(u);
        if (at != files_.end())
            open_.splice(open_.end(), open_, at->second.open);
        else if (!Open(u, reason))
            return false;
        OpenedFile& file = *FileOf(u);
        const int first = c_.units_[size_t(u)].firstPath;
        if (!c_.ReadBytes(u, file, into, length, offset)) {
            // It ended early or the system could not read it.
            reason = StillSame(&file, c_.PathText(first), c_.LookOf(first))
                         ? NotComparedReason::Unreadable
                         : NotComparedReason::Changed;
            return false;
        }
        c_.bytesRead_.fetch_add(length, std::memory_order_relaxed);
        if (c_.options_.afterRead)
            c_.options_.afterRead(c_.PathText(first), offset);
        return true;
    }

    bool Open(int u, NotComparedReason& reason) {
        while (!open_.empty() && int(open_.size()) >= openLimit_)
            Close(open_.front());
        const int first = c_.units_[size_t(u)].firstPath;
        const QString& path = c_.PathText(first);
        const Look look = c_.LookOf(first);
        bool tooMany = false;
        OpenedFilePtr file = OpenForReading(path, look, reason, tooMany);
        // Out of descriptors: the other files give theirs back.
        while (!file && tooMany && !open_.empty()) {
            Close(open_.front());
            file = OpenForReading(path, look, reason, tooMany);
        }
        if (!file)
            return false;
        files_[u] = {std::move(file), open_.insert(open_.end(), u)};
        return true;
    }

    // A file that could not be opened or read to the end of its chunk at `offset`.
    void Fail(int u, qint64 offset, NotComparedReason reason) {
        Close(u);
        c_.counters_.bytesDone.fetch_add(c_.SizeOf(u) - offset, std::memory_order_relaxed);
        for (int p = c_.units_[size_t(u)].firstPath; p >= 0; p = c_.paths_[size_t(p)].nextInUnit)
            c_.Settle(c_.paths_[size_t(p)], CopyState::NotCompared, reason);
    }
};

void Checker::ReadTurns() {
    Reader reader(*this, std::max(1, openLimit_ / readers_));
    std::vector<int> ahead;
    while (const Group* group = NextGroup(ahead)) {
        // Files read one by one wait for the disk one by one: a disk read by one reader at a time
        // is asked early for the first chunks of the next few, so that it works on several at
        // once. Elsewhere the readers keep it busy, and where its cache answers there is no need.
        if (cachedReads_.load(std::memory_order_relaxed) >= WarmAfter)
            ahead.clear();
        for (const int u : ahead) {
            const int p = units_[size_t(u)].firstPath;
            if (DiskOf(u) >= 0 && WasLocal(p))
                Prefetch(PathText(p), std::min(SizeOf(u), options_.maxChunk));
        }
        reader.Compare(*group);
    }
}

void Checker::Conclude(const std::vector<int>& units, qint64 offset, Reader* reader) {
    std::vector<int> same;
    for (const int u : units) {
        const Unit& unit = units_[size_t(u)];
        const Look look = LookOf(unit.firstPath);
        const bool read = offset > 0;
        if (read)
            counters_.bytesDone.fetch_add(SizeOf(u) - offset, std::memory_order_relaxed);
        for (int p = unit.firstPath; p >= 0; p = paths_[size_t(p)].nextInUnit) {
            // Every path of a file read must still name it, unchanged.
            OpenedFile* file = p == unit.firstPath && reader ? reader->FileOf(u) : nullptr;
            if (!read || StillSame(file, PathText(p), look))
                same.push_back(p);
            else
                Settle(paths_[size_t(p)], CopyState::NotCompared, NotComparedReason::Changed);
        }
        if (reader)
            reader->Close(u);
    }
    if (same.size() == 1) {
        Settle(paths_[size_t(same.front())], CopyState::NoCopy, NotComparedReason::None);
        return;
    }
    if (same.empty())
        return;
    for (const int p : same)
        Settle(paths_[size_t(p)], CopyState::HasCopies, NotComparedReason::None);
    // Numbered in list order at the end, whichever reader got here first.
    const std::lock_guard lock(setsMutex_);
    for (const int p : same)
        paths_[size_t(p)].set = int(sets_.size());
    sets_.push_back(std::move(same));
}

}  // namespace

// Shared by the check and its thread, which keeps it alive when it is left to end on its own.
class ContentsCheck::Worker {
public:
    std::shared_ptr<const ContentsSource> files;
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
    : ContentsCheck(std::make_shared<ListFiles>(std::move(files)), std::move(options)) {}

ContentsCheck::ContentsCheck(std::shared_ptr<const ContentsSource> files, ContentsOptions options)
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
            Checker(*worker->files, worker->options, worker->stop, worker->counters).Run();
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

ContentsResults ContentsCheck::TakeResults() {
    return std::move(worker_->results);
}

ContentsResults CheckContents(const QList<ContentsFile>& files, const ContentsOptions& options) {
    const std::atomic<bool> stop{false};
    Counters counters;
    return Checker(ListFiles(files), options, stop, counters).Run();
}

}  // namespace tallyrook
