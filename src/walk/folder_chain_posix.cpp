// The folder reader with the POSIX descriptor calls: folders opened relative to their parent,
// known by device and inode.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>

#include "search/open_by_parts_posix.h"
#include "shared/descriptors.h"
#include "shared/global.h"
#include "walk/folder_chain.h"
#include "walk/read_ahead.h"

namespace tallyrook::walk_detail {

using FolderId = std::pair<quint64, quint64>;  // st_dev, st_ino

namespace {

constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

bool OutOfDescriptors(int error) {
    return error == EMFILE || error == ENFILE;
}

}  // namespace

bool Identify(int fd, FolderId& id) {
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return false;
    id = {quint64(info.st_dev), quint64(info.st_ino)};
    return true;
}

// The folders from the root down to the one being worked on, each opened relative to its parent
// without following links, so that no path length limit applies and a folder swapped for a link
// is never entered. At most MaxOpen descriptors are open at any depth: the shallowest are closed
// and opened again from their parent ("..", or down from an open ancestor) when needed, each
// checked against the identity it had. Under a low descriptor limit fewer are kept open, and the
// read-ahead takes only its share. With read-ahead, the folders below the root are opened and
// listed by its workers, and only those they leave are opened here.
class FolderChain::Chain {
public:
    Chain(const ReadAheadLimits& readAhead, bool readSizes)
        : limits_(readAhead), maxOpen_(DescriptorShare(8, 2, MaxOpen)) {
        if (readAhead.workers > 0) {
            ReadAheadLimits limits = readAhead;
            limits.descriptors = DescriptorShare(4, 1, limits.descriptors);
            ahead_ = std::make_unique<ReadAhead>(limits, readSizes);
        }
    }
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;
    ~Chain() {
        while (!frames_.empty())
            Leave(false);
        if (next_)
            ahead_->Release(next_);
    }

