#pragma once

#include <QSet>
#include <QString>
#include <utility>

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

// Walks one folder-list entry (its text as the list holds it), reporting the Walk stage with it
// and then without it once done, and appends a record for every
// plain file of the folder and all its subfolders to the inventory, with its size while Exact
// Filesize is ticked in `options`. `walked` lives for the whole run.
StepResult AnalyzeFolder(const QString& folder, SearchHost& host, Global& global,
                         WalkedFolders& walked, const RunOptions& options);

namespace walk_detail {
// The queue path of a folder-list entry: one trailing "/" dropped, then one appended, so "/"
// stays "/". What lies below it was walked with it.
QString QueuePath(const QString& entry);
}  // namespace walk_detail

}  // namespace tallyrook
