#include "walk.h"

#include <QFile>
#include <QLocale>
#include <QtGlobal>
#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

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

const QString SkipTitle = QStringLiteral("Skip");
const QString SkipText = QStringLiteral(
    " has been skipped because it is unrecognizeable. This is probably because it contains "
    "strange characters. Please rename the file or folder if you would like it included next "
    "time you find dupes.");

// Names on disk are UTF-8 on every desktop we run on; macOS also wants them composed.
QString DecodeName(const char* name, qsizetype length) {
#ifdef Q_OS_DARWIN
    return QFile::decodeName(QByteArray(name, length));
#else
    return QString::fromUtf8(name, length);
#endif
}

// One folder's listing: subfolder names in the order met, and the folder's plain files.
struct Listing {
    std::vector<QByteArray> subfolders;
    // File names, each ended by a NUL. Collected in a buffer shared by all folders, then copied
    // at their exact size: a million names would otherwise keep the growth slack of every
    // folder's buffer alive until the listing pass.
    QByteArray* scratch = nullptr;
    qsizetype fileCount = 0;
};

// Both walks file an entry that counts the same way; `name` must be NUL-terminated.
void AddEntry(Listing& listing, bool isFolder, const char* name, qsizetype length) {
    if (isFolder) {
        listing.subfolders.emplace_back(name, length);
    } else {
        listing.scratch->append(name, length + 1);
        ++listing.fileCount;
    }
}

// Reads one folder, polling the stop request at every entry that counts. A folder that cannot
// be read counts as empty. Names that are not valid UTF-8 are reported and left out: we could
// neither show nor reliably compare them.
PassStatus EnumerateFolder(const QueuedFolder& folder, SearchHost& host, Listing& listing);

#ifdef TALLYROOK_POSIX_WALK

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

class DirStream {
public:
    explicit DirStream(DIR* dir) : dir_(dir) {}
    ~DirStream() {
        if (dir_)
            ::closedir(dir_);
    }
    DirStream(const DirStream&) = delete;
    DirStream& operator=(const DirStream&) = delete;
    DIR* get() const { return dir_; }

private:
    DIR* dir_;
};