    // The root by its path: a folder-list entry that is a link is followed. 0 or an errno.
    int OpenRoot(const QueuedFolder& root) {
        int fd = ::open(root.name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        // A path past the system's limit, a folder at a time as the walk goes below it.
        if (fd < 0 && errno == ENAMETOOLONG)
            fd = OpenFolderByParts(root.name, root.name.size());
        return fd < 0 ? errno : Push(root.name, fd);
    }

    // False while the read-ahead still works on the next subfolder to enter; waits a little.
    bool Ready(const QueuedFolder& folder) {
        if (!ahead_ || frames_.empty() || !frames_.back().ahead)
            return true;
        if (!asked_ || nextName_ != folder.name) {
            if (next_)
                ahead_->Release(next_);
            next_ = ahead_->Next(frames_.back().ahead, folder.name);
            nextName_ = folder.name;
            asked_ = true;
        }
        return !next_ || ahead_->Wait(next_, WaitMs);
    }

    // A subfolder of the deepest folder becomes the deepest. 0 or an errno.
    int Enter(const QueuedFolder& folder) {
        while (!Ready(folder)) {
        }
        const ReadAhead::FolderRef ahead = std::exchange(next_, nullptr);
        asked_ = false;
        if (ahead) {
            if (std::unique_ptr<ReadAhead::Listing> listing = ahead_->Take(ahead)) {
                if (listing->openError != 0) {
                    ahead_->Release(ahead);
                    return listing->openError;
                }
                const FolderId id{listing->device, listing->inode};
                // Without subfolders nothing is left below it to let go.
                ReadAhead::FolderRef below = listing->subfolders > 0 ? ahead : nullptr;
                frames_.push_back(
                    {folder.name, id, -1, nullptr, false, std::move(below), std::move(listing)});
                return 0;
            }
        }
        // Without read-ahead, or left by it.
        const int parent = Fd();
        if (parent < 0)
            return errno;
        const int fd = OpenBelow(parent, folder.name.constData(), FolderFlags);
        const int error = fd < 0 ? errno : Push(folder.name, fd);
        if (error == 0)
            frames_.back().ahead = ahead;  // its subfolders are read ahead again, as its own
        else if (ahead)
            ahead_->Release(ahead);
        return error;
    }

    // The same without opening it: the listing pass opens a folder only for sizes that the
    // enumeration did not read.
    void EnterUnopened(const QueuedFolder& folder) {
        frames_.push_back(
            {folder.name, {folder.device, folder.inode}, -1, nullptr, !folder.opened});
        if (!listQueue_)
            return;
        // The k-th folder entered here is the queue's k-th: only the root comes before.
        ++listed_;
        while (!sizeJobs_.empty() && sizeJobs_.front().first <= listed_) {
            if (sizeJobs_.front().first == listed_) {
                frames_.back().sizes = std::move(sizeJobs_.front().second);
                frames_.back().nextFile = folder.files.constData();
            }
            sizeJobs_.pop_front();
        }
        SizeAhead();
    }

    void ListAhead(const WalkQueue& queue) {
        if (ahead_)
            listQueue_ = &queue;
    }

    // Back to the parent. `parentNeeded`: it will open more subfolders, so reopen it through the
    // leaving folder's ".." if it was closed.
    void Leave(bool parentNeeded) {
        Frame leaving = std::move(frames_.back());
        frames_.pop_back();
        if (leaving.ahead)
            ahead_->Release(leaving.ahead);
        if (parentNeeded && !frames_.empty() && leaving.fd >= 0) {
            Frame& parent = frames_.back();
            if (parent.fd < 0 && !parent.lost) {
                const int fd = OpenBelow(leaving.fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                Adopt(frames_.size() - 1, fd);
            }
        }
        Close(leaving);
    }

    int Depth() const { return int(frames_.size()) - 1; }
    FolderId Id() const { return frames_.back().id; }

    // Reads the deepest folder's entries, giving each to `onEntry` until it answers false.
    // 0 or the errno of a folder that could not be read to its end.
    template <typename Handler>
    int Read(Handler onEntry) {
        if (frames_.back().listing)
            return Replay(onEntry);
        const int fd = Fd();
        if (fd < 0)
            return errno;
        // The stream owns the chain's descriptor from here on; both go together.
        Frame& deepest = frames_.back();
        if (!deepest.dir)
            deepest.dir = ::fdopendir(fd);
        DIR* dir = deepest.dir;
        if (!dir)
            return errno;
        // The root, and a folder the read-ahead left, hand their subfolders to it.
        const bool handOver = ahead_ && (frames_.size() == 1 || deepest.ahead);
        std::vector<QByteArray> subfolders;
        int error = 0;
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir);
            if (!entry) {
                error = errno;
                break;
            }
            const char* name = entry->d_name;
            const qsizetype length = qsizetype(std::strlen(name));
            // Links are neither followed nor recorded; fifos, sockets and devices are no files.
            const EntryKind kind = KindOf(fd, *entry);
            if (handOver && kind == EntryKind::Folder && QByteArrayView(name, length).isValidUtf8())
                subfolders.emplace_back(name, length);
            if (!onEntry(name, length, kind))
                return error;
        }
        if (handOver)
            deepest.ahead = ahead_->Adopt(fd, deepest.ahead, std::move(subfolders));
        return error;
    }

    // A file's size in the deepest folder, or NoSize.
    qint64 SizeOf(const char* name) {
        Frame& deepest = frames_.back();
        if (deepest.listing && name == replayedFile_)
            return replayedSize_;
        if (deepest.sizes) {
            // The listing pass asks in the order of the folder's names, some perhaps skipped.
            while (deepest.nextFile < name) {
                deepest.nextFile += std::strlen(deepest.nextFile) + 1;
                ++deepest.nextIndex;
            }
            if (deepest.nextFile == name)
                return deepest.sizes->At(deepest.nextIndex);
        }
        if (listQueue_ && !aheadChain_)
            StartSizingAhead();
        return SizeAt(Fd(), name);
    }

private:
    // Between two calls of Ready(), the host gets its events.
    static constexpr int WaitMs = 20;

    struct Frame {
        QByteArray name;
        FolderId id;
        int fd = -1;
        DIR* dir = nullptr;            // once the folder is read; owns fd
        bool lost = false;             // cannot be opened again as the folder it was
        ReadAhead::FolderRef ahead{};  // its subfolders are read ahead
        std::unique_ptr<ReadAhead::Listing> listing{};  // read by a worker
        std::shared_ptr<ReadAhead::Sizes> sizes{};      // its files' sizes, read by a worker
        const char* nextFile = nullptr;                 // in the queued folder's names
        qsizetype nextIndex = 0;
    };

