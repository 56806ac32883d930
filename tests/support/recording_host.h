#pragma once

#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>
#include <functional>

#include "search/search_host.h"

namespace tallyrook::test {

// A SearchHost without a window that writes down every call, in order, as a line: "filename?",
// "filesize?", "similar?", "entries?", "caption:TEXT", "progress:N", "busy:1|0", "running:1|0",
// "message:TITLE:TEXT", "ask:TITLE:TEXT" then "answer:yes|no", "events", "stop?", "clearstop",
// "results", "unreadable:PATH:REASON".
class RecordingHost : public SearchHost {
public:
    // What the host answers; AskYesNo takes `answers` first to last, then says Yes.
    bool exactFilename = false, exactFilesize = false, similarFilename = false;
    QStringList folderEntries;
    QList<bool> answers;
    // The stop button's request. StopRequested() also reads true from poll `stopAtPoll` on, and
    // ProcessPendingEvents() fails from call `abandonAtEvents` on (1-based; 0 for never).
    bool stopRequested = false;
    int stopAtPoll = 0, abandonAtEvents = 0;
    bool logCriteria = true;  // off for large walks, which read Exact Filesize at every record
    // Run inside the call before it answers, given the count of such calls (to press stop, say).
    std::function<void(int)> onEvents, onPoll, onExactFilesize;
    QStringList calls;
    int polls = 0, events = 0, filesizeReads = 0;
    // The longest stretch without a call of ProcessPendingEvents, from StartGapClock() on.
    QElapsedTimer sinceEvents;
    qint64 longestGapNs = 0;

    void StartGapClock() {
        longestGapNs = 0;
        sinceEvents.start();
    }
    // The longest stretch so far in milliseconds, the one still open included.
    double LongestGapMs() const {
        const qint64 open = sinceEvents.isValid() ? sinceEvents.nsecsElapsed() : 0;
        return double(std::max(longestGapNs, open)) / 1e6;
    }

    bool ExactFilename() override { return Criterion(u"filename?", exactFilename); }
    bool ExactFilesize() override {
        Count(u"filesize?", filesizeReads, onExactFilesize, logCriteria);
        return exactFilesize;
    }
    bool SimilarFilename() override { return Criterion(u"similar?", similarFilename); }
    QStringList FolderEntries() override {
        calls.append(QStringLiteral("entries?"));
        return folderEntries;
    }
    void SetCaption(const QString& caption) override { calls.append(u"caption:" + caption); }
    void SetProgress(int value) override { calls.append(u"progress:" + QString::number(value)); }
    void SetBusy(bool busy) override { calls.append(u"busy:" + QString::number(busy)); }
    void SetRunning(bool running) override { calls.append(u"running:" + QString::number(running)); }
    void ShowMessage(const QString& text, const QString& title) override {
        calls.append(u"message:" + title + u':' + text);
    }
    bool AskYesNo(const QString& text, const QString& title) override {
        calls.append(u"ask:" + title + u':' + text);
        const bool yes = answers.isEmpty() || answers.takeFirst();
        calls.append(yes ? QStringLiteral("answer:yes") : QStringLiteral("answer:no"));
        return yes;
    }
    bool ProcessPendingEvents() override {
        const bool timed = sinceEvents.isValid();
        if (timed)
            longestGapNs = std::max(longestGapNs, sinceEvents.nsecsElapsed());
        Count(u"events", events, onEvents);
        // The hook stands for the window's own work, which is no part of the gap.
        if (timed)
            sinceEvents.start();
        return abandonAtEvents == 0 || events < abandonAtEvents;
    }
    void ClearStopRequest() override {
        calls.append(QStringLiteral("clearstop"));
        stopRequested = false;
    }
    bool StopRequested() override {
        Count(u"stop?", polls, onPoll);
        if (stopAtPoll > 0 && polls >= stopAtPoll)
            stopRequested = true;
        return stopRequested;
    }
    void ShowResults() override { calls.append(QStringLiteral("results")); }
    void ReportUnreadableFolder(const QString& path, const QString& reason) override {
        calls.append(u"unreadable:" + path + u':' + reason);
    }

private:
    bool Criterion(QStringView line, bool value) {
        if (logCriteria)
            calls.append(line.toString());
        return value;
    }
    void Count(QStringView line, int& n, const std::function<void(int)>& hook, bool log = true) {
        ++n;
        if (log)
            calls.append(line.toString());
        if (hook)
            hook(n);
    }
};

}  // namespace tallyrook::test
