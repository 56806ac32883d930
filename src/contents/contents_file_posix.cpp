// Looking at and reading files with the POSIX calls: lstat, descriptors opened without following
// a link, without waiting on a fifo and, where we may, without touching the access time.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/uio.h>
#ifdef __linux__
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/vfs.h>
#endif
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>

#include "contents/contents_file.h"
#include "shared/descriptors.h"

namespace tallyrook::contents_detail {

class OpenedFile {
public:
    int fd = -1;
};

namespace {

qint64 Ns(const timespec& time) {
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

Look LookOf(const struct stat& info) {
    Look look;
    look.kind = S_ISREG(info.st_mode) ? Kind::File : Kind::NotAFile;
    look.id = {quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size), Ns(info.st_mtim),
               Ns(info.st_ctim)};
    look.links = quint64(info.st_nlink);
    look.sparse = qint64(info.st_blocks) * 512 < qint64(info.st_size);
    return look;
}

bool Unchanged(const struct stat& info, const Look& look) {
    const Look now = LookOf(info);
    return now.kind == Kind::File && now.id == look.id;
}

// Opens `path` to read without following a link, without waiting on a fifo put in the file's
// place and, for the file's owner only, without touching its access time.
int OpenQuietly(const QString& path) {
    const QByteArray raw = QFile::encodeName(path);
    constexpr int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    const int fd = ::open(raw.constData(), flags | O_NOATIME);
    return fd < 0 && errno == EPERM ? ::open(raw.constData(), flags) : fd;
}

// True on file systems whose reads a server answers (FUSE and the network ones, by statfs's
// f_type): a read-ahead hint there cannot be taken back, and their inode numbers may be passed on
// from several disks. True too where the system cannot say; false where it never can.
bool ServedFromAfar(const QString& path) {
#ifdef __linux__
    struct statfs info;
    if (::statfs(QFile::encodeName(path).constData(), &info) != 0)
        return true;
    switch (quint32(info.f_type)) {
        case 0x65735546:  // FUSE
        case 0x6969:      // NFS
        case 0x517B:      // SMB
        case 0xFF534D42:  // CIFS
        case 0xFE534D42:  // SMB2
        case 0x01021997:  // 9p
        case 0x5346414F:  // AFS
        case 0x6B414653:  // kAFS
        case 0x00C36400:  // Ceph
        case 0x73757245:  // Coda
        case 0x564C:      // NCP
        case 0x0BD00BD0:  // Lustre
        case 0x01161970:  // GFS2
        case 0x7461636F:  // OCFS2
            return true;
        default:
            return false;
    }
#else
    // Elsewhere file systems are known by name, not number.
    Q_UNUSED(path);
    return false;
#endif
}

#ifdef __linux__
// The rotational flag of a block device, or of the disk its partition is on; none where the
// number is no block device's.
std::optional<bool> Rotational(dev_t device) {
    const QString folder =
        QFileInfo(QStringLiteral("/sys/dev/block/%1:%2").arg(major(device)).arg(minor(device)))
            .canonicalFilePath();
    if (folder.isEmpty())
        return std::nullopt;
    for (const QString& flag :
         {QString(folder + u"/queue/rotational"), QString(folder + u"/../queue/rotational")}) {
        QFile file(flag);
        if (file.open(QIODevice::ReadOnly))
            return file.read(1) == "1";
    }
    return std::nullopt;
}

// The block device the mount table names for a file system whose own number is no disk's
// (btrfs, for one); 0 where it names none.
dev_t MountedFrom(dev_t device) {
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray number =
        QByteArray::number(major(device)) + ':' + QByteArray::number(minor(device));
    for (const QByteArray& line : table.readAll().split('\n')) {
        // ID PARENT MAJOR:MINOR ROOT MOUNTPOINT OPTIONS [OPTIONAL...] - TYPE SOURCE ...
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() < 3 || fields[2] != number || dash < 0 || dash + 2 >= fields.size())
            continue;
        struct stat info;
        const QByteArray& source = fields[dash + 2];
        if (source.startsWith("/dev/") && ::stat(source.constData(), &info) == 0 &&
            S_ISBLK(info.st_mode))
            return info.st_rdev;
    }
    return 0;
}
#endif

}  // namespace

bool OnLocalFileSystem(const QString& path) {
    return !ServedFromAfar(path);
}

Look LookAt(const QString& path) {
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        Look look;
        look.kind = errno == ENOENT || errno == ENOTDIR ? Kind::Missing : Kind::Unreadable;
        return look;
    }
    return LookOf(info);
}

