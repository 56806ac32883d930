#pragma once

#include <QString>
#include <memory>

#include "contents/contents_check.h"

// How the contents check looks at and reads a file. The platform's file says how
// (contents_file_posix.cpp: lstat, descriptors opened without following links and without
// touching access times; contents_file_qt.cpp: Qt's file classes); CMake builds one of the two.
namespace tallyrook::contents_detail {

enum class Kind : quint8 { File, NotAFile, Missing, Unreadable };

// A path looked at without following a link.
struct Look {
    FileIdentity id;
    quint64 links = 1;  // hard links to the file
    Kind kind = Kind::Unreadable;
    bool sparse = false;  // has holes: fewer bytes stored than its size
};

// True where the file system holding `path` is on this machine's own disks. Only there does each
// file have a number of its own, so that two paths with one device and inode can be one file, and
// may the system be asked to read ahead. Not on FUSE or network file systems: their server passes
// on numbers (a view of several disks may give two files one), and the next open of a file asked
// ahead waits, unkillable, for pages asked of a server that may never answer. False where the
// system cannot tell.
bool OnLocalFileSystem(const QString& path);

Look LookAt(const QString& path);
// The folder with its links and ".." resolved; empty where it cannot be. Two paths of one file
// whose resolved folders and names are the same are one name reached twice, not two hard links.
QString ResolvedFolder(const QString& folder);

// An open file, read by offset.
class OpenedFile;
struct OpenedFileCloser {
    void operator()(OpenedFile* file) const;
};
using OpenedFilePtr = std::unique_ptr<OpenedFile, OpenedFileCloser>;

// Opens the path for reading if it is still the file `look` saw. Else null, with `reason`.
// `tooMany`: the descriptor limit was the reason, so closing another file may help.
OpenedFilePtr OpenForReading(const QString& path, const Look& look, NotComparedReason& reason,
                             bool& tooMany);
// Reads `length` bytes at `offset`: true when all were read.
bool ReadAt(OpenedFile& file, char* buffer, qint64 length, qint64 offset);
// The first offset from `offset` on where the file may hold data (its size when none): the bytes
// before it are a hole, which reads as zeros. `offset` itself where the system cannot tell.
qint64 DataFrom(OpenedFile& file, qint64 offset);
// Reads what the system holds in memory of `length` bytes at `offset`, without waiting for a
// disk: the bytes read, from 0 (none, or the system cannot tell) to `length`.
qint64 ReadCachedAt(OpenedFile& file, char* buffer, qint64 length, qint64 offset);
// Where the file's first bytes lie on its disk, so that files can be read in the order of their
// places; -1 where the file system cannot tell (or the file cannot be opened).
qint64 PhysicalOffset(const QString& path);
// Whether the open file and the path are still the file `look` saw, unchanged.
bool StillSame(OpenedFile* file, const QString& path, const Look& look);

// Asks the system to start reading the first `length` bytes of a file that is read soon, so that
// the disk works on several files at once. Reads nothing into the program. Only where
// OnLocalFileSystem().
void Prefetch(const QString& path, qint64 length);
// True where the file system of `device` (a LookAt() id) lies on a rotating disk, whose head
// seeks between the files of several readers. False where the system cannot tell.
bool OnRotatingDisk(quint64 device);
// How many files the check may keep open at once.
int OpenFileLimit();

}  // namespace tallyrook::contents_detail
