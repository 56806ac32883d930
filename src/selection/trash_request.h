#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "trash/trash_writer.h"

namespace tallyrook {

// Our small "shell" layer: one request moves a list of files to the Trash (the freedesktop Trash
// on Linux, the Recycle Bin on Windows) with one confirmation, a progress dialog that can be
// cancelled, and one report of the files that could not be moved. It never deletes a file
// outright: a file that no Trash can take stays where it is.

struct TrashFailure {
    QString path;
    QString reason;
};

struct TrashOutcome {
    bool confirmed = false;    // false: the user declined and nothing was touched
    QStringList uncheck;       // answered Uncheck These: the files named, to uncheck
    bool cancelled = false;    // the user cancelled part-way; the rest is among the failures
    QList<TrashedFile> moved;  // the files now in the Trash, in request order
    QList<TrashFailure> failures;
};

// What the one question of a request tells besides the files.
struct TrashQuestion {
    QStringList paths;
    qint64 bytes = -1;  // the files' total size; -1 when not known
    // Without a comparison of contents: the files that leave no file of their size unchecked in
    // any set a pass found alike (only equal sizes may be copies).
    QStringList withoutPossibleCopy;
    // With one: the files that leave no identical copy behind, and those that changed since they
    // were compared.
    QStringList withoutCopy;
    QStringList changed;
    // The files whose one copy left is not here, each with where it is ("MACHINE: LABEL"): not a
    // warning, since that copy stays, but worth knowing.
    QList<std::pair<QString, QString>> onlyCopyElsewhere = {};
    // Checked names of files that stay under other names.
    int namesFreeingNothing = 0;

    // The most files a warning names; the rest are counted.
    static constexpr qsizetype NamedPaths = 10;
    // Whether the question warns, and then defaults to No and offers Uncheck These.
    bool Warns() const {
        return !withoutPossibleCopy.isEmpty() || !withoutCopy.isEmpty() || !changed.isEmpty();
    }
    // The files its warnings name, each once, in order: what Uncheck These unchecks.
    QStringList Named() const;
};

// The answers to the question.
enum class TrashAnswer { Yes, No, UncheckThese };

// "3 checked names are other names of files that stay: they free no space"
QString FreeNothingText(int names);

// What a request asks of the one who made it: a window shows dialogs, tests answer in code.
class TrashDialogs {
public:
    virtual ~TrashDialogs() = default;
    // One question for the whole request: Yes to go ahead.
    virtual TrashAnswer Confirm(const TrashQuestion& question) = 0;
    // Progress over `total` files; Advance returns false once the user has cancelled.
    virtual void BeginProgress(int total) = 0;
    virtual bool Advance(int done) = 0;
    virtual void EndProgress() = 0;
    // Called once, only when something could not be moved.
    virtual void ReportFailures(const QList<TrashFailure>& failures) = 0;
    // Called once by an undo, only when something could not be put back.
    virtual void ReportNotRestored(const QList<TrashFailure>& failures) = 0;
};

// True when `path` names an entry of the file system: a link counts as itself, even a broken one,
// since a link is what the Trash takes.
bool ExistsWithoutFollowingLinks(const QString& path);

// Asks once, then moves every path to the Trash. An empty list asks nothing.
TrashOutcome SendToTrash(const TrashQuestion& question, TrashDialogs& dialogs);

// What an undo put back, and what it could not.
struct RestoreOutcome {
    QStringList restored;  // original paths that have their file again
    QList<TrashFailure> failures;
};

// Puts every file of a request back at its original path and removes its record, without asking.
// A file whose path is taken, whose folder is gone or that left the Trash stays where it is and is
// named in one report; nothing is replaced or deleted.
RestoreOutcome RestoreFromTrash(const QList<TrashedFile>& moved, TrashDialogs& dialogs);

}  // namespace tallyrook
