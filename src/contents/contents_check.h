#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace tallyrook {

// The contents check: sorts the files of a list into copy sets, files whose contents are byte for
// byte the same. Only files of equal size are read; several paths of one file (hard links, on a
// drive whose file numbers are its own) are one copy set without a read; every verdict of
// "identical" rests on compared bytes. The files of one size are read in step, chunk by chunk, and
// a file leaves its set at the first chunk that differs, so each byte is read at most once. Sizes
// are compared in parallel by a few readers; a rotating disk serves one of them at a time, in the
// order of its files' places. Memory and open descriptors stay bounded whatever the size of a set.
// Nothing is written, links are never followed, and access times are left alone where the system
// allows.

// A file of the list, as the list knows it. A path may stand several times (a file listed by
// several passes): each distinct path is checked once and every entry gets its result.
struct ContentsFile {
    QString path;
    qint64 size = -1;    // bytes, as the search recorded it; -1 when it has none
    QDateTime modified;  // the row's last-write time; invalid when it has none
};

// The files of a list as the check asks for them, one entry at a time and from any of its
// threads: a million files need not stand as a million paths beside the list that holds them.
// What it gives must not change while a check uses it.
class ContentsSource {
public:
    virtual ~ContentsSource() = default;
    virtual qsizetype Count() const = 0;
    virtual ContentsFile At(qsizetype entry) const = 0;
};

// What identifies a file as it was compared. A later look at the path that gives another identity
// means the file was changed or replaced since.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;      // 0 with device 0 where the platform has no file ids
    qint64 size = -1;       // -1: the file could not be looked at
    qint64 modifiedNs = 0;  // last write, nanoseconds since 1970 UTC
    // Last change of contents or metadata, likewise: a rewrite whose times were put back moves
    // it, and so does a chmod.
    qint64 changedNs = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file the path names now (a link is not followed: it gives size -1).
FileIdentity CurrentIdentity(const QString& path);

enum class CopyState : quint8 {
    HasCopies,    // byte for byte the same as the other files of its copy set
    NoCopy,       // no other file of the list has the same contents
    NotCompared,  // see NotComparedReason
};

enum class NotComparedReason : quint8 {
    None,        // compared
    Unreadable,  // could not be opened or read
    Vanished,    // no longer there
    Changed,     // size or last-write time not the list's, or changed (or replaced) while read
    NotAFile,    // now a link, folder, fifo, socket or device
    SameFile,    // another path of the list names this very file, not a copy of it (a folder
                 // listed twice, once through a link)
    Stopped,     // the check was stopped before it got there
};

struct ContentsResult {
    int copySet = 0;      // from 1, in the order of each set's first file in the list; 0: none
    int otherCopies = 0;  // the other paths of its copy set
    CopyState state = CopyState::NotCompared;
    NotComparedReason reason = NotComparedReason::Stopped;
    FileIdentity identity;  // as looked at before reading; size -1 when that failed
    int file = 0;  // from 1, shared by the paths read as one file (hard links); 0: not compared
    quint64 links = 0;  // the file's names (hard links) then; 0 when it was not looked at
};

struct ContentsResults {
    std::vector<ContentsResult> files;  // one per input entry, in input order
    int copySets = 0;
    bool stopped = false;
    qint64 bytesRead = 0;  // contents read, all files together
};

// Files are distinct paths. Bytes are those of the files that must be read (sizes shared by
// another file); their total is known once every file has been looked at, 0 before.
struct ContentsProgress {
    qint64 filesDone = 0;
    qint64 filesTotal = 0;
    qint64 bytesDone = 0;
    qint64 bytesTotal = 0;
};

// Limits for special callers; the defaults suit everyone else.
struct ContentsOptions {
    qint64 maxChunk = 128 << 10;    // the largest read; the first read of a file is 4 KiB
    qint64 memoryBudget = 1 << 20;  // chunks held for comparison at once, beyond two
    int maxOpenFiles = 0;           // 0: a quarter of the descriptor limit, at most 256
    // Files of different sizes compared at once: 0 for as many as there are cores, at least 4,
    // at most 8, each rotating disk read by one of them at a time; 1 for one at a time, which
    // reads every disk in the order of its files' places. The results are the same.
    int readers = 0;
    // Called on the reading thread after each chunk is read (for tests that change a file while
    // it is read).
    std::function<void(const QString& path, qint64 offset)> afterRead;
};

// The check on a thread of its own, for a window or a program that shows progress. The caller
// polls Progress() and IsFinished(), or waits; Results() once finished.
class ContentsCheck {
public:
    explicit ContentsCheck(QList<ContentsFile> files, ContentsOptions options = {});
    explicit ContentsCheck(std::shared_ptr<const ContentsSource> files,
                           ContentsOptions options = {});
    // Stops the check and waits for its thread a moment; a thread still in a read then (a share
    // that does not answer) is left to end on its own.
    ~ContentsCheck();
    ContentsCheck(const ContentsCheck&) = delete;
    ContentsCheck& operator=(const ContentsCheck&) = delete;

    void Start();
    // Asks the check to end before its next read, and returns at once; IsFinished() or Wait()
    // tell when it has. Files not reached by then are "not compared" (Stopped).
    void RequestStop();
    // The same, then waits for the thread, which is gone when this returns: at most one chunk's
    // read.
    void Stop();
    // True once finished (or never started); msecs < 0 waits as long as it takes.
    bool Wait(int msecs = -1);
    bool IsFinished() const;
    ContentsProgress Progress() const;  // from any thread, at any time
    const ContentsResults& Results() const;
    // The results, taken out of the check, which keeps none.
    ContentsResults TakeResults();

private:
    class Worker;
    std::shared_ptr<Worker> worker_;
};

// The same on the calling thread, for the command line and tests.
ContentsResults CheckContents(const QList<ContentsFile>& files,
                              const ContentsOptions& options = {});

}  // namespace tallyrook
