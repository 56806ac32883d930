#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <vector>

#include "contents/contents_check.h"
#include "selection/protected_folders.h"

namespace tallyrook {

// Which copy a helper keeps when it checks the others.
enum class KeeperRule { Newest, Oldest, Largest, ShortestPath };

// Where a file of the list is, for a list compared with files of saved inventories.
struct CopyPlace {
    QString source;              // "MACHINE: LABEL" of a file that is not here; empty for one here
    bool byFingerprint = false;  // its copies are known by fingerprint, not byte for byte
};

// The list's files as a user chooses among them once their contents are compared: files, not
// names (the paths that name one file go together), copy sets of two or more files, and the space
// a choice gives back. An empty file is never a copy: it is a placeholder put there on purpose,
// and trashing it frees nothing. Without a comparison every path is a file of its own and in no
// copy set.
class CopyChoice {
public:
    CopyChoice() = default;
    // `files` as given to the contents check (paths may repeat), `results` its answer, one per
    // file; empty when the contents were not compared. A file without a listed size takes the
    // one the check saw. `places`, one per file when given, say which files are not here: each
    // is a copy that stays, never checked.
    CopyChoice(const QList<ContentsFile>& files, const std::vector<ContentsResult>& results,
               const std::vector<CopyPlace>& places = {});

    // The distinct paths, in the order of their first entry.
    int PathCount() const { return int(paths_.size()); }
    const QString& Path(int p) const { return paths_[size_t(p)].path; }
    // -1 when the list has no such path.
    int IndexOf(const QString& path) const { return index_.value(path, -1); }
    bool IsEmptyFile(int p) const { return paths_[size_t(p)].empty; }
    // Where a file not here is ("MACHINE: LABEL"); empty for a file here.
    const QString& SourceOf(int p) const { return paths_[size_t(p)].source; }
    bool ByFingerprint(int p) const { return paths_[size_t(p)].byFingerprint; }

    // The copy set of the path's file: from 1, in the order of each set's first path; 0 for none.
    int CopySet(int p) const { return files_[size_t(paths_[size_t(p)].file)].set; }
    int CopySetCount() const { return int(sets_.size()); }
    // The paths of the other files of its copy set, each file's names together.
    QList<int> OtherCopies(int p) const;
    // How many other files its copy set has.
    int OtherCopyCount(int p) const;
    // The other paths of the list that name the path's file (hard links, or one name reached
    // twice).
    QList<int> OtherNames(int p) const;
    // Paths that name one file share its number: from 1, in the order of each such file's first
    // path; 0 for a file no other path names.
    int FileNumber(int p) const { return files_[size_t(paths_[size_t(p)].file)].number; }

    // What a helper checks, by path: in every copy set, every file but one, the keeper by `rule`
    // (the first in the list on a tie; a file without the measure loses), with all its names.
    // Where a set has protected files or files not here, they are the keepers and the others are
    // checked. Nothing else is checked: the result is the whole selection.
    std::vector<bool> Choose(KeeperRule rule, const ProtectedFolders& protectedFolders) const;
    // Where the path goes with the `going` paths (by path) and the one copy of its file left is not
    // here: that copy's source, for "the other copy is on MACHINE: LABEL". Empty otherwise.
    QString OnlyCopyLeftElsewhere(int p, const std::vector<bool>& going) const;

    // What sending `checked` paths to the Trash gives back. A file's bytes count only when every
    // one of its names goes (its link count); checked names of files that stay free nothing.
    struct Space {
        qint64 bytes = -1;  // -1 when no freed file's size is known
        int files = 0;      // files freed
        int namesFreeingNothing = 0;
    };
    Space SpaceFreed(const QList<int>& checked) const;

    // What a comparison found: copy sets, the files in them, and the space the extra copies take
    // (all but one file of each set; a file's names count once).
    struct Summary {
        int sets = 0;
        int files = 0;
        qint64 extraBytes = 0;
    };
    Summary CopySummary() const;

private:
    struct PathEntry {
        QString path;
        qint64 bytes = -1;
        QDateTime modified;
        bool empty = false;  // 0 bytes, as listed or as the check found it
        int file = 0;        // index into files_
        QString source;      // not here: where it is
        bool byFingerprint = false;
    };
    struct FileEntry {
        QList<int> names;   // paths, in list order
        quint64 links = 0;  // 0: not known
        int set = 0;
        int number = 0;
    };
    std::vector<PathEntry> paths_;
    QHash<QString, int> index_;
    std::vector<FileEntry> files_;
    std::vector<QList<int>> sets_;  // files, in list order
};

}  // namespace tallyrook
