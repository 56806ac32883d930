#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <utility>
#include <vector>

#include "search/step_result.h"

namespace tallyrook {

class Global;
class SearchHost;
struct RunOptions;

// The folders entered so far in one search run. A folder met again, under another spelling, a
// link, a bind mount or an overlapping folder-list entry, is skipped with its whole subtree, so
// no file is ever listed as the duplicate of itself.
class WalkedFolders {
public:
    // True the first time a folder is seen. POSIX: its device and inode numbers. The portable
    // walk has neither and knows a folder by its canonical path: links are seen through, bind
    // mounts are not.
    bool Enter(quint64 device, quint64 inode) { return Insert(ids_, std::pair(device, inode)); }
    bool Enter(const QString& canonicalPath) { return Insert(paths_, canonicalPath); }

private:
    template <typename Set, typename Key>
    static bool Insert(Set& set, const Key& key) {
        const qsizetype before = set.size();
        set.insert(key);
        return set.size() != before;
    }
    QSet<std::pair<quint64, quint64>> ids_;
    QSet<QString> paths_;
};

// Walks one folder-list entry (its text as the list holds it) and appends a record for every
// plain file of the folder and all its subfolders to the inventory, with its size while Exact
// Filesize is ticked in `options`. `walked` lives for the whole run.
StepResult AnalyzeFolder(const QString& folder, SearchHost& host, Global& global,
                         WalkedFolders& walked, const RunOptions& options);

// The walk's pieces, open for tests. AnalyzeFolder is all the rest of the program needs.
namespace walk_detail {

// The queue path of a folder-list entry: one trailing "/" dropped, then one appended, so "/"
// stays "/".
QString QueuePath(const QString& entry);

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
