#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

#include "shared/file_names.h"  // ErrorText, for the callers of these look-ups

namespace tallyrook {

// Small path and metadata helpers shared by the walk, the passes, the folder list and the
// results window. Paths use "/"; none of these ever reads a file's contents.

// The text after the last "/"; the whole text when there is none.
QString FileNameOf(const QString& path);
// The text up to and including the last "/"; the empty text when there is none.
QString FolderOf(const QString& path);
// A folder's path without one closing "/", as the folder list shows it; the root "/" stays.
QString WithoutClosingSlash(const QString& path);
// The look-ups below work for paths longer than the system's limit too: they then go through the
// path one folder at a time.

// True when the path names a folder (a link to a folder counts); false when it cannot be read.
bool IsFolder(const QString& path);
// Whether the path names a folder whose entries can be read (a link to a folder counts): 0, or the
// system's error number that says why not (ENOTDIR for anything but a folder).
int FolderError(const QString& path);
// Whether a last-write time can be shown: 1601 to 9999. Others (a tmpfs date near the 64-bit
// limit, say) read as unknown.
bool DateCanBeShown(qint64 secondsSinceEpoch);

// Size and last-write time with one look-up, for the columns of a result row.
struct FileMetadata {
    std::optional<qint64> size;
    QDateTime modifiedUtc;
};
FileMetadata ReadFileMetadata(const QString& path);

// ReadFileMetadata for many files given by folder (ending with "/") and name, at the cost of a
// look-up of the name alone: the folder read from last stays open, so files asked for folder by
// folder (in inventory order) walk each folder's path once.
class FolderMetadataReader {
public:
    FolderMetadataReader() = default;
    ~FolderMetadataReader();
    FolderMetadataReader(const FolderMetadataReader&) = delete;
    FolderMetadataReader& operator=(const FolderMetadataReader&) = delete;

    FileMetadata Read(const QString& folder, const QString& name);

private:
    QString folder_;
    int descriptor_ = -1;  // -1: none open, or it could not be opened
};

}  // namespace tallyrook
