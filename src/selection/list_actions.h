#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "contents/contents_check.h"
#include "selection/copy_choice.h"
#include "selection/selection_list.h"
#include "selection/trash_request.h"

class QTimer;

namespace tallyrook {

// What the results window's commands do to its list, without the window: the window asks, shows
// and tells; these act.

// The commands of a row's folder.
enum class RowCommand {
    CheckFolder,     // every row of a file in the row's folder or below it checked
    UncheckFolder,   // ... or unchecked
    ProtectFolder,   // the row's folder and everything below it kept, for this list
    StopProtecting,  // every protected folder holding the row no longer
};
// Runs `command` for the row at 0-based `row`; a row out of range, or of a file not here, does
// nothing.
void RunRowCommand(SelectionList& list, RowCommand command, int row);

// Sends the list's checked files to the Trash in one request, and undoes the last request.
class TrashRequests {
public:
    explicit TrashRequests(SelectionList& list) : list_(list) {}

    struct Sent {
        bool asked = false;  // false: nothing was checked, nothing asked
        TrashOutcome outcome;
        CopyChoice::Space freed;  // what the files now in the Trash gave back
    };
    // Asks `dialogs` once, about copies when the contents were compared and about the files a
    // pass found alike when not. Uncheck These unchecks the files named. Once confirmed, the rows
    // of every requested file that is gone leave the list (the others keep their marks), and the
    // request is the one Undo puts back.
    Sent Send(TrashDialogs& dialogs);
    bool CanUndo() const { return !last_.moved.isEmpty(); }
    // Puts the files of the last request back, and their rows where they were with their marks
    // and colours; rows that stayed keep the marks given since. One step: afterwards there is
    // nothing to undo.
    void Undo(TrashDialogs& dialogs);
    // A new run's list: the last request's files are no longer its to undo.
    void Forget() { last_ = {}; }

private:
    // The last confirmed request's moves and the list as it was just before.
    struct Request {
        QList<TrashedFile> moved;
        std::vector<ResultRow> rows;
        QSet<QString> asCompared;  // the requested files unchanged since compared
    };
    TrashQuestion Question(const QStringList& requested, Request& before) const;
    // Takes out every row of a requested path whose file is gone now.
    void RemoveGoneRows(const QStringList& requested);
    // The rows of `undo` less those of files that did not come back in `back`.
    std::vector<ResultRow> RowsAfterUndo(const Request& undo, const QSet<QString>& back) const;

    SelectionList& list_;
    Request last_;
};

// Compares the contents of a list's files in the background. The results go to the list once the
// check has finished, unless it was stopped or the list is another run's by then.
class ListComparison : public QObject {
    Q_OBJECT
public:
    explicit ListComparison(SelectionList& list, ContentsOptions options = {});
    ~ListComparison() override;

    bool IsRunning() const { return bool(running_); }
    // Starts the check of the whole list, unless one is running or the list is empty; `then`
    // runs once its results are in the list.
    bool Start(std::function<void()> then);
    // Stops at once, the results unused: a check that waits on a share that does not answer is
    // left to end on its own.
    void Stop();

Q_SIGNALS:
    void Progressed(const tallyrook::ContentsProgress& done);
    // The check is over, stopped or not: before its results go to the list.
    void Ended();

private:
    void Poll();
    // Files of saved inventories meet the files here by fingerprint: the check's copy sets joined
    // across. `results.stopped` when Stop came meanwhile.
    void JoinRecorded(ContentsResults& results, std::vector<bool>& byFingerprint);

    struct Running {
        QList<ContentsFile> files;  // the list's, as it knows them
        QList<ContentsFile> read;   // as the check reads them: none for a file not here
        std::vector<bool> elsewhere;
        std::vector<QByteArray> fingerprints;
        quint64 list = 0;  // the list's ListNumber() at the start
        std::function<void()> then;
        std::unique_ptr<ContentsCheck> check;
        bool stopped = false;
    };
    SelectionList& list_;
    ContentsOptions options_;
    std::unique_ptr<Running> running_;
    QTimer* poll_;
};

}  // namespace tallyrook
