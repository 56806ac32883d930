#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace tallyrook {

class Global;
class SearchHost;

enum class WalkResult {
    Completed,
    Stopped,        // the stop request was seen
    InventoryFull,  // the inventory cap was reached; the user was told, the records so far stay
    Abandoned,      // the host asked to give up at once (program ending)
};

// Walks one folder-list entry (its text as the list holds it) and appends a record for every
// plain file of the folder and all its subfolders to the inventory.
WalkResult AnalyzeFolder(const QString& folder, SearchHost& host, Global& global);

// The two passes of the walk, open for tests. AnalyzeFolder is all the rest of the program needs.
namespace walk_detail {

// The queue path of a folder-list entry: one trailing "/" dropped, then one appended, so "/"
// stays "/".
QString QueuePath(const QString& entry);

// A folder waiting for the listing pass, with the plain files its enumeration found. Keeping
// them spares the listing pass a second read of the folder.
struct QueuedFolder {
    QString path;        // ends with "/"; shared by the folder's records
    QByteArray rawPath;  // the same path as the file system spells it, for opening it again
    QByteArray files;    // file names as the file system spells them, each ended by a NUL
    qsizetype fileCount = 0;
};

// Folders in depth-first pre-order, root first. Unbounded: no folder is ever dropped.
using WalkQueue = std::vector<QueuedFolder>;

enum class PassStatus { Completed, Stopped, Abandoned };

// The enumeration pass for the folder at the back of the queue: appends its whole tree, each
// folder's listing collected before any subfolder is entered. Iterative, so depth costs no stack.
PassStatus QueueSubfolders(WalkQueue& queue, SearchHost& host);

// The names of a queued folder's plain files, in enumeration order.
QStringList ListFiles(const QueuedFolder& folder);

}  // namespace walk_detail

}  // namespace tallyrook
