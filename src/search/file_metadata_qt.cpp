// The file metadata look-ups through Qt's file classes, for platforms without the POSIX calls: by
// whole paths, so a path past the system's length limit reads as missing.
#include <QFileInfo>
#include <cerrno>

#include "search/file_functions.h"

namespace tallyrook {

bool IsFolder(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

int FolderError(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return ENOENT;
    if (!info.isDir())
        return ENOTDIR;
    return info.isReadable() ? 0 : EACCES;
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
    if (DateCanBeShown(seconds))
        result.modifiedUtc = modified;
    return result;
}

FolderMetadataReader::~FolderMetadataReader() = default;

FileMetadata FolderMetadataReader::Read(const QString& folder, const QString& name) {
    return ReadFileMetadata(folder + name);
}

}  // namespace tallyrook
