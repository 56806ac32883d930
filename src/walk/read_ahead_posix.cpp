// The read-ahead's workers, with the POSIX descriptor calls: each folder opened relative to its
// parent without following a link, as the walk opens it.
#include "walk/read_ahead.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

#include "shared/global.h"

namespace tallyrook::walk_detail {

namespace {

std::atomic<int> runningWorkers{0};

bool OutOfDescriptors(int error) {
    return error == EMFILE || error == ENFILE;
}

}  // namespace

EntryKind KindOf(int fd, const dirent& entry) {
    const char* name = entry.d_name;
    if (name[0] == '.')
        return EntryKind::Other;
    unsigned char type = entry.d_type;
    if (type == DT_UNKNOWN) {
        // Some file systems leave the type out of the listing.
        struct stat info;
        if (::fstatat(fd, name, &info, AT_SYMLINK_NOFOLLOW) == 0)
            type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : 0;
    }
    return type == DT_DIR ? EntryKind::Folder : type == DT_REG ? EntryKind::File : EntryKind::Other;
}

qint64 SizeAt(int fd, const char* name) {
    struct stat info;
    if (fd < 0 || ::fstatat(fd, name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
        return FileInventory::NoSize;
    return qint64(info.st_size);
}

struct ReadAhead::Folder {
    // Pending: known, not yet opened. Reading: a worker's. Ready: read, waiting for the walk.
    // Taken: the walk's, or dropped. Declined: left to the walk to open itself.
    enum class State { Pending, Reading, Ready, Taken, Declined };

    FolderRef parent;
    QByteArray name;
    std::vector<quint32> key;  // position in the walk's order: depth-first pre-order
    // The rest is guarded by Shared::mutex, but for `listing` while a worker reads it.
    State state = State::Pending;
    bool wanted = false;              // the walk waits for it: read it even when the window is full
    int fd = -1;                      // open while subfolders are left to open through it
    int toOpen = 0;                   // its subfolders not yet taken by a worker
    int users = 0;                    // workers opening a subfolder through fd
    qsizetype bytes = 0;              // held in the window
    std::vector<FolderRef> children;  // those the walk has not entered yet
    size_t nextChild = 0;
    std::atomic<bool> dropped{false};
    std::unique_ptr<Listing> listing;
};

namespace {

struct ByKey {
    bool operator()(const ReadAhead::FolderRef& a, const ReadAhead::FolderRef& b) const;
};

}  // namespace

struct ReadAhead::Shared {
    Shared(const ReadAheadLimits& given, bool sizes) : limits(given), readSizes(sizes) {}

    const ReadAheadLimits limits;
    const bool readSizes;
    std::mutex mutex;
    std::condition_variable work;  // to the workers: something to read, or stop
    std::condition_variable read;  // to the walk: a folder was read
    std::set<FolderRef, ByKey> pending;
    std::deque<std::shared_ptr<Sizes>> sizeJobs;
    std::vector<FolderRef> roots;
    int held = 0;  // folders read or being read, not yet taken
    qsizetype heldBytes = 0;
    int open = 0;  // descriptors of folders
    bool started = false;
    std::atomic<bool> stop{false};

    bool CanTake() const {
        if (pending.empty() || open >= limits.descriptors)
            return false;
        const Folder& next = **pending.begin();
        return next.parent->fd >= 0 &&
               (next.wanted || (held < limits.folders && heldBytes < limits.bytes));
    }

    void AddChildren(const FolderRef& folder, std::vector<QByteArray> names) {
        folder->toOpen = int(names.size());
        for (size_t i = 0; i < names.size(); ++i) {
            auto child = std::make_shared<Folder>();
            child->parent = folder;
            child->name = std::move(names[i]);
            child->key = folder->key;
            child->key.push_back(quint32(i));
            pending.insert(child);
            folder->children.push_back(std::move(child));
        }
    }

    void CloseIfDone(Folder& folder) {
        if (folder.fd >= 0 && folder.toOpen == 0 && folder.users == 0) {
            ::close(folder.fd);
            folder.fd = -1;
            --open;
        }
    }

    // Nothing more is read for the folder or below it.
    void Drop(const FolderRef& folder) {
        switch (folder->state) {
            case Folder::State::Pending:
                pending.erase(folder);
                --folder->parent->toOpen;
                folder->state = Folder::State::Declined;
                break;
            case Folder::State::Reading:
                folder->dropped = true;  // its worker lets it go
                break;
            case Folder::State::Ready:
                --held;
                heldBytes -= folder->bytes;
                folder->listing.reset();
                folder->state = Folder::State::Taken;
                break;
            default:
                break;
        }
        for (const FolderRef& child : folder->children) {
            if (child)
                Drop(child);
        }
        folder->children.clear();
        CloseIfDone(*folder);
    }

    void Work() {
        std::unique_lock lock(mutex);
        for (;;) {
            work.wait(lock, [this] { return stop || !sizeJobs.empty() || CanTake(); });
            if (stop)
                break;
            if (!sizeJobs.empty()) {
                const std::shared_ptr<Sizes> job = std::move(sizeJobs.front());
                sizeJobs.pop_front();
                PassOn();
                lock.unlock();
                ReadSizes(*job);
                lock.lock();
                --open;
                continue;
            }
            const FolderRef folder = pending.extract(pending.begin()).value();
            Folder& parent = *folder->parent;
            folder->state = Folder::State::Reading;
            ++held;
            ++open;
            --parent.toOpen;
            ++parent.users;  // keeps parent.fd open
            const int parentFd = parent.fd;
            PassOn();
            lock.unlock();
            std::vector<QByteArray> subfolders;
            auto listing = std::make_unique<Listing>();
            const int fd = Read(parentFd, *folder, *listing, subfolders);
            lock.lock();
            --parent.users;
            CloseIfDone(parent);
            if (fd < 0)
                --open;
            // Out of descriptors (the program's other files took them): no answer for the user,
            // the walk opens the folder itself when it gets there.
            const bool later = OutOfDescriptors(listing->openError);
            if (stop || folder->dropped || later) {
                --held;
                folder->fd = fd;
                folder->toOpen = 0;
                CloseIfDone(*folder);
                if (later && !folder->dropped)
                    folder->state = Folder::State::Declined;
            } else {
                folder->fd = fd;
                folder->bytes = listing->entries.size() + qsizetype(listing->sizes.size() * 8);
                folder->listing = std::move(listing);
                heldBytes += folder->bytes;
                folder->state = Folder::State::Ready;
                AddChildren(folder, std::move(subfolders));
                CloseIfDone(*folder);
            }
            // It takes the next folder itself, and wakes another when there is more.
            if (folder->wanted)
                read.notify_one();
        }
    }

    // Wakes one more worker while there is work for it: each wakes the next, so that no folder
    // read wakes them all.
    void PassOn() {
        if (!sizeJobs.empty() || CanTake())
            work.notify_one();
    }

    // Opens and lists one folder as the walk would, with its files' sizes when asked. Its
    // descriptor stays open (the answer) while subfolders are left to open through it.
    int Read(int parentFd, const Folder& folder, Listing& out,
             std::vector<QByteArray>& subfolders) {
        const int fd = ::openat(parentFd, folder.name.constData(),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            out.openError = errno;
            return -1;
        }
        struct stat info;
        if (::fstat(fd, &info) != 0) {
            ::close(fd);
            out.openError = EIO;
            return -1;
        }
        out.device = quint64(info.st_dev);
        out.inode = quint64(info.st_ino);
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            out.readError = errno;
            ::close(fd);
            return -1;
        }
        while (!stop && !folder.dropped) {
            errno = 0;
            const dirent* entry = ::readdir(dir);
            if (!entry) {
                out.readError = errno;
                break;
            }
            const EntryKind kind = KindOf(fd, *entry);
            out.entries.append(char(kind));
            if (kind != EntryKind::Other)
                out.entries.append(entry->d_name);
            out.entries.append('\0');
            if (kind == EntryKind::File && readSizes)
                out.sizes.push_back(SizeAt(fd, entry->d_name));
            // As the walk takes subfolders: by names that are text.
            else if (kind == EntryKind::Folder && QByteArrayView(entry->d_name).isValidUtf8())
                subfolders.emplace_back(entry->d_name);
        }
        out.subfolders = qsizetype(subfolders.size());
        const int kept = subfolders.empty() ? -1 : ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        ::closedir(dir);
        return kept;
    }

    void ReadSizes(Sizes& job) {
        const char* name = job.names_.constData();
        for (qsizetype k = 0; k < qsizetype(job.sizes_.size()) && !stop; ++k) {
            job.sizes_[size_t(k)] = SizeAt(job.fd_, name);
            name += std::strlen(name) + 1;
            job.done_.store(k + 1, std::memory_order_release);
            job.done_.notify_all();
        }
        ::close(job.fd_);
        job.fd_ = -1;
    }
};

bool ByKey::operator()(const ReadAhead::FolderRef& a, const ReadAhead::FolderRef& b) const {
    return a->key < b->key;
}

qint64 ReadAhead::Sizes::At(qsizetype k) const {
    for (qsizetype done = done_.load(std::memory_order_acquire); done <= k;
         done = done_.load(std::memory_order_acquire))
        done_.wait(done, std::memory_order_acquire);
    return sizes_[size_t(k)];
}

ReadAhead::ReadAhead(const ReadAheadLimits& limits, bool readSizes)
    : shared_(std::make_shared<Shared>(limits, readSizes)) {}

ReadAhead::~ReadAhead() {
    Shared& s = *shared_;
    {
        const std::lock_guard lock(s.mutex);
        s.stop = true;
        for (const FolderRef& root : s.roots)
            s.Drop(root);
        s.roots.clear();
        for (const std::shared_ptr<Sizes>& job : s.sizeJobs)
            ::close(std::exchange(job->fd_, -1));
        s.sizeJobs.clear();
    }
    s.work.notify_all();
}

void ReadAhead::StartWorkers() {
    if (shared_->started)
        return;
    shared_->started = true;
    // Detached: a worker in a call that hangs (a network share gone) must not hold up the walk
    // that stopped; each ends on its own, keeping what it shares alive until then.
    for (int i = 0; i < shared_->limits.workers; ++i) {
        ++runningWorkers;
        std::thread([shared = shared_] {
            shared->Work();
            --runningWorkers;
        }).detach();
    }
}

int ReadAhead::RunningWorkers() {
    return runningWorkers.load();
}

ReadAhead::FolderRef ReadAhead::Adopt(int fd, const FolderRef& as,
                                      std::vector<QByteArray> subfolders) {
    Shared& s = *shared_;
    const std::lock_guard lock(s.mutex);
    if (subfolders.empty() || s.open >= s.limits.descriptors)
        return nullptr;
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return nullptr;
    StartWorkers();
    FolderRef folder = as ? as : std::make_shared<Folder>();
    if (!as)
        s.roots.push_back(folder);
    folder->fd = copy;
    ++s.open;
    folder->state = Folder::State::Taken;
    s.AddChildren(folder, std::move(subfolders));
    s.work.notify_one();
    return folder;
}

ReadAhead::FolderRef ReadAhead::Next(const FolderRef& parent, const QByteArray& name) {
    Shared& s = *shared_;
    const std::lock_guard lock(s.mutex);
    while (parent->nextChild < parent->children.size()) {
        // Given up by the parent: the walk's frame holds it from here on.
        FolderRef child = std::move(parent->children[parent->nextChild++]);
        if (child->name == name)
            return child;
        s.Drop(child);  // passed over by the walk
    }
    s.CloseIfDone(*parent);
    return nullptr;
}

bool ReadAhead::Wait(const FolderRef& folder, int ms) {
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    if (!folder->wanted) {
        folder->wanted = true;
        s.work.notify_one();
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        switch (folder->state) {
            case Folder::State::Ready:
                // The walk's from here on: no worker touches it again.
                --s.held;
                s.heldBytes -= folder->bytes;
                folder->state = Folder::State::Taken;
                // Workers that stopped at a full window go on once a quarter of it is free: one
                // wake-up for many folders, not one each.
                if (s.held <= s.limits.folders - s.limits.folders / 4 &&
                    s.heldBytes <= s.limits.bytes - s.limits.bytes / 4)
                    s.work.notify_one();
                return true;
            case Folder::State::Taken:
            case Folder::State::Declined:
                return true;
            case Folder::State::Pending:
                // The workers take folders in the walk's order, so this one comes first; when they
                // cannot take it (no descriptor to spare), the walk opens it itself.
                if (*s.pending.begin() != folder || !s.CanTake()) {
                    s.pending.erase(folder);
                    --folder->parent->toOpen;
                    s.CloseIfDone(*folder->parent);
                    folder->state = Folder::State::Declined;
                    return true;
                }
                break;
            default:
                break;
        }
        if (s.read.wait_until(lock, until) == std::cv_status::timeout &&
            folder->state != Folder::State::Ready)
            return false;
    }
}

std::unique_ptr<ReadAhead::Listing> ReadAhead::Take(const FolderRef& folder) {
    // Wait() made it the walk's, or left it to the walk (no listing then).
    return std::move(folder->listing);
}

void ReadAhead::Release(const FolderRef& folder) {
    Shared& s = *shared_;
    const std::lock_guard lock(s.mutex);
    s.Drop(folder);
    s.work.notify_one();
}

std::shared_ptr<ReadAhead::Sizes> ReadAhead::ReadSizes(int fd, const QByteArray& names,
                                                       qsizetype count) {
    Shared& s = *shared_;
    auto job = std::make_shared<Sizes>();
    {
        const std::lock_guard lock(s.mutex);
        if (s.open >= s.limits.descriptors)
            return nullptr;
        job->fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (job->fd_ < 0)
            return nullptr;
        ++s.open;
        job->names_ = names;
        job->sizes_.resize(size_t(count));
        StartWorkers();
        s.sizeJobs.push_back(job);
    }
    s.work.notify_one();
    return job;
}

}  // namespace tallyrook::walk_detail
