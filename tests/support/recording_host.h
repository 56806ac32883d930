#pragma once

#include <time.h>

#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>
#include <functional>

#include "search/search_host.h"

namespace tallyrook::test {

// The one SearchHost without a window, for the tests and the benchmarks. It writes down its calls,
// in order, one line each: "filename?", "filesize?", "similar?", "entries?", "caption:TEXT",
// "progress:N", "busy:1|0", "running:1|0", "message:TITLE:TEXT", "ask:TITLE:TEXT" then
// "answer:yes|no", "events", "stop?", "clearstop", "results", "unreadable:PATH:REASON".
// With `log` at Quiet it writes down only messages, questions and unreadable folders: a
// do-nothing host whose cost a benchmark can ignore.
class RecordingHost : public SearchHost {
public:
    // Quiet for benchmarks; NoCriteria for large walks, which read Exact Filesize at every record.
    enum class Log { All, NoCriteria, Quiet } log = Log::All;
    // What the host answers; AskYesNo takes `answers` first to last, then says Yes.
    bool exactFilename = false, exactFilesize = false, similarFilename = false;
    QStringList folderEntries;
    QList<bool> answers;
    // The stop button's request. StopRequested() also reads true from poll `stopAtPoll` on, and
    // ProcessPendingEvents() fails from call `abandonAtEvents` on (1-based; 0 for never).
    bool stopRequested = false;
    int stopAtPoll = 0, abandonAtEvents = 0;
    // Run inside the call before it answers, given the count of such calls (to press stop, say).
    std::function<void(int)> onEvents, onPoll, onExactFilesize;
    QStringList calls;
    int polls = 0, events = 0, filesizeReads = 0;
    // The gaps below in this thread's CPU time rather than wall time: what they would be on an
    // idle machine, at the price of a system call per event.
    bool cpuGaps = false;

    // The longest stretch without a call of ProcessPendingEvents is measured from here on.
    void StartGapClock() {
        longestGapNs_ = 0;
        gapStartNs_ = NowNs();
        timing_ = true;
    }
    // The longest stretch so far in milliseconds, the one still open included.
    double LongestGapMs() const {
        const qint64 open = timing_ ? NowNs() - gapStartNs_ : 0;
        return double(std::max(longestGapNs_, open)) / 1e6;
    }

    bool ExactFilename() override { return Criterion(u"filename?", exactFilename); }
    bool ExactFilesize() override {
        Count(u"filesize?", filesizeReads, onExactFilesize, log == Log::All);
        return exactFilesize;
    }
    bool SimilarFilename() override { return Criterion(u"similar?", similarFilename); }
    QStringList FolderEntries() override {
        Routine(QStringLiteral("entries?"));
        return folderEntries;
    }
    void SetCaption(const QString& caption) override { Routine(u"caption:" + caption); }
    void SetProgress(int value) override { Routine(u"progress:" + QString::number(value)); }
    void SetBusy(bool busy) override { Routine(u"busy:" + QString::number(busy)); }
    void SetRunning(bool running) override { Routine(u"running:" + QString::number(running)); }
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
        if (timing_)
            longestGapNs_ = std::max(longestGapNs_, NowNs() - gapStartNs_);
        Count(u"events", events, onEvents, log != Log::Quiet);
        // The hook stands for the window's own work, which is no part of the gap.
        if (timing_)
            gapStartNs_ = NowNs();
        return abandonAtEvents == 0 || events < abandonAtEvents;
    }
    void ClearStopRequest() override {
        Routine(QStringLiteral("clearstop"));
        stopRequested = false;
    }
    bool StopRequested() override {
        Count(u"stop?", polls, onPoll, log != Log::Quiet);
        if (stopAtPoll > 0 && polls >= stopAtPoll)
            stopRequested = true;
        return stopRequested;
    }
    void ShowResults() override { Routine(QStringLiteral("results")); }
    void ReportUnreadableFolder(const QString& path, const QString& reason) override {
        calls.append(u"unreadable:" + path + u':' + reason);
    }

private:
    void Routine(const QString& line) {
        if (log != Log::Quiet)
            calls.append(line);
    }
    bool Criterion(QStringView line, bool value) {
        if (log == Log::All)
            calls.append(line.toString());
        return value;
    }
    void Count(QStringView line, int& n, const std::function<void(int)>& hook, bool logged) {
        ++n;
        if (logged)
            calls.append(line.toString());
        if (hook)
            hook(n);
    }
    qint64 NowNs() const {
        if (!cpuGaps)
            return clock_.nsecsElapsed();
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    }

    QElapsedTimer clock_ = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    bool timing_ = false;
    qint64 gapStartNs_ = 0, longestGapNs_ = 0;
};

}  // namespace tallyrook::test
