#include "selection/list_actions.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "search/file_functions.h"

namespace tallyrook {

void RunRowCommand(SelectionList& list, RowCommand command, int row) {
    // A file that is not here has no folder here.
    if (row < 0 || row >= list.RowCount() || !list.IsHere(row))
        return;
    const QString& path = list.Row(row).path;
    switch (command) {
        case RowCommand::CheckFolder:
            list.SetCheckedInFolder(FolderOf(path), true);
            break;
        case RowCommand::UncheckFolder:
            list.SetCheckedInFolder(FolderOf(path), false);
            break;
        case RowCommand::ProtectFolder:
            list.Protect(FolderOf(path));
            break;
        case RowCommand::StopProtecting:
            list.StopProtecting(path);
            break;
    }
}

// Trash requests ---------------------------------------------------------------------------------

TrashRequests::Sent TrashRequests::Send(TrashDialogs& dialogs) {
    Sent sent;
    const QStringList requested = list_.UniqueCheckedPaths();
    if (requested.isEmpty())
        return sent;
    sent.asked = true;
    Request before;
    const TrashQuestion question = Question(requested, before);
    sent.outcome = SendToTrash(question, dialogs);
    QStringList moved;
    for (const TrashedFile& file : std::as_const(sent.outcome.moved))
        moved.append(file.original);
    sent.freed = list_.SpaceFreed(moved);
    if (!sent.outcome.uncheck.isEmpty()) {
        for (const QString& path : std::as_const(sent.outcome.uncheck))
            list_.SetCheckedByText(path, false);
        return sent;
    }
    if (sent.outcome.confirmed) {
        // The rows of files that went take their colours with them; the others keep theirs.
        RemoveGoneRows(requested);
        before.moved = sent.outcome.moved;
        last_ = std::move(before);
    }
    return sent;
}

TrashQuestion TrashRequests::Question(const QStringList& requested, Request& before) const {
    before.rows.reserve(size_t(list_.RowCount()));
    for (int k = 0; k < list_.RowCount(); ++k)
        before.rows.push_back(list_.Row(k));
    TrashQuestion question;
    question.paths = requested;
    const CopyChoice::Space space = list_.SpaceFreed(requested);
    question.bytes = space.bytes;
    question.namesFreeingNothing = space.namesFreeingNothing;
    // With compared contents the question is about copies; without, about the files a pass found
    // alike.
    if (list_.ContentsCompared()) {
        question.withoutCopy = list_.WithoutCopyLeft(requested);
        question.changed = list_.ChangedSinceCompared(requested, &before.asCompared);
        question.onlyCopyElsewhere = list_.OnlyCopiesElsewhere(requested);
    } else {
        question.withoutPossibleCopy =
            list_.WithoutPossibleCopy(QSet<QString>(requested.begin(), requested.end()));
    }
    return question;
}

void TrashRequests::RemoveGoneRows(const QStringList& requested) {
    QSet<QString> gone;
    for (const QString& path : requested) {
        if (!ExistsWithoutFollowingLinks(path))
            gone.insert(path);
    }
    list_.RemoveRowsOfPaths(gone);
}

void TrashRequests::Undo(TrashDialogs& dialogs) {
    const Request undo = std::exchange(last_, {});
    if (undo.moved.isEmpty())
        return;
    const RestoreOutcome outcome = RestoreFromTrash(undo.moved, dialogs);
    const QSet<QString> back(outcome.restored.begin(), outcome.restored.end());
    // Back unchanged, still the file compared; the undo checked it in the Trash by all its times.
    for (const QString& path : outcome.restored) {
        if (undo.asCompared.contains(path))
            list_.KeepComparedAfterUndo(path);
    }
    list_.ReplaceRows(RowsAfterUndo(undo, back));
}

std::vector<ResultRow> TrashRequests::RowsAfterUndo(const Request& undo,
                                                    const QSet<QString>& back) const {
    // The list as it was before the request, less the rows of files that did not come back;
    // rows that stayed keep the marks given since.
    QHash<QString, QList<int>> stayed;
    for (int k = list_.RowCount() - 1; k >= 0; --k)
        stayed[list_.Row(k).path].append(k);
    std::vector<ResultRow> rows;
    for (const ResultRow& before : undo.rows) {
        QList<int>* current = back.contains(before.path) ? nullptr : &stayed[before.path];
        if (current && current->isEmpty())
            continue;
        rows.push_back(current ? list_.Row(current->takeLast()) : before);
    }
    return rows;
}

// Comparison -------------------------------------------------------------------------------------

ListComparison::ListComparison(SelectionList& list, ContentsOptions options)
    : list_(list), options_(std::move(options)), poll_(new QTimer(this)) {
    poll_->setInterval(50);
    connect(poll_, &QTimer::timeout, this, &ListComparison::Poll);
}

ListComparison::~ListComparison() = default;

bool ListComparison::Start(std::function<void()> then) {
    if (running_ || list_.RowCount() == 0)
        return false;
    running_ = std::make_unique<Running>();
    running_->files = list_.ContentsFiles();
    running_->list = list_.ListNumber();
    running_->then = std::move(then);
    // A file that is not here is not read: what its path names here is another file. It may have
    // a fingerprint instead.
    running_->read = running_->files;
    running_->elsewhere.assign(size_t(list_.RowCount()), false);
    running_->fingerprints.resize(size_t(list_.RowCount()));
    for (int k = 0; k < list_.RowCount(); ++k) {
        if (list_.IsHere(k))
            continue;
        running_->read[k].path.clear();
        running_->elsewhere[size_t(k)] = true;
        if (const RecordedFingerprints* recorded = list_.Recorded())
            running_->fingerprints[size_t(k)] = recorded->byRecord.value(list_.Row(k).file);
    }
    running_->check = std::make_unique<ContentsCheck>(running_->read, options_);
    running_->check->Start();
    poll_->start();
    return true;
}

void ListComparison::Stop() {
    if (running_) {
        running_->stopped = true;
        running_->check->RequestStop();
    }
}

void ListComparison::Poll() {
    if (!running_) {
        poll_->stop();
        return;
    }
    // A stopped check goes at once, its results unused.
    if (!running_->stopped && !running_->check->IsFinished()) {
        Q_EMIT Progressed(running_->check->Progress());
        return;
    }
    poll_->stop();
    ContentsResults results;
    std::vector<bool> byFingerprint;
    if (!running_->stopped && !running_->check->Results().stopped) {
        results = running_->check->Results();
        JoinRecorded(results, byFingerprint);
    }
    const std::unique_ptr<Running> finished = std::move(running_);
    Q_EMIT Ended();
    // A stopped check leaves the list as it was; one of an earlier run's list is no longer true.
    if (finished->stopped || finished->list != list_.ListNumber() || results.stopped)
        return;
    list_.SetContents(finished->files, results, byFingerprint);
    if (finished->then)
        finished->then();
}

void ListComparison::JoinRecorded(ContentsResults& results, std::vector<bool>& byFingerprint) {
    Running& running = *running_;
    RecordedFingerprints* recorded = list_.Recorded();
    if (!recorded || running.list != list_.ListNumber() ||
        std::none_of(running.elsewhere.begin(), running.elsewhere.end(), [](bool e) { return e; }))
        return;
    // The files here that a fingerprint elsewhere may match are read once more, unless an
    // inventory holds theirs; the window stays live, and Stop stops it.
    FingerprintCount count;
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    const bool done = FingerprintFilesHere(running.read, results.files, running.fingerprints,
                                           recorded->store, count, [this, &sinceEvents](qint64) {
                                               if (sinceEvents.hasExpired(30)) {
                                                   QCoreApplication::processEvents();
                                                   sinceEvents.start();
                                               }
                                               return running_ && !running_->stopped;
                                           });
    if (!done || !running_ || running_->stopped) {
        results.stopped = true;
        return;
    }
    byFingerprint =
        JoinByFingerprint(running.files, running.elsewhere, running.fingerprints, results.files);
}

}  // namespace tallyrook