int OpenFolder(const QByteArray& rawPath) {
    return ::open(rawPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

PassStatus EnumerateFolder(const QueuedFolder& folder, SearchHost& host, Listing& listing) {
    Fd fd(OpenFolder(folder.rawPath));
    if (fd.get() < 0)
        return PassStatus::Completed;
    DirStream dir(::fdopendir(fd.get()));
    if (!dir.get())
        return PassStatus::Completed;
    fd.release();

    while (const dirent* entry = ::readdir(dir.get())) {
        const char* name = entry->d_name;
        // Hidden, and also "." and "..".
        if (name[0] == '.')
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            // Some file systems leave the type out of the listing.
            struct stat info;
            if (::fstatat(::dirfd(dir.get()), name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        // Links are neither followed nor recorded; fifos, sockets and devices are no files.
        if (type != DT_DIR && type != DT_REG)
            continue;
        if (host.StopRequested())
            return PassStatus::Stopped;
        const qsizetype length = qsizetype(std::strlen(name));
        if (!QByteArrayView(name, length).isValidUtf8()) {
            host.ShowMessage(folder.path + QFile::decodeName(QByteArray(name, length)) + SkipText,
                             SkipTitle);
            continue;
        }
        AddEntry(listing, type == DT_DIR, name, length);
    }
    return PassStatus::Completed;
}

// Sizes of one folder's files, read from the metadata relative to the open folder.
class FolderSizes {
public:
    explicit FolderSizes(const QueuedFolder& folder) : folder_(folder) {}
    qint64 SizeOf(const char* rawName) {
        if (!opened_) {
            opened_ = true;
            fd_ = std::make_unique<Fd>(OpenFolder(folder_.rawPath));
        }
        struct stat info;
        if (fd_->get() < 0 || ::fstatat(fd_->get(), rawName, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode))
            return Global::NoSize;
        return qint64(info.st_size);
    }

private:
    const QueuedFolder& folder_;
    bool opened_ = false;
    std::unique_ptr<Fd> fd_;
};

#else  // portable

PassStatus EnumerateFolder(const QueuedFolder& folder, SearchHost& host, Listing& listing) {
    // Links are left out below by their own test: QDir's link filter also drops shortcuts,
    // which are plain files.
    QDirIterator it(folder.path, QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString name = info.fileName();
        if (name.startsWith(u'.') || info.isSymbolicLink() || info.isJunction() ||
            (!info.isDir() && !info.isFile()))
            continue;
        if (host.StopRequested())
            return PassStatus::Stopped;
        const QByteArray raw = name.toUtf8();
        if (QString::fromUtf8(raw) != name) {
            host.ShowMessage(folder.path + name + SkipText, SkipTitle);
            continue;
        }
        AddEntry(listing, info.isDir(), raw.constData(), raw.size());
    }
    return PassStatus::Completed;
}

class FolderSizes {
public:
    explicit FolderSizes(const QueuedFolder& folder) : folder_(folder) {}
    qint64 SizeOf(const char* rawName) {
        const QFileInfo info(folder_.path + QString::fromUtf8(rawName));
        return info.isFile() && !info.isSymbolicLink() ? info.size() : Global::NoSize;
    }

private:
    const QueuedFolder& folder_;
};

#endif

struct Frame {
    QString path;
    QByteArray rawPath;
    std::vector<QByteArray> subfolders;
    size_t next = 0;
};

}  // namespace

QString QueuePath(const QString& entry) {
    QString copy = entry;
    if (copy.endsWith(u'/'))
        copy.chop(1);
    return copy + u'/';
}

PassStatus QueueSubfolders(WalkQueue& queue, SearchHost& host) {
    std::vector<Frame> stack;
    QByteArray scratch;
    auto enter = [&](QueuedFolder& folder) {
        if (!host.ProcessPendingEvents())
            return PassStatus::Abandoned;
        scratch.resize(0);  // keeps the capacity, unlike clear()
        Listing listing;
        listing.scratch = &scratch;
        const PassStatus status = EnumerateFolder(folder, host, listing);
        if (status != PassStatus::Completed)
            return status;
        folder.files = QByteArray(scratch.constData(), scratch.size());
        folder.fileCount = listing.fileCount;
        if (!listing.subfolders.empty())
            stack.push_back({folder.path, folder.rawPath, std::move(listing.subfolders)});
        return PassStatus::Completed;
    };

    PassStatus status = enter(queue.back());
    while (status == PassStatus::Completed && !stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.subfolders.size()) {
            stack.pop_back();
            continue;
        }
        QByteArray& name = top.subfolders[top.next++];
        QueuedFolder sub;
        sub.path = top.path + DecodeName(name.constData(), name.size()) + u'/';
        sub.rawPath = top.rawPath + name + '/';
        name = QByteArray();
        queue.push_back(std::move(sub));
        status = enter(queue.back());
    }
    return status;
}

QStringList ListFiles(const QueuedFolder& folder) {
    QStringList names;
    names.reserve(folder.fileCount);
    const char* name = folder.files.constData();
    const char* end = name + folder.files.size();
    while (name < end) {
        const qsizetype length = qsizetype(std::strlen(name));
        names.append(DecodeName(name, length));
        name += length + 1;
    }
    return names;
}

}  // namespace walk_detail

namespace {

using namespace walk_detail;

const QString AppTitle = QStringLiteral("Tallyrook");

QString InventoryFullText() {
    const QString cap = QLocale::system().toString(qlonglong(Global::InventoryCapacity));
    return QStringLiteral(
               "The file inventory is full at %1 files, the most one search can "
               "compare. The rest of the folders was not searched, so their "
               "duplicates are not shown. Please remove some folders from the list "
               "and find dupes again.")
        .arg(cap);
}

// Room for the records to come, so a million appends do not keep reallocating. Growth stays
// geometric across many folder-list entries.
void ReserveRecords(Global& global, qsizetype more) {
    const qsizetype needed =
        std::min(global.FileCount() + more, qsizetype(Global::InventoryCapacity));
    const qsizetype capacity = global.FileNames.capacity();
    if (needed <= capacity)
        return;
    const qsizetype target = capacity == 0 ? needed : std::max(needed, capacity + capacity / 4);
    global.FileNames.reserve(target);
    global.FileFolders.reserve(target);
    global.FileSizes.reserve(target);
}

}  // namespace

WalkResult AnalyzeFolder(const QString& folder, SearchHost& host, Global& global) {
    host.SetProgress(0);
    if (folder.isEmpty())
        return WalkResult::Completed;

    const QString root = QueuePath(folder);
    host.SetCaption(AppTitle + QStringLiteral(" [Analyzing ") + folder +
                    QStringLiteral(" folder]"));

    WalkQueue queue;
    queue.push_back({root, QFile::encodeName(root), {}, 0});
    switch (QueueSubfolders(queue, host)) {
        case PassStatus::Completed:
            break;
        case PassStatus::Stopped:
            return WalkResult::Stopped;
        case PassStatus::Abandoned:
            return WalkResult::Abandoned;
    }

    host.SetBusy(true);
    qsizetype files = 0;
    for (const QueuedFolder& queued : queue)
        files += queued.fileCount;
    ReserveRecords(global, files);

    const qsizetype count = qsizetype(queue.size());
    for (qsizetype i = 0; i < count; ++i) {
        if (!host.ProcessPendingEvents())
            return WalkResult::Abandoned;
        if (host.StopRequested())
            return WalkResult::Stopped;
        // The folder about to be listed still counts, so the first one shows 0.
        host.SetProgress(int(i * 100 / count));

        // Taken out of the queue, so its names are freed as soon as it is listed.
        const QueuedFolder current = std::move(queue[size_t(i)]);
        const QStringList names = ListFiles(current);
        FolderSizes sizes(current);
        const char* rawName = current.files.constData();
        for (const QString& name : names) {
            if (global.InventoryFull()) {
                host.ShowMessage(InventoryFullText(), AppTitle);
                return WalkResult::InventoryFull;
            }
            const qint64 size = host.ExactFilesize() ? sizes.SizeOf(rawName) : Global::NoSize;
            global.AddRecord(current.path, name, size);
            rawName += std::strlen(rawName) + 1;
        }
    }

    host.SetProgress(100);
    host.SetCaption(AppTitle);
    return WalkResult::Completed;
}

}  // namespace tallyrook
