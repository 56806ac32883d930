#include "run/search_run.h"

#include <vector>

#include "match/match_passes.h"
#include "search/result_list.h"
#include "search/run_options.h"
#include "search/search_host.h"
#include "shared/global.h"
#include "walk/walk.h"

namespace tallyrook {

namespace {

void BackToRest(SearchHost& host) {
    host.SetStage(SearchStage::Idle);
    host.SetRunning(false);
    host.SetProgress(0);
    host.SetBusy(false);
}

// Tells the host; false when the program ended meanwhile.
bool Tell(SearchHost& host, const SearchEvent& event) {
    host.Notify(event);
    return host.ProcessPendingEvents();
}

// The walk of every folder-list entry, then the files of saved inventories. Full when the file
// inventory filled up: the passes still run over what it holds.
StepResult WalkEntries(SearchHost& host, Global& global, const QStringList& entries,
                       const RunOptions& options) {
    // Overlapping entries (a folder twice, a folder and its subfolder, a link to a listed folder)
    // walk each folder once.
    WalkedFolders walkedFolders;
    for (const QString& entry : entries) {
        if (host.StopRequested())
            return StepResult::Stopped;
        const StepResult walked = AnalyzeFolder(entry, host, global, walkedFolders, options);
        if (walked != StepResult::Completed)
            return walked;
    }
    if (!options.addRecordedFiles)
        return StepResult::Completed;
    host.SetStage(SearchStage::Walk);
    return options.addRecordedFiles(host, global, entries);
}

// Each ticked criterion's pass in turn, each adding its groups of rows.
StepResult RunPasses(SearchHost& host, Global& global, ResultList& rows,
                     const RunOptions& options) {
    MatchPasses passes(host, global, rows, options);
    StepResult passed = StepResult::Completed;
    if (options.criteria.exactFilename) {
        host.SetStage(SearchStage::ExactFilename);
        passed = passes.ExactFilenamePass();
    }
    if (passed == StepResult::Completed && options.criteria.exactFilesize) {
        host.SetStage(SearchStage::ExactFilesize);
        passed = passes.ExactFilesizePass();
    }
    if (passed == StepResult::Completed && options.criteria.similarFilename) {
        host.SetStage(SearchStage::SimilarFilename);
        passed = passes.SimilarFilenamePass();
    }
    // Last: the only criterion that reads files, and only those whose size another file has.
    if (passed == StepResult::Completed && options.criteria.exactContents &&
        options.compareContents) {
        host.SetStage(SearchStage::ExactContents);
        std::vector<int> copySetOf;
        passed = options.compareContents(host, global, copySetOf);
        if (passed == StepResult::Completed)
            passed = passes.ExactContentsPass(copySetOf);
    }
    return passed;
}

}  // namespace

RunOutcome RunSearch(SearchHost& host, Global& global, ResultList& rows,
                     const RunOptions& options) {
    // Taken once: entries removed from the list during the run must not shift the walk.
    const QStringList entries = host.FolderEntries();
    if (entries.isEmpty() && !options.addRecordedFiles) {
        // Nothing is reset: the previous run's rows and inventory stay.
        if (!Tell(host, {SearchEvent::Kind::NoFolders}))
            return RunOutcome::Abandoned;
        BackToRest(host);
        return RunOutcome::EmptyFolderList;
    }

    global.inventory.ResetInventory();
    host.ClearStopRequest();
    host.SetRunning(true);
    rows.ClearRows();

    const StepResult walked = WalkEntries(host, global, entries, options);
    if (walked == StepResult::Abandoned)
        return RunOutcome::Abandoned;
    if (walked == StepResult::Stopped) {
        BackToRest(host);
        return RunOutcome::Stopped;
    }

    if (global.inventory.FileCount() > LargeInventoryFiles) {
        const bool proceed =
            host.ProceedWithLargeInventory({entries.size(), global.inventory.FileCount()});
        if (!host.ProcessPendingEvents())
            return RunOutcome::Abandoned;
        if (!proceed) {
            BackToRest(host);
            return RunOutcome::Declined;
        }
    }

    // Not the end of the run: no pass runs, and the run ends with "no duplicates".
    if (!options.criteria.Any() && !Tell(host, {SearchEvent::Kind::NoCriterion}))
        return RunOutcome::Abandoned;

    const StepResult passed = RunPasses(host, global, rows, options);
    if (passed == StepResult::Abandoned)
        return RunOutcome::Abandoned;
    if (passed == StepResult::Stopped) {
        // A stop keeps the rows found so far but does not show them.
        BackToRest(host);
        return RunOutcome::Stopped;
    }
    // The passes end here, but the rows found are worth showing.
    if (passed == StepResult::Full &&
        !Tell(host, {SearchEvent::Kind::RowsFull, {}, {}, options.rowLimit}))
        return RunOutcome::Abandoned;

    RunOutcome outcome = RunOutcome::ResultsShown;
    if (rows.RowCount() > 0) {
        host.ShowResults();
    } else if (passed == StepResult::Full) {
        // The first group alone is larger than the list: there are duplicates, none listed.
        outcome = RunOutcome::NothingFitted;
    } else {
        if (!Tell(host, {SearchEvent::Kind::NoDuplicates}))
            return RunOutcome::Abandoned;
        outcome = RunOutcome::NoDuplicates;
    }
    BackToRest(host);
    return outcome;
}

}  // namespace tallyrook
