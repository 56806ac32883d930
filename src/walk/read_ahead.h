#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <atomic>
#include <memory>
#include <vector>

#include "walk/folder_chain.h"
#include "walk/walk_queue.h"

struct dirent;

namespace tallyrook::walk_detail {

// Workers that open, list and look up the folders the POSIX walk will enter next, so that the
// disk answers many questions at once. The walk hands over the subfolders of every folder it
// takes and takes the results in its own depth-first order; the workers read in that same order,
// at most ReadAheadLimits::folders folders (and bytes) ahead, with at most
// ReadAheadLimits::descriptors folders open. They never talk to the host: that stays with the
// walk, which applies every rule to what they read as if it had read it itself.
class ReadAhead {
public:
    struct Folder;
    using FolderRef = std::shared_ptr<Folder>;

    // What a worker found for one folder; the walk reads it once Wait() said it is there.
    struct Listing {
        int openError = 0;  // errno of opening it; nothing below is set then
        int readError = 0;  // errno of a listing that broke off
        quint64 device = 0, inode = 0;
        // Each entry: its EntryKind as one byte, its name (empty for EntryKind::Other), a NUL.
        QByteArray entries;
        std::vector<qint64> sizes;  // one per file entry, when sizes were asked for
        qsizetype subfolders = 0;   // none: the walk need not release the folder
    };

    // The sizes of one folder's files, read by a worker while the walk lists the folders before.
    class Sizes {
    public:
        // The k-th file's size; waits for the worker to get there.
        qint64 At(qsizetype k) const;

    private:
        friend class ReadAhead;
        int fd_ = -1;
        QByteArray names_;  // each NUL-ended
        std::vector<qint64> sizes_;
        mutable std::atomic<qsizetype> done_{0};
    };

    ReadAhead(const ReadAheadLimits& limits, bool readSizes);
    // Stops the workers without waiting for them: each ends after the call it is in.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Workers of every read-ahead, ended ones excepted: they end soon after a walk stops.
    static int RunningWorkers();

    // A folder the walk opened and listed itself (`fd`, duplicated here), with its subfolders in
    // the walk's order; `as` is the read-ahead's folder it stands for (none for a root). Null
    // when the descriptor budget is spent: the walk then goes on alone below it.
    FolderRef Adopt(int fd, const FolderRef& as, std::vector<QByteArray> subfolders);
    // The walk is about to enter `name`, the next subfolder of `parent` (taken or adopted): its
    // folder, or null when the read-ahead has none by that name.
    FolderRef Next(const FolderRef& parent, const QByteArray& name);
    // Waits up to `ms` milliseconds for the folder. True when its listing is there, the walk's
    // from then on, or when it is left to the walk (no descriptor to spare).
    bool Wait(const FolderRef& folder, int ms);
    // The listing of a folder Wait() answered for; null when it is left to the walk.
    std::unique_ptr<Listing> Take(const FolderRef& folder);
    // The walk is done with the folder: what was read or planned below it is dropped. Not
    // needed for a folder taken without subfolders.
    void Release(const FolderRef& folder);

    // Reads the sizes of `count` NUL-ended `names` in the folder open as `fd` (duplicated). Null
    // when the descriptor budget is spent.
    std::shared_ptr<Sizes> ReadSizes(int fd, const QByteArray& names, qsizetype count);

private:
    struct Shared;
    void StartWorkers();  // under the lock
    std::shared_ptr<Shared> shared_;
};

// What the walk makes of a directory entry, `fd` being its folder: links, fifos, sockets and
// devices are Other, and so is every name that begins with "." (hidden, and "." and "..").
EntryKind KindOf(int fd, const dirent& entry);
// A plain file's size in the folder `fd`, or FileInventory::NoSize.
qint64 SizeAt(int fd, const char* name);

}  // namespace tallyrook::walk_detail
