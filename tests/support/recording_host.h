#pragma once

#include <QStringList>
#include <algorithm>
#include <ctime>
#include <functional>

#include "search/search_host.h"

namespace tallyrook::test {

// The one SearchHost without a window, for the tests and the benchmarks. It writes down its calls
// in `calls`, in order, one line each ("progress:25", "events", "ask:TITLE:TEXT", ...).
class RecordingHost : public SearchHost {
public:
    // Quiet writes down only messages, questions and unreadable folders: a benchmark's host.
    // NoCriteria is for large walks, which read Exact Filesize at every record.
    enum class Log { All, NoCriteria, Quiet } log = Log::All;
    // What the host answers; AskYesNo takes `answers` first to last, then says Yes.
    bool exactFilename = false, exactFilesize = false, similarFilename = false;
    QStringList folderEntries;
    QList<bool> answers;
    // The stop button's request; ProcessPendingEvents() fails from call `abandonAtEvents` on
    // (1-based; 0 for never).
    bool stopRequested = false;
    int abandonAtEvents = 0;
    // Run inside the call before it answers, given the count of such calls (to press stop, say).
    std::function<void(int)> onEvents, onPoll, onExactFilesize;
    QStringList calls;
    int polls = 0, events = 0, filesizeReads = 0;

    // The longest stretch without a call of ProcessPendingEvents from here on, by `clock` (a test
    // that must not fail on a busy machine gives CLOCK_THREAD_CPUTIME_ID).
    void StartGapClock(clockid_t clock = CLOCK_MONOTONIC) {
        clock_ = clock;
        longestGapNs_ = 0;
        gapStartNs_ = NowNs(clock);
    }
    double LongestGapMs() const {
        const qint64 open = gapStartNs_ >= 0 ? NowNs(clock_) - gapStartNs_ : 0;
        return double(std::max(longestGapNs_, open)) / 1e6;
    }
    static qint64 NowNs(clockid_t clock) {
        timespec now{};
        ::clock_gettime(clock, &now);
        return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    }

    bool ExactFilename() override { return Noted(u"filename?", exactFilename, Log::All); }
    bool ExactFilesize() override {
        Count(u"filesize?", filesizeReads, onExactFilesize, Log::All);
        return exactFilesize;
    }
    bool SimilarFilename() override { return Noted(u"similar?", similarFilename, Log::All); }
    QStringList FolderEntries() override { return Noted(u"entries?", folderEntries); }
    void SetCaption(const QString& text) override { Note(u"caption:", text); }
    void SetProgress(int n) override { Note(u"progress:", n); }
    void SetBusy(bool on) override { Note(u"busy:", int(on)); }
    void SetRunning(bool on) override { Note(u"running:", int(on)); }
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
        return stopRequested;
    }
    void ShowResults() override { Note(u"results"); }
    void ReportUnreadableFolder(const QString& path, const QString& reason) override {
        calls.append(u"unreadable:" + path + u':' + reason);
    }

private:
    // A line is made and written down only when `log` is `upTo` or says more, so that a quiet
    // host costs a benchmark nothing.
    void Note(QStringView line, Log upTo = Log::NoCriteria) {
        if (log <= upTo)
            calls.append(line.toString());
    }
    void Note(QStringView prefix, const QString& text) {
        if (log <= Log::NoCriteria)
            calls.append(prefix + text);
    }
    void Note(QStringView prefix, int n) {
        if (log <= Log::NoCriteria)
            calls.append(prefix + QString::number(n));
    }
    template <typename T>
    T Noted(QStringView line, const T& answer, Log upTo = Log::NoCriteria) {
        Note(line, upTo);
        return answer;
    }
    void Count(QStringView line, int& n, const std::function<void(int)>& hook,
               Log upTo = Log::NoCriteria) {
        ++n;
        Note(line, upTo);
        if (hook)
            hook(n);
    }

    clockid_t clock_ = CLOCK_MONOTONIC;
    qint64 gapStartNs_ = -1, longestGapNs_ = 0;
};

}  // namespace tallyrook::test
