#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

namespace tallyrook {

// Where one file went: enough to put it back.
struct TrashedFile {
    QString original;  // the path it had, as the request named it
    QString trashed;   // its place in the Trash
    QString record;    // its ".trashinfo" record; empty where the platform keeps none

    // What it was when it went, so that an undo puts back only that: the Trash may have been
    // emptied since and its names reused by other programs. Zero where the platform cannot say.
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;  // taken in the Trash: the move itself changes it on most drives
    quint64 recordInode = 0;
    QByteArray recordContent;  // the record exactly as written
};

// Moves files into the Trash of the drive that holds them, one at a time, and puts them back.
// On Linux and the BSDs it writes the freedesktop.org Trash itself: the home Trash for the home
// drive, "$top/.Trash/$uid" or "$top/.Trash-$uid" for other drives, a complete record first,
// then one rename that never replaces anything. Elsewhere the platform's own Trash takes the
// file. A file is never copied and never deleted: one that no Trash can take stays where it is,
// and the reason says why. Nothing already in a Trash's "files" or "info" is taken.
//
// One writer serves one request: it learns each Trash's names once and then finds a free name
// for every file without trying the taken ones again; names that other programs take meanwhile
// cost a retry, not a failure.
class TrashWriter {
public:
    TrashWriter();
    ~TrashWriter();
    TrashWriter(const TrashWriter&) = delete;
    TrashWriter& operator=(const TrashWriter&) = delete;

    // The paths the request is about to move, in order. Their records are then written ahead in
    // batches, each batch made durable by one sync before any of its files moves; a path not
    // planned gets a sync of its own.
    void Plan(const QStringList& paths);

    // Moves the file (or link) at `path`. False with `reason` when it stayed where it was.
    bool MoveToTrash(const QString& path, TrashedFile& moved, QString& reason);

    // What the user calls the Trash here: "Trash", or "Recycle Bin" on Windows.
    static QString TrashName();

    // Puts a moved file back at its original path and removes its record. Never replaces,
    // moves or deletes anything else: false with `reason` when the path is taken, its folder is
    // gone, or the file with its record is no longer in the Trash.
    static bool Restore(const TrashedFile& moved, QString& reason);

    // True while the file is still in the Trash as it was moved, with its record.
    static bool StillInTrash(const TrashedFile& moved);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace tallyrook
