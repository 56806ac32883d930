#pragma once

#include <QStringList>
#include <algorithm>
#include <ctime>
#include <functional>

#include "search/search_host.h"

namespace tallyrook::test {

// The one SearchHost without a window, for the tests and the benchmarks. It writes down its calls,
// in order, one line each: "filename?", "filesize?", "similar?", "entries?", "caption:TEXT",
// "progress:N", "busy:1|0", "running:1|0", "message:TITLE:TEXT", "ask:TITLE:TEXT" then
// "answer:yes|no", "events", "stop?", "clearstop", "results", "unreadable:PATH:REASON".
class RecordingHost : public SearchHost {
public:
    // Quiet writes down only messages, questions and unreadable folders: a benchmark's host.
    // NoCriteria is for large walks, which read Exact Filesize at every record.
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

    // The longest stretch without a call of ProcessPendingEvents, measured from here on, on the
    // wall clock or, for a test that must not fail on a busy machine, in this thread's CPU time.
    enum class Clock { Wall, ThreadCpu };
    void StartGapClock(Clock clock = Clock::Wall) {
        clock_ = clock;
        longestGapNs_ = 0;
        gapStartNs_ = NowNs(clock);
    }
    double LongestGapMs() const {
        const qint64 open = gapStartNs_ >= 0 ? NowNs(clock_) - gapStartNs_ : 0;
        return double(std::max(longestGapNs_, open)) / 1e6;
    }
    static qint64 NowNs(Clock clock) {
        timespec now{};
        ::clock_gettime(clock == Clock::Wall ? CLOCK_MONOTONIC : CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    }

    bool ExactFilename() override {
        Note(u"filename?", Log::All);
        return exactFilename;
    }
    bool ExactFilesize() override {
        Count(u"filesize?", filesizeReads, onExactFilesize, Log::All);
        return exactFilesize;
    }
    bool SimilarFilename() override {
        Note(u"similar?", Log::All);
        return similarFilename;
    }
    QStringList FolderEntries() override {
        Note(u"entries?");
        return folderEntries;
    }
    void SetCaption(const QString& text) override {
        Note([&]() -> QString { return u"caption:" + text; });
    }
    void SetProgress(int n) override {
        Note([n]() -> QString { return u"progress:" + QString::number(n); });
    }
    void SetBusy(bool on) override {
        Note([on]() -> QString { return u"busy:" + QString::number(on); });
    }
    void SetRunning(bool on) override {
        Note([on]() -> QString { return u"running:" + QString::number(on); });
    }
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
        const bool timed = gapStartNs_ >= 0;
        if (timed)
            longestGapNs_ = std::max(longestGapNs_, NowNs(clock_) - gapStartNs_);
        Count(u"events", events, onEvents);
        // The hook stands for the window's own work, which is no part of the gap.
        if (timed)
            gapStartNs_ = NowNs(clock_);
        return abandonAtEvents == 0 || events < abandonAtEvents;
    }
    void ClearStopRequest() override {
        Note(u"clearstop");
        stopRequested = false;
    }
    bool StopRequested() override {
        Count(u"stop?", polls, onPoll);
        if (stopAtPoll > 0 && polls >= stopAtPoll)
            stopRequested = true;
        return stopRequested;
    }
    void ShowResults() override { Note(u"results"); }
    void ReportUnreadableFolder(const QString& path, const QString& reason) override {
        calls.append(u"unreadable:" + path + u':' + reason);
    }

private:
    // The line is made and written down only when `log` is `upTo` or says more, so that a quiet
    // host costs a benchmark nothing.
    template <typename MakeLine>
    void Note(MakeLine line, Log upTo = Log::NoCriteria) {
        if (log <= upTo)
            calls.append(QString(line()));
    }
    void Note(const char16_t* line, Log upTo = Log::NoCriteria) {
        Note([line] { return QString::fromUtf16(line); }, upTo);
    }
    void Count(const char16_t* line, int& n, const std::function<void(int)>& hook,
               Log upTo = Log::NoCriteria) {
        ++n;
        Note(line, upTo);
        if (hook)
            hook(n);
    }

    Clock clock_ = Clock::Wall;
    qint64 gapStartNs_ = -1, longestGapNs_ = 0;
};

}  // namespace tallyrook::test
