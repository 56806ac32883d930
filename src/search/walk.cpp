#include "search/walk.h"

#include <QFile>
#include <QLocale>
#include <QtGlobal>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "search/file_functions.h"
#include "search/search_host.h"
#include "shared/global.h"

#if defined(Q_OS_UNIX) && !defined(TALLYROOK_PORTABLE_WALK)
#define TALLYROOK_POSIX_WALK 1
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QDirIterator>
#include <QFileInfo>
#endif

namespace tallyrook {

namespace walk_detail {

namespace {

const QString AppTitle = QStringLiteral("Tallyrook");
const QString SkipText = QStringLiteral(
    " has been skipped because it is unrecognizeable. This is probably because it contains "
    "strange characters. Please rename the file or folder if you would like it included next "
    "time you find dupes.");

// Inside one folder the host gets its events every this many entries, so that a folder of a
// million files does not freeze the window. The host throttles by time itself; this only keeps
// the calls cheap next to an entry.
constexpr int EntriesPerEvents = 16;

enum class EntryKind { Other, Folder, File };

#ifdef TALLYROOK_POSIX_WALK

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
class FolderChain {
public:
    static constexpr int MaxOpen = 64;

    FolderChain() = default;
    FolderChain(const FolderChain&) = delete;
    FolderChain& operator=(const FolderChain&) = delete;
    ~FolderChain() {
        for (Frame& frame : frames_)
            Close(frame);
    }

