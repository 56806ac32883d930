#pragma once

#include <QString>

namespace tallyrook {

// What a search run tells its host besides its progress. Each host puts an event in its own
// words: the windows in a message box, tallyrook-cli in a line on stderr.
struct SearchEvent {
    enum class Kind {
        NoFolders,         // the folder list is empty: nothing was reset or searched
        NoCriterion,       // no criterion ticked: the walk ran and no pass will
        SkippedName,       // `path` (folder and name) was left out: its name is not valid UTF-8
        UnreadableFolder,  // `path` (without a closing "/") could not be read, for `reason`
        InventoryFull,     // the walk stopped at `count` files, the most one search compares
        RowsFull,          // the passes stopped at `count` rows, the most this run may list
        NoDuplicates,      // the passes found no row
    };

    Kind kind;
    // SkippedName: the path with the bytes that are not UTF-8 written \xHH. UnreadableFolder: the
    // folder's path.
    QString path{};
    QString reason{};     // UnreadableFolder: the system's words
    qsizetype count = 0;  // InventoryFull, RowsFull
};

// The question a large inventory raises before the passes: go on comparing?
struct LargeInventory {
    qsizetype folderEntries = 0;  // in the folder list
    qsizetype files = 0;          // in the inventory
};

}  // namespace tallyrook
