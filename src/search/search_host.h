#pragma once

#include <QString>
#include <QStringList>

namespace tallyrook {

// What a run is doing. Captions say it to a person; this says it to a host that shows it its own
// way (tallyrook-cli's progress line and stage timings).
enum class SearchStage { Idle, Walk, ExactFilename, ExactFilesize, SimilarFilename };

// Everything a search run needs of a window. The desktop program, tallyrook-cli and the tests
// each supply one, so the engine runs the same with or without a window system.
class SearchHost {
public:
    virtual ~SearchHost() = default;

    // The criteria boxes, read at the moments the run and the walk read them.
    virtual bool ExactFilename() = 0;
    virtual bool ExactFilesize() = 0;  // read at every record of the walk
    virtual bool SimilarFilename() = 0;

    // The folder-list entries' texts, in list order, taken once when the run starts.
    virtual QStringList FolderEntries() = 0;

    // The run entered a stage, before the stage's caption; Idle when it is back at rest.
    virtual void SetStage(SearchStage stage) { Q_UNUSED(stage); }
    virtual void SetCaption(const QString& caption) = 0;
    virtual void SetProgress(int percent) = 0;  // 0 to 100
    // Wait pointer on (walk) or back to normal (end of the run).
    virtual void SetBusy(bool busy) = 0;
    // Find button hidden and stop button shown while running; the reverse at rest.
    virtual void SetRunning(bool running) = 0;

    // A message with an OK button and no icon; waits for the answer.
    virtual void ShowMessage(const QString& text, const QString& title) = 0;
    // A question with Yes and No and no icon; true for Yes.
    virtual bool AskYesNo(const QString& text, const QString& title) = 0;

    // Lets the window system handle pending events (the host throttles this itself, so the engine
    // may call it as often as it likes). Returns false when the run must be abandoned at once
    // because the program is ending: the engine then returns without any further host call.
    virtual bool ProcessPendingEvents() = 0;

    // The stop request: cleared when a run starts, polled at the walk's and the passes' points.
    virtual void ClearStopRequest() = 0;
    virtual bool StopRequested() = 0;

    // The run found rows: the results window takes the main window's place.
    virtual void ShowResults() = 0;

    // A folder the walk could not open or read (its path, without a closing "/", and the
    // system's reason). The walk goes on and counts it as empty; a window stays silent here.
    virtual void ReportUnreadableFolder(const QString& path, const QString& reason) {
        Q_UNUSED(path);
        Q_UNUSED(reason);
    }
};

}  // namespace tallyrook
