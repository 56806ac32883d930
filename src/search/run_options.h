#pragma once

#include <QLocale>
#include <QStringList>
#include <functional>
#include <limits>
#include <vector>

namespace tallyrook {

class Global;
class SearchHost;
enum class StepResult;

// The criteria of a search.
struct Criteria {
    bool exactFilename = false;
    bool exactFilesize = false;
    bool similarFilename = false;
    bool exactContents = false;

    bool Any() const { return exactFilename || exactFilesize || similarFilename || exactContents; }
    // The walk records each file's size for these: Exact Contents reads only sizes shared.
    bool NeedsSizes() const { return exactFilesize || exactContents; }
};

// How far the POSIX walk reads ahead of itself: workers open, list and look up the folders it
// will enter next while it takes in those before, so that the disk has many questions at once.
// The portable walk reads one folder at a time.
struct ReadAheadLimits {
    int workers = 8;             // 0: the walk reads every folder itself
    int folders = 128;           // read ahead and not yet taken by the walk
    qsizetype bytes = 16 << 20;  // of names and sizes held for those
    int descriptors = 256;       // of folders open for the workers
};

// What a search run is asked to do, as the walk and the passes read it.
struct RunOptions {
    // One run adds at most this many rows unless told otherwise (a 16-bit row counter).
    static constexpr int RowCapacity = 32767;
    // A row limit that never binds: a run adds at most one row per inventory entry and pass.
    static constexpr int NoRowLimit = std::numeric_limits<int>::max();

    // The criteria. A window's boxes stay live while its run goes on and it writes their changes
    // here; the run reads them at fixed moments: the walk at every record it makes (Exact
    // Filesize), the run just before each pass.
    Criteria criteria;
    // The most rows the passes may add; at the limit the run says so and shows what it has.
    int rowLimit = RowCapacity;
    // The size and date texts of the rows, the counts in messages, and the upper-casing of the
    // similarity rule.
    QLocale locale = QLocale::system();
    ReadAheadLimits readAhead = {};
    // Files that are not walked (saved inventories), added after the walk of the folder-list
    // entries; told the folders walked, whose files the walk gave already. A run with these
    // needs no folder-list entry.
    std::function<StepResult(SearchHost&, Global&, const QStringList& walked)> addRecordedFiles =
        {};
    // Exact Contents: compares the inventory's files, which the engine never reads, and gives
    // by record the copy set of each file that has a byte-identical copy (from 1, in the order of
    // each set's first record), 0 for every other. It shows its own progress and ends at once on
    // a stop request (Stopped) or when the program ends (Abandoned). Needed with exactContents.
    std::function<StepResult(SearchHost&, const Global&, std::vector<int>& copySetOf)>
        compareContents = {};
};

}  // namespace tallyrook
