// The platform's own Trash (the Recycle Bin, the macOS Trash), through Qt.
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include "trash/trash_writer.h"

namespace tallyrook {

struct TrashWriter::Impl {};

TrashWriter::TrashWriter() : impl_(std::make_unique<Impl>()) {}
TrashWriter::~TrashWriter() = default;

// The platform's Trash keeps its own records.
void TrashWriter::Plan(const QStringList&) {}

bool TrashWriter::MoveToTrash(const QString& path, TrashedFile& moved, QString& reason) {
    moved = {};
    moved.original = path;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        reason = QCoreApplication::translate("TrashWriter", "The file no longer exists.");
        return false;
    }
    if (info.isDir() && !info.isSymLink()) {
        reason = QCoreApplication::translate("TrashWriter", "It is now a folder, not a file.");
        return false;
    }
    QFile file(path);
    if (!file.moveToTrash()) {
        reason =
            QCoreApplication::translate("TrashWriter", "It could not be moved into the Trash: %1.")
                .arg(file.errorString());
        return false;
    }
    // On success the file object names the file's place in the Trash.
    moved.trashed = file.fileName();
    const QFileInfo there(moved.trashed);
    moved.size = there.size();
    moved.modifiedNs = there.lastModified().toMSecsSinceEpoch() * 1'000'000;
    moved.changedNs = there.metadataChangeTime().toMSecsSinceEpoch() * 1'000'000;
    return true;
}

bool TrashWriter::StillInTrash(const TrashedFile& moved) {
    const QFileInfo there(moved.trashed);
    return !moved.trashed.isEmpty() && (there.exists() || there.isSymLink()) &&
           there.size() == moved.size &&
           there.lastModified().toMSecsSinceEpoch() * 1'000'000 == moved.modifiedNs &&
           there.metadataChangeTime().toMSecsSinceEpoch() * 1'000'000 == moved.changedNs;
}

QString TrashWriter::TrashName() {
    return QSysInfo::kernelType() == u"winnt"
               ? QCoreApplication::translate("TrashWriter", "Recycle Bin")
               : QCoreApplication::translate("TrashWriter", "Trash");
}

bool TrashWriter::Restore(const TrashedFile& moved, QString& reason) {
    if (!StillInTrash(moved)) {
        reason = QCoreApplication::translate("TrashWriter", "It is no longer in the Trash.");
        return false;
    }
    if (!QFileInfo(moved.original).absoluteDir().exists()) {
        reason = QCoreApplication::translate("TrashWriter", "Its folder no longer exists.");
        return false;
    }
    const QFileInfo target(moved.original);
    if (target.exists() || target.isSymLink()) {
        reason = QCoreApplication::translate("TrashWriter", "Another file now has its name.");
        return false;
    }
    // QFile::rename never replaces an existing file.
    QFile file(moved.trashed);
    if (!file.rename(moved.original)) {
        reason = QCoreApplication::translate("TrashWriter", "It could not be put back: %1.")
                     .arg(file.errorString());
        return false;
    }
    if (!moved.record.isEmpty())
        QFile::remove(moved.record);
    return true;
}

}  // namespace tallyrook
