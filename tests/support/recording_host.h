#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "search/search_host.h"

namespace tallyrook::test {

// A SearchHost without a window that writes down every call, in order, as a readable line:
//   "filename?" "filesize?" "similar?" "entries?"   criteria and folder-list reads
//   "caption:TEXT" "progress:N" "busy:1" "busy:0" "running:1" "running:0"
//   "message:TITLE:TEXT" "ask:TITLE:TEXT" (followed by "answer:yes" or "answer:no")
//   "events" "stop?" "clearstop" "results"
// A test sets the criteria, the folder entries and the answers, and makes a stop or an
// abandonment happen at a chosen poll, directly or from a callback.
class RecordingHost : public SearchHost {
public:
    // What the host answers.
    bool exactFilename = false;
    bool exactFilesize = false;
    bool similarFilename = false;
    QStringList folderEntries;
    // Answers to AskYesNo, first to last; `defaultAnswer` once they run out.
    QList<bool> answers;
    bool defaultAnswer = true;

    // The stop request as the stop button would set it; ClearStopRequest clears it.
    bool stopRequested = false;
    // StopRequested() reads true from this poll on (1-based, counted over the host's life);
    // 0 for never.
    int stopAtPoll = 0;
    // ProcessPendingEvents() returns false from this call on (1-based); 0 for never.
    int abandonAtEvents = 0;
    // Whether the criteria reads are written to `calls` (a walk reads Exact Filesize once per
    // file, which swamps the log of a large tree).
    bool logCriteria = true;

    // Run inside the matching call, before it answers: a test can press "stop", delete a file
    // or tick a box at that moment. The argument counts the calls of that kind, from 1.
    std::function<void(int)> onEvents;
    std::function<void(int)> onPoll;
    std::function<void(int)> onExactFilesize;
    std::function<void(const QString& text, const QString& title)> onMessage;

    QStringList calls;
    int polls = 0;
    int events = 0;
    int filesizeReads = 0;

    // The recorded lines that start with `prefix`.
    QStringList Calls(const QString& prefix) const;
    // The messages shown, as "TITLE:TEXT".
    QStringList Messages() const;
    void Clear();

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
};

}  // namespace tallyrook::test
