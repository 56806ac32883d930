// The folder reader with the POSIX descriptor calls: folders opened relative to their parent,
// known by device and inode.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "search/folder_chain.h"
#include "search/open_by_parts_posix.h"
#include "shared/global.h"

namespace tallyrook::walk_detail {

using FolderId = std::pair<quint64, quint64>;  // st_dev, st_ino

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
// checked against the identity it had.
class FolderChain::Chain {
public:
    Chain() = default;
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;
    ~Chain() {
        for (Frame& frame : frames_)
            Close(frame);
    }

    // The root by its path: a folder-list entry that is a link is followed. 0 or an errno.
    int OpenRoot(const QueuedFolder& root) {
        int fd = ::open(root.name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        // A path past the system's limit, a folder at a time as the walk goes below it.
        if (fd < 0 && errno == ENAMETOOLONG)
            fd = OpenFolderByParts(root.name, root.name.size());
        return fd < 0 ? errno : Push(root.name, fd);
    }

    // A subfolder of the deepest folder becomes the deepest. 0 or an errno.
    int Enter(const QueuedFolder& folder) {
        const int parent = Fd();
        if (parent < 0)
            return EBADF;
        const int fd = ::openat(parent, folder.name.constData(),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        return fd < 0 ? errno : Push(folder.name, fd);
    }

    // The same without opening it: the listing pass opens a folder only for sizes that the
    // enumeration did not read.
    void EnterUnopened(const QueuedFolder& folder) {
        frames_.push_back(
            {folder.name, {folder.device, folder.inode}, -1, nullptr, !folder.opened});
    }

    // Back to the parent. `parentNeeded`: it will open more subfolders, so reopen it through the
    // leaving folder's ".." if it was closed.
    void Leave(bool parentNeeded) {
        Frame leaving = std::move(frames_.back());
        frames_.pop_back();
        if (parentNeeded && !frames_.empty() && leaving.fd >= 0) {
            Frame& parent = frames_.back();
            if (parent.fd < 0 && !parent.lost) {
                const int fd = ::openat(leaving.fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
        const int fd = Fd();
        if (fd < 0)
            return EBADF;
        // The stream owns the chain's descriptor from here on; both go together.
        Frame& deepest = frames_.back();
        if (!deepest.dir)
            deepest.dir = ::fdopendir(fd);
        DIR* dir = deepest.dir;
        if (!dir)
            return errno;
        int error = 0;
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir);
            if (!entry) {
                error = errno;
                break;
            }
            const char* name = entry->d_name;
            EntryKind kind = EntryKind::Other;
            unsigned char type = entry->d_type;
            // Hidden, and also "." and "..".
            if (name[0] != '.') {
                if (type == DT_UNKNOWN) {
                    // Some file systems leave the type out of the listing.
                    struct stat info;
                    if (::fstatat(fd, name, &info, AT_SYMLINK_NOFOLLOW) == 0)
                        type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : 0;
                }
                // Links are neither followed nor recorded; fifos, sockets and devices are no
                // files.
                kind = type == DT_DIR   ? EntryKind::Folder
                       : type == DT_REG ? EntryKind::File
                                        : EntryKind::Other;
            }
            if (!onEntry(name, qsizetype(std::strlen(name)), kind))
                break;
        }
        return error;
    }

    // A file's size in the deepest folder, or NoSize.
    qint64 SizeOf(const char* name) {
        const int fd = Fd();
        struct stat info;
        if (fd < 0 || ::fstatat(fd, name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode))
            return FileInventory::NoSize;
        return qint64(info.st_size);
    }

private:
    struct Frame {
        QByteArray name;
        FolderId id;
        int fd = -1;
        DIR* dir = nullptr;  // once the folder is read; owns fd
        bool lost = false;   // cannot be opened again as the folder it was
    };

    int Push(const QByteArray& name, int fd) {
        frames_.push_back({name, {}, -1, nullptr, false});
        if (Adopt(frames_.size() - 1, fd))
            return 0;
        frames_.pop_back();
        return EIO;
    }

    // The deepest folder's descriptor, opened again down from the nearest open ancestor when it
    // was closed; -1 when that is no longer the same folder.
    int Fd() {
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
            const int fd = parent < 0 ? -1
                                      : ::openat(parent, frames_[k].name.constData(),
                                                 O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (!Adopt(k, fd)) {
                deepest.lost = true;
                return -1;
            }
        }
        return deepest.fd;
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
        while (open_ > MaxOpen) {
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
    int open_ = 0;
    // Every frame from 1 up to this one is closed.
    size_t firstMaybeOpen_ = 1;
};

// FolderChain hands its calls to the Chain above.
FolderChain::FolderChain() : chain_(std::make_unique<Chain>()) {}
FolderChain::~FolderChain() = default;
int FolderChain::OpenRoot(const QueuedFolder& root) {
    return chain_->OpenRoot(root);
}
int FolderChain::Enter(const QueuedFolder& folder) {
    return chain_->Enter(folder);
}
void FolderChain::EnterUnopened(const QueuedFolder& folder) {
    chain_->EnterUnopened(folder);
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
