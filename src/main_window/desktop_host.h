#pragma once

#include <QElapsedTimer>

#include "search/search_host.h"

namespace tallyrook {

class Dialogs;
class Form1;
class SettingsStore;
struct RunOptions;

// The search run's window: the main window's caption, progress bar and buttons, the stop request
// in the settings store, and the dialogs, which put the run's events in the window's words (in
// the locale of the run's options); the names a walk skips come in one report after it. Once the
// main window is closing it answers every poll with "abandon" and shows and writes nothing more.
class DesktopHost : public SearchHost {
public:
    // Pending events are handled at most this often, so painting never slows a walk.
    static constexpr int EventIntervalMs = 30;

    DesktopHost(Form1& form, SettingsStore& settings, Dialogs& dialogs, const RunOptions& options);

    QStringList FolderEntries() override;

    void SetStage(SearchStage stage, const QString& folder = {}) override;
    void SetProgress(int percent) override;
    void SetBusy(bool busy) override;
    void SetRunning(bool running) override;

    void Notify(const SearchEvent& event) override;
    bool ProceedWithLargeInventory(const LargeInventory& inventory) override;

    bool ProcessPendingEvents() override;

    void ClearStopRequest() override;
    bool StopRequested() override;

    void ShowResults() override;

    // A report in the middle of a run, shown with the normal pointer.
    void ShowReport(const QString& title, const QString& heading, const QStringList& lines);

private:
    // The names the walk skipped, in one report once it is over: after it comes a pass, the
    // large-inventory question, another message or the end of the run.
    void ReportSkippedNames();

    Form1& form_;
    SettingsStore& settings_;
    Dialogs& dialogs_;
    const RunOptions& options_;
    QElapsedTimer sinceEvents_;
    bool busy_ = false;
    QStringList skippedNames_;
    QStringList unreadableFolders_;  // "PATH: reason"
};

}  // namespace tallyrook
