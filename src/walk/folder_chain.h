#pragma once

#include <QtGlobal>
#include <functional>
#include <memory>

#include "search/run_options.h"
#include "walk/walk.h"
#include "walk/walk_queue.h"

namespace tallyrook::walk_detail {

enum class EntryKind { Other, Folder, File };

// The folders from the walk's root down to the one being worked on. The platform's file says how
// it opens them (folder_chain_posix.cpp: relative to the parent, never through a link, at most
// MaxOpen descriptors; folder_chain_qt.cpp: by whole path); CMake builds one of the two.
class FolderChain {
public:
    static constexpr int MaxOpen = 64;

    // `readAhead`: how far the POSIX walk reads ahead (the portable one reads as it goes);
    // `readSizes`: files' sizes are read with the listings.
    FolderChain(const ReadAheadLimits& readAhead, bool readSizes);
    ~FolderChain();
    FolderChain(const FolderChain&) = delete;
    FolderChain& operator=(const FolderChain&) = delete;

    // The root by its path: a folder-list entry that is a link is followed. 0 or an errno.
    int OpenRoot(const QueuedFolder& root);
    // False while the read-ahead still works on `folder`, the next subfolder of the deepest to
    // enter; waits a little first, so the caller can tend to the host between two calls.
    bool Ready(const QueuedFolder& folder);
    // A subfolder of the deepest folder becomes the deepest. 0 or an errno.
    int Enter(const QueuedFolder& folder);
    // The same without opening it: the listing pass opens a folder only for sizes that the
    // enumeration did not read.
    void EnterUnopened(const QueuedFolder& folder);
    // The listing pass enters the queue's folders after the root in order: the sizes it reads
    // are read ahead.
    void ListAhead(const WalkQueue& queue);
    // Back to the parent. `parentNeeded`: it will open more subfolders.
    void Leave(bool parentNeeded);
    int Depth() const;

    // True the first time the deepest folder is met in this run.
    bool EnterFirstTime(WalkedFolders& walked) const;
    // Marks the folder as opened, with the identity it had.
    void NoteIdentity(QueuedFolder& folder) const;

    // Reads the deepest folder's entries, giving each to `onEntry` until it answers false.
    // 0 or the errno of a folder that could not be read to its end.
    using OnEntry = std::function<bool(const char* name, qsizetype length, EntryKind kind)>;
    int Read(const OnEntry& onEntry);
    // A file's size in the deepest folder, or FileInventory::NoSize.
    qint64 SizeOf(const char* name);

private:
    class Chain;
    std::unique_ptr<Chain> chain_;
};

}  // namespace tallyrook::walk_detail