    // Gives the entries a worker read to `onEntry`, as Read() would from the folder.
    template <typename Handler>
    int Replay(Handler onEntry) {
        const ReadAhead::Listing& listing = *frames_.back().listing;
        const char* at = listing.entries.constData();
        const char* end = at + listing.entries.size();
        size_t file = 0;
        while (at < end) {
            const EntryKind kind = EntryKind(*at++);
            const qsizetype length = qsizetype(std::strlen(at));
            if (kind == EntryKind::File) {
                replayedFile_ = at;
                replayedSize_ =
                    file < listing.sizes.size() ? listing.sizes[file] : FileInventory::NoSize;
                ++file;
            }
            if (!onEntry(at, length, kind))
                return 0;
            at += length + 1;
        }
        return listing.readError;
    }

    // From here on the listing pass reads sizes: the workers read them for the folders ahead,
    // opened through a chain of their own that starts where this one is.
    void StartSizingAhead() {
        aheadChain_ = std::make_unique<Chain>(ReadAheadLimits{0, 0, 0, 0}, false);
        for (const Frame& frame : frames_)
            aheadChain_->frames_.push_back({frame.name, frame.id, -1, nullptr, frame.lost});
        const int root = frames_.front().fd;
        aheadChain_->Adopt(0, root < 0 ? -1 : ::fcntl(root, F_DUPFD_CLOEXEC, 0));
        submitted_ = listed_ + 1;
        SizeAhead();
    }

    void SizeAhead() {
        if (!aheadChain_)
            return;
        const size_t until =
            std::min(listQueue_->size(), size_t(listed_) + 1 + size_t(limits_.folders));
        for (; submitted_ < until; ++submitted_) {
            const QueuedFolder& folder = (*listQueue_)[submitted_];
            while (aheadChain_->Depth() >= folder.depth)
                aheadChain_->Leave(false);
            aheadChain_->EnterUnopened(folder);
            if (folder.fileCount == 0 || !folder.sizes.empty())
                continue;
            const int fd = aheadChain_->Fd();
            if (fd < 0)
                continue;  // the listing pass reads them itself
            auto job = ahead_->ReadSizes(fd, folder.files, folder.fileCount);
            // No descriptor to spare: the next call goes on from this folder.
            if (!job)
                break;
            sizeJobs_.emplace_back(submitted_, std::move(job));
        }
    }

    int Push(const QByteArray& name, int fd) {
        frames_.push_back({name, {}, -1, nullptr, false});
        if (Adopt(frames_.size() - 1, fd))
            return 0;
        frames_.pop_back();
        return EIO;
    }

    // The deepest folder's descriptor, opened again down from the nearest open ancestor when it
    // was closed; -1 with errno EBADF when that is no longer the same folder, or EMFILE when it
    // cannot be opened now but may be later.
    int Fd() {
        errno = EBADF;
        if (frames_.empty())
            return -1;
        Frame& deepest = frames_.back();
        if (deepest.fd >= 0 || deepest.lost)
            return deepest.fd;
        size_t open = frames_.size() - 1;
        while (open > 0 && frames_[open].fd < 0)
            --open;
        for (size_t k = open + 1; k < frames_.size(); ++k) {
            const int parent = frames_[k - 1].fd;
            const int fd =
                parent < 0 ? -1 : OpenBelow(parent, frames_[k].name.constData(), FolderFlags);
            if (fd < 0 && parent >= 0 && OutOfDescriptors(errno))
                return -1;
            if (!Adopt(k, fd)) {
                deepest.lost = true;
                errno = EBADF;
                return -1;
            }
        }
        return deepest.fd;
    }

    // openat, which out of descriptors closes the chain's shallowest open folders (opened again
    // when needed) and tries again.
    int OpenBelow(int parent, const char* name, int flags) {
        for (;;) {
            const int fd = ::openat(parent, name, flags);
            if (fd >= 0 || !OutOfDescriptors(errno) || !CloseShallowest(parent))
                return fd;
        }
    }

