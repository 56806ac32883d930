#include "selection/trash_request.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>

#include "trash/trash_writer.h"

namespace tallyrook {

// The request's texts, translated under this one name.
struct TrashTexts {
    Q_DECLARE_TR_FUNCTIONS(TrashTexts)
};

bool ExistsWithoutFollowingLinks(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

TrashOutcome SendToTrash(const TrashQuestion& question, TrashDialogs& dialogs) {
    TrashOutcome outcome;
    const QStringList& paths = question.paths;
    if (paths.isEmpty())
        return outcome;
    const TrashAnswer answer = dialogs.Confirm(question);
    if (answer == TrashAnswer::UncheckThese)
        outcome.uncheck = question.Named();
    if (answer != TrashAnswer::Yes)
        return outcome;
    outcome.confirmed = true;

    TrashWriter writer;
    writer.Plan(paths);
    const int total = static_cast<int>(paths.size());
    dialogs.BeginProgress(total);
    for (int k = 0; k < total; ++k) {
        if (!dialogs.Advance(k)) {
            outcome.cancelled = true;
            for (int rest = k; rest < total; ++rest)
                outcome.failures.append(
                    {paths.at(rest), TrashTexts::tr("The request was cancelled before it got to "
                                                    "this file. It was left in place.")});
            break;
        }
        TrashedFile moved;
        QString reason;
        if (writer.MoveToTrash(paths.at(k), moved, reason))
            outcome.moved.append(moved);
        else if (ExistsWithoutFollowingLinks(paths.at(k)))
            outcome.failures.append(
                {paths.at(k), reason + u' ' + TrashTexts::tr("It was left in place.")});
        else
            outcome.failures.append({paths.at(k), reason});
    }
    if (!outcome.cancelled)
        dialogs.Advance(total);
    dialogs.EndProgress();
    if (!outcome.failures.isEmpty())
        dialogs.ReportFailures(outcome.failures);
    return outcome;
}

RestoreOutcome RestoreFromTrash(const QList<TrashedFile>& moved, TrashDialogs& dialogs) {
    RestoreOutcome outcome;
    for (const TrashedFile& file : moved) {
        QString reason;
        if (TrashWriter::Restore(file, reason))
            outcome.restored.append(file.original);
        else if (TrashWriter::StillInTrash(file))
            outcome.failures.append(
                {file.original,
                 reason + u' ' +
                     TrashTexts::tr("It is still in the %1.").arg(TrashWriter::TrashName())});
        else
            outcome.failures.append({file.original, reason});
    }
    if (!outcome.failures.isEmpty())
        dialogs.ReportNotRestored(outcome.failures);
    return outcome;
}

QStringList TrashQuestion::Named() const {
    QStringList named;
    for (const QStringList* list : {&withoutPossibleCopy, &withoutCopy, &changed}) {
        for (const QString& path : list->mid(0, NamedPaths)) {
            if (!named.contains(path))
                named.append(path);
        }
    }
    return named;
}

QString FreeNothingText(int names) {
    return names == 1 ? TrashTexts::tr(
                            "1 checked name is another name of a file that stays: it frees no "
                            "space")
                      : TrashTexts::tr(
                            "%1 checked names are other names of files that stay: they free "
                            "no space")
                            .arg(QLocale().toString(names));
}

}  // namespace tallyrook