    // The root by its path: a folder-list entry that is a link is followed. 0 or an errno.
    int OpenRoot(const QueuedFolder& root) {
        const int fd = ::open(root.name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
    template <typename OnEntry>
    int Read(OnEntry onEntry) {
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
            return Global::NoSize;
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

#else  // portable: Qt's file classes, whole paths

using FolderId = QString;  // the canonical path

// Same interface as above, by path. Qt has neither device and inode numbers nor opening relative
// to a folder, so a folder is known by its canonical path (a bind mount of a listed folder is
// walked again), a folder swapped for a link after it was checked is followed, and paths past
// the system's limit cannot be opened.
class FolderChain {
public:
    int OpenRoot(const QueuedFolder& root) { return Push(root.path, false); }
    int Enter(const QueuedFolder& folder) { return Push(folder.path, true); }
    void EnterUnopened(const QueuedFolder& folder) { frames_.push_back({folder.path, {}}); }
    void Leave(bool) { frames_.pop_back(); }
    int Depth() const { return int(frames_.size()) - 1; }
    FolderId Id() const { return frames_.back().id; }

    template <typename OnEntry>
    int Read(OnEntry onEntry) {
        // Links are left out below by their own test: QDir's link filter also drops shortcuts,
        // which are plain files.
        QDirIterator it(frames_.back().path, QDir::Dirs | QDir::Files | QDir::Hidden |
                                                 QDir::System | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            it.next();
            const QFileInfo info = it.fileInfo();
            const QString name = info.fileName();
            EntryKind kind = EntryKind::Other;
            if (!name.startsWith(u'.') && !info.isSymbolicLink() && !info.isJunction())
                kind = info.isDir()    ? EntryKind::Folder
                       : info.isFile() ? EntryKind::File
                                       : EntryKind::Other;
            const QByteArray raw = QFile::encodeName(name);
            if (!onEntry(raw.constData(), raw.size(), kind))
                break;
        }
        return 0;
    }

    qint64 SizeOf(const char* name) {
        const QFileInfo info(frames_.back().path + DecodeFileName(name));
        return info.isFile() && !info.isSymbolicLink() ? info.size() : Global::NoSize;
    }

private:
    struct Frame {
        QString path;
        FolderId id;
    };

    int Push(const QString& path, bool noLink) {
        const QFileInfo info(WithoutClosingSlash(path));
        if (!info.exists() || (noLink && info.isSymbolicLink()))
            return ENOENT;
        if (!info.isDir())
            return ENOTDIR;
        if (!info.isReadable())
            return EACCES;
        frames_.push_back({path, info.canonicalFilePath()});
        return 0;
    }

    std::vector<Frame> frames_;
};

#endif

bool EnterFirstTime(WalkedFolders& walked, const FolderChain& chain) {
#ifdef TALLYROOK_POSIX_WALK
    return walked.Enter(chain.Id().first, chain.Id().second);
#else
    return walked.Enter(chain.Id());
#endif
}

void NoteIdentity(QueuedFolder& folder, const FolderChain& chain) {
    folder.opened = true;
#ifdef TALLYROOK_POSIX_WALK
    folder.device = chain.Id().first;
    folder.inode = chain.Id().second;
#else
    Q_UNUSED(chain);
#endif
}

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
        if (!EnterFirstTime(walked_, chain_))
            return StepResult::Completed;
        NoteIdentity(root, chain_);

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
            const int error = chain_.Enter(sub);
            if (error != 0) {
                // Counts as an empty folder: a step of the progress, no records.
                Report(sub, error);
                queue_.push_back(std::move(sub));
                continue;
            }
            if (!EnterFirstTime(walked_, chain_)) {
                chain_.Leave(level.next < level.subfolders.size());
                continue;
            }
            NoteIdentity(sub, chain_);
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
                host_.ShowMessage(
                    folder.path + DisplayFileName(QByteArrayView(name, length)) + SkipText,
                    QStringLiteral("Skip"));
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
            host_.ReportUnreadableFolder(WithoutClosingSlash(folder.path), qt_error_string(error));
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

QString InventoryFullText(qsizetype capacity) {
    return QStringLiteral(
               "The file inventory is full at %1 files, the most one search can "
               "compare. The rest of the folders was not searched, so their "
               "duplicates are not shown. Please remove some folders from the list "
               "and find dupes again.")
        .arg(QLocale::system().toString(qlonglong(capacity)));
}

// How the walk ends when a pass did not complete; a full inventory is told to the user.
StepResult EndedEarly(StepResult status, SearchHost& host, const Global& global) {
    if (status == StepResult::Full)
        host.ShowMessage(InventoryFullText(global.Capacity()), AppTitle);
    return status;
}

// The listing pass for one queued folder: a record for each of its files, in enumeration order.
// Events and the stop request are also looked at within a large folder.
StepResult ListFiles(const QueuedFolder& folder, FolderChain& chain, SearchHost& host,
                     Global& global) {
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
        // Exact Filesize as it is now: a size read while it was ticked goes unused once it is not.
        qint64 size = Global::NoSize;
        if (host.ExactFilesize())
            size = folder.sizes.empty() ? chain.SizeOf(name) : folder.sizes[size_t(n - 1)];
        if (!global.AddRecord(folder.path, DecodeFileName(QByteArrayView(name, length)), size))
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
                         WalkedFolders& walked) {
    host.SetProgress(0);
    if (folder.isEmpty())
        return StepResult::Completed;

    const QString root = QueuePath(folder);
    host.SetCaption(AppTitle + QStringLiteral(" [Analyzing ") + folder +
                    QStringLiteral(" folder]"));

    WalkQueue queue;
    QueuedFolder first;
    first.path = root;
    first.name = QFile::encodeName(root);
    queue.push_back(std::move(first));
    FolderChain chain;
    Enumeration enumeration(host, walked, chain, queue,
                            std::max<qsizetype>(0, global.Capacity() - global.FileCount()),
                            host.ExactFilesize());
    const StepResult enumerated = enumeration.Run();
    if (enumerated == StepResult::Stopped || enumerated == StepResult::Abandoned)
        return EndedEarly(enumerated, host, global);

    host.SetBusy(true);
    qsizetype files = 0;
    for (const QueuedFolder& queued : queue)
        files += queued.fileCount;
    global.Reserve(files);

    const qsizetype count = qsizetype(queue.size());
    for (qsizetype i = 0; i < count; ++i) {
        if (!host.ProcessPendingEvents())
            return StepResult::Abandoned;
        if (host.StopRequested())
            return StepResult::Stopped;
        // The folder about to be listed still counts, so the first one shows 0.
        host.SetProgress(int(i * 100 / count));

        // Taken out of the queue, so its names are freed as soon as it is listed.
        const QueuedFolder current = std::move(queue[size_t(i)]);
        if (current.depth > 0) {
            while (chain.Depth() >= current.depth)
                chain.Leave(false);
            chain.EnterUnopened(current);
        }
        const StepResult listed = ListFiles(current, chain, host, global);
        if (listed != StepResult::Completed)
            return EndedEarly(listed, host, global);
    }
    if (enumeration.Full())
        return EndedEarly(StepResult::Full, host, global);

    host.SetProgress(100);
    host.SetCaption(AppTitle);
    return StepResult::Completed;
}

}  // namespace tallyrook