    // Closes the shallowest open folder between the root and the deepest but `keep`.
    bool CloseShallowest(int keep) {
        for (size_t i = 1; i + 1 < frames_.size(); ++i) {
            if (frames_[i].fd >= 0 && frames_[i].fd != keep) {
                Close(frames_[i]);
                return true;
            }
        }
        return false;
    }

    // Gives frame `k` the descriptor if it is still the folder the frame was (any folder when the
    // frame has no identity yet).
    bool Adopt(size_t k, int fd) {
        FolderId id;
        if (fd < 0)
            return false;
        if (!Identify(fd, id) || (frames_[k].id != FolderId() && id != frames_[k].id)) {
            ::close(fd);
            return false;
        }
        frames_[k].id = id;
        frames_[k].fd = fd;
        ++open_;
        firstMaybeOpen_ = std::min(firstMaybeOpen_, k);
        while (open_ > maxOpen_) {
            // The shallowest below the root: the deep end is where the work goes on.
            size_t i = std::max<size_t>(firstMaybeOpen_, 1);
            while (frames_[i].fd < 0)
                ++i;
            Close(frames_[i]);
            firstMaybeOpen_ = i + 1;
        }
        return true;
    }

    void Close(Frame& frame) {
        if (frame.fd >= 0) {
            if (frame.dir)
                ::closedir(frame.dir);
            else
                ::close(frame.fd);
            frame.dir = nullptr;
            frame.fd = -1;
            --open_;
        }
    }

    std::vector<Frame> frames_;
    const ReadAheadLimits limits_;
    const int maxOpen_;  // of the chain's own descriptors
    std::unique_ptr<ReadAhead> ahead_;
    ReadAhead::FolderRef next_;  // the subfolder Ready() waits for, asked by its name
    QByteArray nextName_;
    bool asked_ = false;
    const char* replayedFile_ = nullptr;
    qint64 replayedSize_ = FileInventory::NoSize;
    // Sizes read ahead for the listing pass: the queue, the count of folders entered after the
    // root, the next folder to hand over, the workers' jobs by queue index.
    const WalkQueue* listQueue_ = nullptr;
    size_t listed_ = 0, submitted_ = 0;
    std::unique_ptr<Chain> aheadChain_;
    std::deque<std::pair<size_t, std::shared_ptr<ReadAhead::Sizes>>> sizeJobs_;
    int open_ = 0;
    // Every frame from 1 up to this one is closed.
    size_t firstMaybeOpen_ = 1;
};

// FolderChain hands its calls to the Chain above.
FolderChain::FolderChain(const ReadAheadLimits& readAhead, bool readSizes)
    : chain_(std::make_unique<Chain>(readAhead, readSizes)) {}
FolderChain::~FolderChain() = default;
int FolderChain::OpenRoot(const QueuedFolder& root) {
    return chain_->OpenRoot(root);
}
bool FolderChain::Ready(const QueuedFolder& folder) {
    return chain_->Ready(folder);
}
int FolderChain::Enter(const QueuedFolder& folder) {
    return chain_->Enter(folder);
}
void FolderChain::EnterUnopened(const QueuedFolder& folder) {
    chain_->EnterUnopened(folder);
}
void FolderChain::ListAhead(const WalkQueue& queue) {
    chain_->ListAhead(queue);
}
void FolderChain::Leave(bool parentNeeded) {
    chain_->Leave(parentNeeded);
}
int FolderChain::Depth() const {
    return chain_->Depth();
}
int FolderChain::Read(const OnEntry& onEntry) {
    return chain_->Read(onEntry);
}
qint64 FolderChain::SizeOf(const char* name) {
    return chain_->SizeOf(name);
}

bool FolderChain::EnterFirstTime(WalkedFolders& walked) const {
    return walked.Enter(chain_->Id().first, chain_->Id().second);
}

void FolderChain::NoteIdentity(QueuedFolder& folder) const {
    folder.opened = true;
    folder.device = chain_->Id().first;
    folder.inode = chain_->Id().second;
}

}  // namespace tallyrook::walk_detail
