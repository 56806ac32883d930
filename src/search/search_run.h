#pragma once

#include <QLocale>

#include "search/match_passes.h"

namespace tallyrook {

class Global;
class ResultList;
class SearchHost;

enum class RunOutcome {
    EmptyFolderList,  // nothing to search; nothing was reset
    Declined,         // the user answered No to the large-inventory warning
    Stopped,          // the stop request ended the run
    NoDuplicates,     // "No dupes"
    ResultsShown,     // rows were found and handed to the results window
    Abandoned,        // the program is ending; no further host call was made
};

// Inventories larger than this get the "Question" warning before the passes.
inline constexpr qsizetype LargeInventory = 20'000;

// Everything the find button does, from the empty-list check to the hand-off or back to rest.
// The locale groups the counts in the run's own messages. rowLimit: the most rows the passes may
// add (MatchPasses::NoRowLimit for all of them); the desktop program keeps the default.
RunOutcome RunSearch(SearchHost& host, Global& global, ResultList& rows,
                     const QLocale& locale = QLocale::system(),
                     int rowLimit = MatchPasses::RowCapacity);

}  // namespace tallyrook
