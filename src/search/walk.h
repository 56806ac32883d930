#pragma once

#include <QString>

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

}  // namespace tallyrook
