#pragma once

#include <QString>
#include <memory>

namespace tallyrook {

// Where one file went: enough to put it back.
struct TrashedFile {
    QString original;  // the path it had, as the request named it
    QString trashed;   // its place in the Trash
    QString record;    // its ".trashinfo" record; empty where the platform keeps none
};

// Moves files into the Trash of the drive that holds them, one at a time, and puts them back.
// On Linux and the BSDs it writes the freedesktop.org Trash itself: the home Trash for the home
// drive, "$top/.Trash/$uid" or "$top/.Trash-$uid" for other drives, the record first, then one
// rename. Elsewhere the platform's own Trash takes the file. A file is never copied and never
// deleted: one that no Trash can take stays where it is, and the reason says why.
//
// One writer serves one request: it learns each Trash's names once and then finds a free name
// for every file without trying the taken ones again.
class TrashWriter {
public:
    TrashWriter();
    ~TrashWriter();
    TrashWriter(const TrashWriter&) = delete;
    TrashWriter& operator=(const TrashWriter&) = delete;

    // Moves the file (or link) at `path`. False with `reason` when it stayed where it was.
    bool MoveToTrash(const QString& path, TrashedFile& moved, QString& reason);

    // What the user calls the Trash here: "Trash", or "Recycle Bin" on Windows.
    static QString TrashName();

    // Puts a moved file back at its original path and removes its record. Never replaces
    // anything: false with `reason` when the path is taken, its folder is gone, or the file is no
    // longer in the Trash.
    static bool Restore(const TrashedFile& moved, QString& reason);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace tallyrook
