#include "file_functions.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <sys/stat.h>

#include <QFile>
#else
#include <QFileInfo>
#endif

namespace tallyrook {

QString FileNameOf(const QString& path) {
    return path.sliced(path.lastIndexOf(u'/') + 1);
}

QString FolderOf(const QString& path) {
    return path.first(path.lastIndexOf(u'/') + 1);
}

#ifdef Q_OS_UNIX

namespace {
// stat() follows links, as opening the path would.
bool StatPath(const QString& path, struct stat& info) {
    if (path.isEmpty())
        return false;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}
}  // namespace

bool IsFolder(const QString& path) {
    struct stat info;
    return StatPath(path, info) && S_ISDIR(info.st_mode);
}

bool FileExists(const QString& path) {
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
    // tv_nsec is never negative, so this floors correctly for times before 1970 too.
    const qint64 msecs = qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1'000'000;
    result.modifiedUtc = QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
    return result;
}

#else

bool IsFolder(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool FileExists(const QString& path) {
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
    result.modifiedUtc = info.lastModified().toUTC();
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
