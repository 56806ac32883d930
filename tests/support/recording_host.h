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
    enum class Log { All, Quiet } log = Log::All;
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
        return double(std::max(longestGapNs_, NowNs(clock_) - gapStartNs_)) / 1e6;
    }
    static qint64 NowNs(clockid_t clock) {
        timespec now{};
        ::clock_gettime(clock, &now);
        return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    }

    bool ExactFilename() override { return Noted(u"filename?"_qs, exactFilename); }
    bool ExactFilesize() override {
        Count(u"filesize?"_qs, filesizeReads, onExactFilesize);
        return exactFilesize;
    }
    bool SimilarFilename() override { return Noted(u"similar?"_qs, similarFilename); }
    QStringList FolderEntries() override { return Noted(u"entries?"_qs, folderEntries); }
    void SetCaption(const QString& text) override { Note(u"caption:" + text); }
    void SetProgress(int n) override { Note(u"progress:" + QString::number(n)); }
    void SetBusy(bool on) override { Note(u"busy:" + QString::number(on)); }
    void SetRunning(bool on) override { Note(u"running:" + QString::number(on)); }
    void ShowMessage(const QString& text, const QString& title) override {
        calls.append(u"message:" + title + u':' + text);
    }
    bool AskYesNo(const QString& text, const QString& title) override {
        calls.append(u"ask:" + title + u':' + text);
        return answers.isEmpty() || answers.takeFirst();
    }
    bool ProcessPendingEvents() override {
        longestGapNs_ = std::max(longestGapNs_, NowNs(clock_) - gapStartNs_);
        Count(u"events"_qs, events, onEvents);
        // The hook stands for the window's own work, which is no part of the gap.
        gapStartNs_ = NowNs(clock_);
        return abandonAtEvents == 0 || events < abandonAtEvents;
    }
    void ClearStopRequest() override {
        Note(u"clearstop"_qs);
        stopRequested = false;
    }
    bool StopRequested() override {
        Count(u"stop?"_qs, polls, onPoll);
        return stopRequested;
    }
    void ShowResults() override { Note(u"results"_qs); }
    void ReportUnreadableFolder(const QString& path, const QString& reason) override {
        calls.append(u"unreadable:" + path + u':' + reason);
    }

private:
    // A quiet host writes down nothing at the calls a walk or a pass makes by the million.
    void Note(const QString& line) {
        if (log == Log::All)
            calls.append(line);
    }
    template <typename T>
    T Noted(const QString& line, const T& answer) {
        Note(line);
        return answer;
    }
    void Count(const QString& line, int& n, const std::function<void(int)>& hook) {
        ++n;
        Note(line);
        if (hook)
            hook(n);
    }

    clockid_t clock_ = CLOCK_MONOTONIC;
    qint64 gapStartNs_ = NowNs(clock_), longestGapNs_ = 0;
};

}  // namespace tallyrook::test
