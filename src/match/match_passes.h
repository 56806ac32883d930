#pragma once

#include <memory>
#include <vector>

#include "search/step_result.h"

namespace tallyrook {

class Global;
class ResultList;
class SearchHost;
struct RunOptions;

// The match passes of one run. The run-local row counter, colour toggle and anchor flag
// live here and carry over from one pass to the next, so a run makes one object.
class MatchPasses {
public:
    // The passes add at most options.rowLimit rows; at the limit a pass ends with Full.
    MatchPasses(SearchHost& host, Global& global, ResultList& rows, const RunOptions& options);
    ~MatchPasses();
    MatchPasses(const MatchPasses&) = delete;
    MatchPasses& operator=(const MatchPasses&) = delete;

    // A file the Exact Filename pass finds listed anywhere in the list counts as listed; the two
    // others look only at the rows they add themselves.
    StepResult ExactFilenamePass();
    StepResult ExactFilesizePass();
    StepResult SimilarFilenamePass();
    // Exact Contents: one group per copy set, `copySetOf` by record (0: no copy), as the
    // comparison of contents gave it.
    StepResult ExactContentsPass(const std::vector<int>& copySetOf);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tallyrook
