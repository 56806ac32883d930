#include "search/file_functions.h"

#include <QFile>
#include <QtGlobal>

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

// stat() for a path past the system's length limit: each folder is opened relative to the one
// before, so no call sees more than one name. Links on the way are followed, as stat() would.
bool StatLongPath(const QByteArray& path, struct stat& info) {
    int folder = ::open(path.startsWith('/') ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const qsizetype last = path.lastIndexOf('/');
    for (qsizetype start = 0; folder >= 0 && start < last;) {
        qsizetype end = path.indexOf('/', start);
        if (end > start) {
            const QByteArray name = path.sliced(start, end - start);
            const int next = ::openat(folder, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::close(folder);
            folder = next;
        }
        start = end + 1;
    }
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

#endif

std::optional<qint64> FileSize2(const QString& path) {
    return ReadFileMetadata(path).size;
}

QDateTime LastWriteTimeUtc(const QString& path) {
    return ReadFileMetadata(path).modifiedUtc;
}

}  // namespace tallyrook
