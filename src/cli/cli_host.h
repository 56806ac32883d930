#pragma once

#include <QElapsedTimer>
#include <QLocale>
#include <QString>
#include <QStringList>

#include "cli/terminal.h"
#include "search/search_host.h"

namespace tallyrook::cli {

// Installs the signal handlers: the first SIGINT (Ctrl-C) asks the run to stop at its next poll, a
// second one ends the program at once; SIGTERM and SIGHUP end it at once. Each erases the
// progress line first. A signal ignored when the program started stays ignored.
void InstallInterruptHandler();
// True once SIGINT arrived.
bool Interrupted();
// SIGINT back to what it did at start (used once the run is over and the rows are being written).
void RestoreDefaultInterrupt();

// With TALLYROOK_TIMINGS=1 in the environment, the time of each stage goes to stderr, wall clock
// and processor time (user and system) of the whole process: "timing: W s  cpu C s  NAME".
class StageTimer {
public:
    StageTimer();
    // The line for what has passed since the start or the last call; the clocks start again.
    QString Lap(QStringView name);

private:
    QElapsedTimer wall_;
    double cpuStart_ = 0;
};

// The host of a headless run: folders from the command line, events and progress to stderr, the
// large-inventory question answered Yes with a note, the stop request set only by Ctrl-C.
class CliHost : public SearchHost {
public:
    // `quiet` leaves out the notes; `locale` groups the counts, as it does in the run's options.
    CliHost(QStringList folders, Stderr& err, bool quiet, const QLocale& locale);

    QStringList FolderEntries() override { return folders_; }

    void SetStage(SearchStage stage, const QString& folder = {}) override;
    void SetProgress(int percent) override { err_.SetProgress(percent); }
    void SetBusy(bool) override {}
    void SetRunning(bool) override {}

    void Notify(const SearchEvent& event) override;
    bool ProceedWithLargeInventory(const LargeInventory& inventory) override;

    bool ProcessPendingEvents() override;
    void ClearStopRequest() override {}
    bool StopRequested() override { return Interrupted(); }

    void ShowResults() override {}
    // True once a folder could not be read.
    bool FolderUnreadable() const { return folderUnreadable_; }

    // With TALLYROOK_TIMINGS=1 in the environment, each stage's time goes to stderr.
    void EndTimings();
    bool Timings() const { return timings_; }

private:
    QStringList folders_;
    Stderr& err_;
    bool quiet_;
    QLocale locale_;
    bool folderUnreadable_ = false;
    bool timings_ = false;
    StageTimer stageTimer_;
    SearchStage stage_ = SearchStage::Idle;
};

}  // namespace tallyrook::cli
