#pragma once

// The walk's own pieces, shared by its folder chain and read-ahead and open for tests. The rest
// of the program needs only walk/walk.h.

#include <QByteArray>
#include <QString>
#include <vector>

namespace tallyrook {

namespace walk_detail {

// A folder waiting for the listing pass, with the plain files its enumeration found. Keeping
// them spares the listing pass a second read of the folder.
struct QueuedFolder {
    QString path;     // ends with "/"; shared by the folder's records
    QByteArray name;  // as the file system spells it: relative to the parent, the whole path for
                      // the root
    int depth = 0;    // 0 for the root
    quint64 device = 0, inode = 0;  // as the enumeration found it; the portable walk leaves 0
    bool opened = false;            // false: it could not be read and counts as empty
    QByteArray files;               // file names as the file system spells them, each NUL-ended
    qsizetype fileCount = 0;
    // Their sizes as the enumeration read them (NoSize: unreadable), when Exact Filesize was
    // ticked as the walk began; empty otherwise.
    std::vector<qint64> sizes;
};

// Folders in depth-first pre-order, root first.
using WalkQueue = std::vector<QueuedFolder>;

}  // namespace walk_detail

}  // namespace tallyrook