QString ResolvedFolder(const QString& folder) {
    char* resolved = ::realpath(QFile::encodeName(folder).constData(), nullptr);
    if (!resolved)
        return {};
    QString result = QFile::decodeName(resolved);
    std::free(resolved);
    return result;
}

void OpenedFileCloser::operator()(OpenedFile* file) const {
    if (file->fd >= 0)
        ::close(file->fd);
    delete file;
}

OpenedFilePtr OpenForReading(const QString& path, const Look& look, NotComparedReason& reason,
                             bool& tooMany) {
    tooMany = false;
    const int fd = OpenQuietly(path);
    if (fd < 0) {
        tooMany = errno == EMFILE || errno == ENFILE;
        reason = errno == ENOENT || errno == ENOTDIR ? NotComparedReason::Vanished
                 : errno == ELOOP                    ? NotComparedReason::NotAFile
                                                     : NotComparedReason::Unreadable;
        return nullptr;
    }
    OpenedFilePtr file(new OpenedFile{fd});
    struct stat info;
    if (::fstat(fd, &info) != 0 || !Unchanged(info, look)) {
        reason = NotComparedReason::Changed;
        return nullptr;
    }
    // A file read in more than a few chunks is read ahead further.
    if (look.id.size > (512 << 10))
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return file;
}

bool ReadAt(OpenedFile& file, char* buffer, qint64 length, qint64 offset) {
    while (length > 0) {
        const ssize_t n = ::pread(file.fd, buffer, size_t(length), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        // 0: the file ended early, it shrank.
        if (n <= 0)
            return false;
        buffer += n;
        offset += n;
        length -= n;
    }
    return true;
}

qint64 DataFrom(OpenedFile& file, qint64 offset) {
    const off_t data = ::lseek(file.fd, off_t(offset), SEEK_DATA);
    if (data >= 0)
        return qint64(data);
    // Past the last data: a hole to the end.
    struct stat info;
    return errno == ENXIO && ::fstat(file.fd, &info) == 0 ? qint64(info.st_size) : offset;
}

qint64 ReadCachedAt(OpenedFile& file, char* buffer, qint64 length, qint64 offset) {
    qint64 done = 0;
#ifdef RWF_NOWAIT
    while (done < length) {
        iovec span{buffer + done, size_t(length - done)};
        const ssize_t n = ::preadv2(file.fd, &span, 1, off_t(offset + done), RWF_NOWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: the rest is on the disk; 0: the file ended early.
        if (n <= 0)
            break;
        done += n;
    }
#else
    Q_UNUSED(file);
    Q_UNUSED(buffer);
    Q_UNUSED(offset);
#endif
    return done;
}

qint64 PhysicalOffset(const QString& path) {
#ifdef __linux__
    const int fd = OpenQuietly(path);
    if (fd < 0)
        return -1;
    alignas(fiemap) char request[sizeof(fiemap) + sizeof(fiemap_extent)] = {};
    auto* map = reinterpret_cast<fiemap*>(request);
    map->fm_length = FIEMAP_MAX_OFFSET;
    map->fm_extent_count = 1;
    const bool told = ::ioctl(fd, FS_IOC_FIEMAP, map) == 0 && map->fm_mapped_extents > 0 &&
                      !(map->fm_extents[0].fe_flags & FIEMAP_EXTENT_UNKNOWN);
    ::close(fd);
    return told ? qint64(map->fm_extents[0].fe_physical) : -1;
#else
    Q_UNUSED(path);
    return -1;
#endif
}

bool StillSame(OpenedFile* file, const QString& path, const Look& look) {
    struct stat info;
    if (file && (::fstat(file->fd, &info) != 0 || !Unchanged(info, look)))
        return false;
    // The path must still name it: a file put in its place is not what was read.
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && Unchanged(info, look);
}

void Prefetch(const QString& path, qint64 length) {
    const int fd = OpenQuietly(path);
    if (fd < 0)
        return;
    ::posix_fadvise(fd, 0, off_t(length), POSIX_FADV_WILLNEED);
    ::close(fd);
}

bool OnRotatingDisk(quint64 device) {
#ifdef __linux__
    if (const std::optional<bool> rotational = Rotational(dev_t(device)))
        return *rotational;
    const dev_t source = MountedFrom(dev_t(device));
    return source != 0 && Rotational(source).value_or(false);
#else
    Q_UNUSED(device);
    return false;
#endif
}

int OpenFileLimit() {
    // Enough that the files of a shared size stay open from one chunk to the next.
    return DescriptorShare(4, 1, 256);
}

}  // namespace tallyrook::contents_detail
