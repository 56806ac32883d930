#pragma once

#include <QStringList>
#include <functional>

#include "search/run_options.h"
#include "search/search_host.h"

namespace tallyrook::test {

// The one SearchHost without a window, for the tests and the benchmarks. It writes down its calls
// in `calls`, in order, one line each ("progress:25", "events", "event:SkippedName:PATH", ...).
class RecordingHost : public SearchHost {
public:
    // Quiet writes down only events and questions: a benchmark's host.
    enum class Log { All, Quiet } log = Log::All;
    // The run's options, for the caller to hand over; a hook may change the criteria as a window
    // would.
    RunOptions options;
    // What the host answers; the large-inventory question takes `answers` first to last, then
    // says Yes.
    QStringList folderEntries;
    QList<bool> answers;
    // The stop button's request; ProcessPendingEvents() fails from call `abandonAtEvents` on
    // (1-based; 0 for never).
    bool stopRequested = false;
    int abandonAtEvents = 0;
    // Run inside the call before it answers, given the count of such calls (to press stop, say).
    std::function<void(int)> onEvents, onPoll;
    QStringList calls;
    int polls = 0, events = 0;

    QStringList FolderEntries() override {
        Note(u"entries?"_qs);
        return folderEntries;
    }
    // "stage:NAME", then ":FOLDER" while a folder-list entry is walked.
    void SetStage(SearchStage stage, const QString& folder = {}) override {
        static const char* const stages[] = {
            "Idle", "Walk", "ExactFilename", "ExactFilesize", "SimilarFilename", "ExactContents"};
        Note(u"stage:"_qs + QLatin1StringView(stages[int(stage)]) +
             (folder.isEmpty() ? QString() : u':' + folder));
    }
    void SetProgress(int n) override { Note(u"progress:" + QString::number(n)); }
    void SetBusy(bool on) override { Note(u"busy:" + QString::number(on)); }
    void SetRunning(bool on) override { Note(u"running:" + QString::number(on)); }
    // "event:KIND", then ":PATH:REASON" or ":COUNT" where the event has them.
    void Notify(const SearchEvent& event) override {
        static const char* const kinds[] = {"NoFolders",        "NoCriterion",   "SkippedName",
                                            "UnreadableFolder", "InventoryFull", "RowsFull",
                                            "NoDuplicates"};
        QString line = u"event:"_qs + QLatin1StringView(kinds[int(event.kind)]);
        if (!event.path.isEmpty())
            line += u':' + event.path + u':' + event.reason;
        if (event.count != 0)
            line += u':' + QString::number(event.count);
        calls.append(line);
    }
    // "ask:FOLDERS:FILES"
    bool ProceedWithLargeInventory(const LargeInventory& inventory) override {
        calls.append(u"ask:" + QString::number(inventory.folderEntries) + u':' +
                     QString::number(inventory.files));
        return answers.isEmpty() || answers.takeFirst();
    }
    bool ProcessPendingEvents() override {
        Count(u"events"_qs, events, onEvents);
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

private:
    // A quiet host writes down nothing at the calls a walk or a pass makes by the million.
    void Note(const QString& line) {
        if (log == Log::All)
            calls.append(line);
    }
    void Count(const QString& line, int& n, const std::function<void(int)>& hook) {
        ++n;
        Note(line);
        if (hook)
            hook(n);
    }
};

}  // namespace tallyrook::test
