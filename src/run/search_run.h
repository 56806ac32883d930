#pragma once

#include <QtGlobal>

namespace tallyrook {

class Global;
class ResultList;
class SearchHost;
struct RunOptions;

enum class RunOutcome {
    EmptyFolderList,  // nothing to search; nothing was reset
    Declined,         // the user answered No to the large-inventory question
    Stopped,          // the stop request ended the run
    NoDuplicates,     // "No dupes"
    ResultsShown,     // rows were found and handed to the results window
    NothingFitted,    // the first group alone has more rows than the limit: none listed
    Abandoned,        // the program is ending; no further host call was made
};

// Inventories larger than this raise the large-inventory question before the passes.
inline constexpr qsizetype LargeInventoryFiles = 20'000;

// Everything the find button does, from the empty-list check to the hand-off or back to rest.
// `options` is read as the run goes (a window may change its criteria meanwhile).
RunOutcome RunSearch(SearchHost& host, Global& global, ResultList& rows, const RunOptions& options);

}  // namespace tallyrook
