#include "search/search_run.h"

#include "search/formats.h"
#include "search/match_passes.h"
#include "search/result_list.h"
#include "search/search_host.h"
#include "search/walk.h"
#include "shared/global.h"
#include "shared/program.h"

namespace tallyrook {

namespace {

const QString AppTitle = ProgramName;

QString LargeInventoryQuestion(qsizetype entries, qsizetype files, const QLocale& locale) {
    return u"The " % QString::number(entries) % u" folder(s) you've selected contains " %
           GroupedNumber(files, locale) %
           u" files. This is over the recommended amount of 20,000. Please remove some folders "
           u"from the list by selecting them and pressing 'Delete' on the keyboard or click "
           u"'Clear List'." %
           u"\r\r" %
           u"You can still proceed, but the duplicate finding process may take a long time. "
           u"Would you like to proceed anyway?";
}

QString RowsFullMessage(int rowLimit, const QLocale& locale) {
    return u"The results list is full: one search can list at most " %
           GroupedNumber(rowLimit, locale) %
           u" rows. Later matches were not listed. To see them, search fewer folders or tick "
           u"fewer options.";
}

void BackToRest(SearchHost& host) {
    host.SetStage(SearchStage::Idle);
    host.SetRunning(false);
    host.SetCaption(AppTitle);
    host.SetProgress(0);
    host.SetBusy(false);
}

}  // namespace

RunOutcome RunSearch(SearchHost& host, Global& global, ResultList& rows, const QLocale& locale,
                     int rowLimit) {
    // Taken once: entries removed from the list during the run must not shift the walk.
    const QStringList entries = host.FolderEntries();
    if (entries.isEmpty()) {
        // Nothing is reset: the previous run's rows, inventory and colours stay.
        host.ShowMessage(QStringLiteral("There are no folders to find duplicates for. Please drag "
                                        "and drop some folders into the list above."),
                         AppTitle);
        if (!host.ProcessPendingEvents())
            return RunOutcome::Abandoned;
        BackToRest(host);
        return RunOutcome::EmptyFolderList;
    }

    global.rowColors.ResetRowColors();
    global.inventory.ResetInventory();
    host.ClearStopRequest();
    host.SetRunning(true);
    rows.ClearRows();

    // Overlapping entries (a folder twice, a folder and its subfolder, a link to a listed folder)
    // walk each folder once.
    WalkedFolders walkedFolders;
    host.SetStage(SearchStage::Walk);
    for (const QString& entry : entries) {
        if (host.StopRequested()) {
            BackToRest(host);
            return RunOutcome::Stopped;
        }
        const StepResult walked = AnalyzeFolder(entry, host, global, walkedFolders);
        if (walked == StepResult::Abandoned)
            return RunOutcome::Abandoned;
        if (walked == StepResult::Stopped) {
            BackToRest(host);
            return RunOutcome::Stopped;
        }
        // A full inventory was reported by the walk; the passes still run over what it holds.
        if (walked == StepResult::Full)
            break;
    }

    if (global.inventory.FileCount() > LargeInventory) {
        const bool proceed = host.AskYesNo(
            LargeInventoryQuestion(entries.size(), global.inventory.FileCount(), locale),
            QStringLiteral("Question"));
        if (!host.ProcessPendingEvents())
            return RunOutcome::Abandoned;
        if (!proceed) {
            BackToRest(host);
            return RunOutcome::Declined;
        }
    }

    if (!host.ExactFilename() && !host.ExactFilesize() && !host.SimilarFilename()) {
        // Not the end of the run: no pass runs, and the run ends with "No dupes".
        host.ShowMessage(QStringLiteral("Please select at least one option at the upper right: "
                                        "Exact Filename, Exact Filesize, Similar Filename"),
                         QStringLiteral("Choose"));
        if (!host.ProcessPendingEvents())
            return RunOutcome::Abandoned;
    }

    MatchPasses passes(host, global, rows);
    passes.SetRowLimit(rowLimit);
    StepResult passed = StepResult::Completed;
    if (host.ExactFilename()) {
        host.SetStage(SearchStage::ExactFilename);
        host.SetCaption(AppTitle + u" [Finding duplicates - Exact Filename]");
        passed = passes.ExactFilenamePass();
    }
    if (passed == StepResult::Completed && host.ExactFilesize()) {
        const int firstRow = rows.RowCount() + 1;
        host.SetStage(SearchStage::ExactFilesize);
        host.SetCaption(AppTitle + u" [Finding duplicates - Exact Filesize]");
        passed = passes.ExactFilesizePass(firstRow);
    }
    if (passed == StepResult::Completed && host.SimilarFilename()) {
        const int firstRow = rows.RowCount() + 1;
        host.SetStage(SearchStage::SimilarFilename);
        host.SetCaption(AppTitle + u" [Finding duplicates - Similar Filename]");
        passed = passes.SimilarFilenamePass(firstRow);
    }
    if (passed == StepResult::Abandoned)
        return RunOutcome::Abandoned;
    if (passed == StepResult::Stopped) {
        // A stop keeps the rows found so far but does not show them.
        BackToRest(host);
        return RunOutcome::Stopped;
    }
    if (passed == StepResult::Full) {
        // The passes end here, but the rows found are worth showing.
        host.ShowMessage(RowsFullMessage(rowLimit, locale), AppTitle);
        if (!host.ProcessPendingEvents())
            return RunOutcome::Abandoned;
    }

    RunOutcome outcome = RunOutcome::ResultsShown;
    if (rows.RowCount() > 0) {
        host.ShowResults();
    } else {
        host.ShowMessage(QStringLiteral("No duplicate MP3s found."), QStringLiteral("No dupes"));
        if (!host.ProcessPendingEvents())
            return RunOutcome::Abandoned;
        outcome = RunOutcome::NoDuplicates;
    }
    BackToRest(host);
    return outcome;
}

}  // namespace tallyrook
