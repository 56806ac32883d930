#include "search/file_functions.h"

#include <QFile>
#include <QtGlobal>
#include <algorithm>
#include <iterator>

#if defined(Q_OS_UNIX) && !defined(TALLYROOK_PORTABLE_WALK)
#define TALLYROOK_POSIX_FILES 1
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#else
#include <QFileInfo>
#endif

namespace tallyrook {

namespace {

// The dates a row can show: from the start of the file-time count (1601) to the last day with a
// four-digit year. Anything else, a tmpfs date near the 64-bit limit say, reads as unknown.
constexpr qint64 FirstShownSecond = -11'644'473'600;  // 1601-01-01 00:00:00 UTC
constexpr qint64 LastShownSecond = 253'402'300'799;   // 9999-12-31 23:59:59 UTC

}  // namespace

QString DecodeFileName(QByteArrayView bytes) {
#ifdef Q_OS_DARWIN
    // macOS hands out decomposed names; the system decoder composes them.
    QString text = QFile::decodeName(bytes.toByteArray());
#else
    QString text = QString::fromUtf8(bytes);
#endif
    // The decoder drops one leading byte-order mark; put it back.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        text.prepend(QChar(0xFEFF));
    return text;
}

QString DisplayFileName(QByteArrayView bytes) {
    QString text;
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar lead = uchar(bytes[i]);
        const qsizetype length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        const QByteArrayView sequence = bytes.sliced(i, std::min(length, bytes.size() - i));
        if (sequence.size() == length && sequence.isValidUtf8()) {
            text += DecodeFileName(sequence);
            i += length;
        } else {
            text += QStringLiteral("\\x%1").arg(lead, 2, 16, QChar(u'0'));
            ++i;
        }
    }
    return text;
}

QString FileNameOf(const QString& path) {
    return path.sliced(path.lastIndexOf(u'/') + 1);
}

QString FolderOf(const QString& path) {
    return path.first(path.lastIndexOf(u'/') + 1);
}

QString WithoutClosingSlash(const QString& path) {
    return path.size() > 1 && path.endsWith(u'/') ? path.chopped(1) : path;
}

#ifdef TALLYROOK_POSIX_FILES

namespace {

// Opens the folder named by the first `length` bytes of `path` one name at a time, each relative to
// the one before, so that no call sees more than one name: for paths past the system's length
// limit. Links on the way are followed, as a look-up of the whole path would. -1 when a folder on
// the way cannot be opened.
int OpenFolderByParts(const QByteArray& path, qsizetype length) {
    int folder = ::open(path.startsWith('/') ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (qsizetype start = 0; folder >= 0 && start < length;) {
        qsizetype end = path.indexOf('/', start);
        if (end < 0 || end > length)
            end = length;
        if (end > start) {
            const QByteArray name = path.sliced(start, end - start);
            const int next = ::openat(folder, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::close(folder);
            folder = next;
        }
        start = end + 1;
    }
    return folder;
}

// stat() for a path past the system's length limit.
bool StatLongPath(const QByteArray& path, struct stat& info) {
    const qsizetype last = path.lastIndexOf('/');
    const int folder = OpenFolderByParts(path, last);
    if (folder < 0)
        return false;
    const QByteArray leaf = path.sliced(last + 1);
    const bool ok = ::fstatat(folder, leaf.isEmpty() ? "." : leaf.constData(), &info, 0) == 0;
    ::close(folder);
    return ok;
}

// stat() follows links, as opening the path would.
bool StatPath(const QString& path, struct stat& info) {
    if (path.isEmpty())
        return false;
    const QByteArray raw = QFile::encodeName(path);
    if (::stat(raw.constData(), &info) == 0)
        return true;
    return errno == ENAMETOOLONG && StatLongPath(raw, info);
}

FileMetadata MetadataOf(const struct stat& info) {
    FileMetadata result;
    // A folder has no size of its own to compare.
    if (!S_ISDIR(info.st_mode))
        result.size = qint64(info.st_size);
    const qint64 seconds = info.st_mtim.tv_sec;
    if (seconds >= FirstShownSecond && seconds <= LastShownSecond) {
        // tv_nsec is never negative, so this floors correctly for times before 1970 too.
        const qint64 msecs = seconds * 1000 + info.st_mtim.tv_nsec / 1'000'000;
        result.modifiedUtc = QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
    }
    return result;
}

}  // namespace

bool IsFolder(const QString& path) {
    struct stat info;
    return StatPath(path, info) && S_ISDIR(info.st_mode);
}

bool ExistsFollowingLinks(const QString& path) {
    struct stat info;
    return StatPath(path, info);
}

FileMetadata ReadFileMetadata(const QString& path) {
    struct stat info;
    if (!StatPath(path, info))
        return {};
    return MetadataOf(info);
}

FolderMetadataReader::~FolderMetadataReader() {
    for (const OpenFolder& folder : folders_) {
        if (folder.descriptor >= 0)
            ::close(folder.descriptor);
    }
}

FileMetadata FolderMetadataReader::Read(const QString& folder, const QString& name) {
    // The inventory's files of one folder share its path text, so most matches are found by
    // its address.
    const auto same = [&folder](const QString& path) {
        return !path.isNull() && path.size() == folder.size() &&
               (path.constData() == folder.constData() || path == folder);
    };
    const OpenFolder* open = std::find_if(std::begin(folders_), std::end(folders_),
                                          [&same](const OpenFolder& f) { return same(f.path); });
    if (open == std::end(folders_)) {
        OpenFolder& slot = folders_[next_];
        next_ = (next_ + 1) % Kept;
        if (slot.descriptor >= 0)
            ::close(slot.descriptor);
        slot.path = folder;
#ifdef O_PATH
        // Like a look-up by path, this needs only the right to pass through the folders.
        constexpr int flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
        constexpr int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif
        const QByteArray raw = QFile::encodeName(folder);
        slot.descriptor = raw.isEmpty() ? -1 : ::open(raw.constData(), flags);
        if (slot.descriptor < 0 && errno == ENAMETOOLONG)
            slot.descriptor = OpenFolderByParts(raw, raw.size());
        open = &slot;
    }
    struct stat info;
    // Anything unusual (a folder that cannot be opened, a name that is not there) gets the
    // answer of the look-up by the whole path.
    if (open->descriptor < 0 || name.isEmpty() ||
        ::fstatat(open->descriptor, QFile::encodeName(name).constData(), &info, 0) != 0)
        return ReadFileMetadata(folder + name);
    return MetadataOf(info);
}

#else

bool IsFolder(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool ExistsFollowingLinks(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).lastModified().isValid();
}

FileMetadata ReadFileMetadata(const QString& path) {
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    FileMetadata result;
    if (!info.isDir())
        result.size = info.size();
    const QDateTime modified = info.lastModified().toUTC();
    const qint64 seconds = modified.toSecsSinceEpoch();
    if (seconds >= FirstShownSecond && seconds <= LastShownSecond)
        result.modifiedUtc = modified;
    return result;
}

FolderMetadataReader::~FolderMetadataReader() = default;

FileMetadata FolderMetadataReader::Read(const QString& folder, const QString& name) {
    return ReadFileMetadata(folder + name);
}

#endif

std::optional<qint64> FileSize2(const QString& path) {
    return ReadFileMetadata(path).size;
}

QDateTime LastWriteTimeUtc(const QString& path) {
    return ReadFileMetadata(path).modifiedUtc;
}

}  // namespace tallyrook
