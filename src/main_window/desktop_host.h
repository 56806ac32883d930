#pragma once

#include <QElapsedTimer>

#include "search/search_host.h"

namespace tallyrook {

class Dialogs;
class Form1;
class SettingsStore;

// The search run's window: the main window's caption, progress bar, buttons and criteria, the
// stop request in the settings store, and the dialogs. Once the main window is closing it
// answers every poll with "abandon" and shows and writes nothing more.
class DesktopHost : public SearchHost {
public:
    // Pending events are handled at most this often, so painting never slows a walk.
    static constexpr int EventIntervalMs = 30;

    DesktopHost(Form1& form, SettingsStore& settings, Dialogs& dialogs);

    bool ExactFilename() override;
    bool ExactFilesize() override;
    bool SimilarFilename() override;
    QStringList FolderEntries() override;

    void SetCaption(const QString& caption) override;
    void SetProgress(int percent) override;
    void SetBusy(bool busy) override;
    void SetRunning(bool running) override;

    void ShowMessage(const QString& text, const QString& title) override;
    bool AskYesNo(const QString& text, const QString& title) override;

    bool ProcessPendingEvents() override;

    void ClearStopRequest() override;
    bool StopRequested() override;

    void ShowResults() override;

private:
    Form1& form_;
    SettingsStore& settings_;
    Dialogs& dialogs_;
    QElapsedTimer sinceEvents_;
    bool busy_ = false;
};

}  // namespace tallyrook
