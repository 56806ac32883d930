#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <cstdio>

#include "search/search_host.h"

namespace tallyrook::cli {

// Installs the Ctrl-C handler: the first SIGINT asks the run to stop at its next poll, a second
// one ends the program at once.
void InstallInterruptHandler();
// True once SIGINT arrived.
bool Interrupted();
// Back to the default reaction (used once the run is over and the rows are being written).
void RestoreDefaultInterrupt();

// The host of a headless run: criteria and folders from the command line, messages to stderr,
// the large-inventory question answered Yes, the stop request set only by Ctrl-C.
class CliHost : public SearchHost {
public:
    CliHost(bool name, bool size, bool similar, QStringList folders);

    bool ExactFilename() override { return name_; }
    bool ExactFilesize() override { return size_; }
    bool SimilarFilename() override { return similar_; }
    QStringList FolderEntries() override { return folders_; }

    void SetCaption(const QString& caption) override;
    void SetProgress(int) override {}
    void SetBusy(bool) override {}
    void SetRunning(bool) override {}

    void ShowMessage(const QString& text, const QString& title) override;
    bool AskYesNo(const QString& text, const QString& title) override;

    bool ProcessPendingEvents() override;
    void ClearStopRequest() override {}
    bool StopRequested() override { return Interrupted(); }

    void ShowResults() override {}

    // With TALLYROOK_TIMINGS=1 in the environment, each stage's time goes to stderr; the stages
    // are told apart by the captions the walk and the passes set.
    void EndTimings();

private:
    bool name_;
    bool size_;
    bool similar_;
    QStringList folders_;
    bool timings_ = false;
    QElapsedTimer stageClock_;
    QString stage_;
    int pollDelayMs_ = 0;
    bool pollDelayAnnounced_ = false;
};

// Writes a line of text to stderr as UTF-8.
void PrintError(const QString& text);

}  // namespace tallyrook::cli
