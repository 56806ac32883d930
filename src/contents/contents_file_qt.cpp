// Looking at and reading files with Qt's file classes, for platforms without the POSIX calls.
// Qt gives no file ids, so two paths of one file are told apart only by their resolved names, and
// a file replaced in between is caught only by its size, last-write and change times.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "contents/contents_file.h"

namespace tallyrook::contents_detail {

class OpenedFile {
public:
    QFile file;
};

namespace {

Look LookOf(const QFileInfo& info) {
    Look look;
    if (!info.exists() && !info.isSymLink()) {
        look.kind = Kind::Missing;
        return look;
    }
    look.kind = info.isFile() && !info.isSymLink() ? Kind::File : Kind::NotAFile;
    const QDateTime modified = info.fileTime(QFileDevice::FileModificationTime);
    const QDateTime changed = info.fileTime(QFileDevice::FileMetadataChangeTime);
    look.id = {0, 0, info.size(), modified.toMSecsSinceEpoch() * 1'000'000,
               changed.toMSecsSinceEpoch() * 1'000'000};
    return look;
}

bool Unchanged(const QFileInfo& info, const Look& look) {
    const Look now = LookOf(info);
    return now.kind == Kind::File && now.id == look.id;
}

}  // namespace

bool OnLocalFileSystem(const QString& path) {
    Q_UNUSED(path);
    return false;
}

Look LookAt(const QString& path) {
    return LookOf(QFileInfo(path));
}

QString ResolvedFolder(const QString& folder) {
    return QDir(folder).canonicalPath();
}

void OpenedFileCloser::operator()(OpenedFile* file) const {
    delete file;
}

OpenedFilePtr OpenForReading(const QString& path, const Look& look, NotComparedReason& reason,
                             bool& tooMany) {
    tooMany = false;
    OpenedFilePtr opened(new OpenedFile);
    opened->file.setFileName(path);
    if (!Unchanged(QFileInfo(path), look)) {
        reason = NotComparedReason::Changed;
        return nullptr;
    }
    if (!opened->file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        reason =
            QFileInfo::exists(path) ? NotComparedReason::Unreadable : NotComparedReason::Vanished;
        return nullptr;
    }
    return opened;
}

bool ReadAt(OpenedFile& file, char* buffer, qint64 length, qint64 offset) {
    return file.file.seek(offset) && file.file.read(buffer, length) == length;
}

qint64 DataFrom(OpenedFile& file, qint64 offset) {
    Q_UNUSED(file);
    return offset;
}

qint64 ReadCachedAt(OpenedFile& file, char* buffer, qint64 length, qint64 offset) {
    Q_UNUSED(file);
    Q_UNUSED(buffer);
    Q_UNUSED(length);
    Q_UNUSED(offset);
    return 0;
}

qint64 PhysicalOffset(const QString& path) {
    Q_UNUSED(path);
    return -1;
}

bool StillSame(OpenedFile* file, const QString& path, const Look& look) {
    Q_UNUSED(file);
    return Unchanged(QFileInfo(path), look);
}

void Prefetch(const QString& path, qint64 length) {
    Q_UNUSED(path);
    Q_UNUSED(length);
}

bool OnRotatingDisk(quint64 device) {
    Q_UNUSED(device);
    return false;
}

int OpenFileLimit() {
    return 16;
}

}  // namespace tallyrook::contents_detail
