#pragma once

#include <QHash>
#include <QStringList>
#include <functional>
#include <vector>

#include "inventory/inventory_file.h"
#include "search/step_result.h"

namespace tallyrook {

class FileInventory;
class Global;
class SearchHost;

// The inventory of a finished walk: every record of `walked` with its size, last write, device,
// inode and link count as they are now, its folder and the folder's file system. `roots` are
// the walked folders as given. `keepGoing` is told the progress (0 to 100) now and then; false
// abandons it.
bool MakeInventory(const FileInventory& walked, const QStringList& roots, Inventory& inventory,
                   const std::function<bool(int percent)>& keepGoing);

// Of inventories of one file system the newest walk counts (of two as new, the later given): by
// the file system's id, the index of the inventory whose files it takes.
QHash<QString, size_t> NewestWalks(const std::vector<Inventory>& inventories);

// Adds the files of saved inventories to a run's file inventory, after its walk, as if they had
// been walked: in the order given, each in its walk's order. Inventories of one file system are
// one source, the newest wins. Where that file system is mounted here, a folder under one of
// `walkedRoots` is left to the walk, and a file unchanged since (size, last write, inode) is a
// file like any other; the others keep their source and what the inventory recorded, and their
// fingerprints go to `fingerprints` (by record) when given. Inventories loaded without their
// files are read one at a time, each file straight into the run's file inventory; a damaged one
// is told as an unreadable folder (its path) after its files up to the damage.
StepResult AddInventories(const std::vector<Inventory>& inventories, SearchHost& host,
                          Global& global, const QStringList& walkedRoots, bool sizes,
                          QHash<qsizetype, QByteArray>* fingerprints = nullptr);

}  // namespace tallyrook
