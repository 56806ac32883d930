#pragma once

#include <QString>
#include <QStringList>

#include "search/search_events.h"

namespace tallyrook {

// What a run is doing. The engine never words it: each host shows it its own way (the window's
// caption, tallyrook-cli's progress line and stage timings).
// ExactContents is the comparison of contents (its progress: bytes read of bytes to read), then
// its rows.
enum class SearchStage { Idle, Walk, ExactFilename, ExactFilesize, SimilarFilename, ExactContents };

// Everything a search run needs of a window. The desktop program, tallyrook-cli and the tests
// each supply one, so the engine runs the same with or without a window system. What the run was
// asked to do comes in its RunOptions.
class SearchHost {
public:
    virtual ~SearchHost() = default;

    // The folder-list entries' texts, in list order, taken once when the run starts.
    virtual QStringList FolderEntries() = 0;

    // The run entered a stage; Idle when it is back at rest. While walking, `folder` is the
    // folder-list entry being walked, as the list holds it, and empty once it is done.
    virtual void SetStage(SearchStage stage, const QString& folder = {}) = 0;
    virtual void SetProgress(int percent) = 0;  // 0 to 100
    // Wait pointer on (walk) or back to normal (end of the run).
    virtual void SetBusy(bool busy) = 0;
    // Find button hidden and stop button shown while running; the reverse at rest.
    virtual void SetRunning(bool running) = 0;

    // Something the user is to know; a host that shows a message waits for its OK.
    virtual void Notify(const SearchEvent& event) = 0;
    // The inventory is large: true to go on with the passes.
    virtual bool ProceedWithLargeInventory(const LargeInventory& inventory) = 0;

    // Lets the window system handle pending events (the host throttles this itself, so the engine
    // may call it as often as it likes). Returns false when the run must be abandoned at once
    // because the program is ending: the engine then returns without any further host call.
    virtual bool ProcessPendingEvents() = 0;

    // The stop request: cleared when a run starts, polled at the walk's and the passes' points.
    virtual void ClearStopRequest() = 0;
    virtual bool StopRequested() = 0;

    // The run found rows: the results window takes the main window's place.
    virtual void ShowResults() = 0;
};

}  // namespace tallyrook
