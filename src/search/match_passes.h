#pragma once

#include <limits>
#include <memory>

#include "search/step_result.h"

namespace tallyrook {

class Global;
class ResultList;
class SearchHost;

// The three match passes of one run. The run-local row counter, colour toggle and anchor flag
// live here and carry over from one pass to the next, so a run makes one object.
class MatchPasses {
public:
    // One run adds at most this many rows by default (a 16-bit row counter).
    static constexpr int RowCapacity = 32767;
    // A row limit that never binds: the passes run to the end. A run adds at most one row per
    // inventory entry and pass, far below it.
    static constexpr int NoRowLimit = std::numeric_limits<int>::max();

    MatchPasses(SearchHost& host, Global& global, ResultList& rows);
    ~MatchPasses();
    MatchPasses(const MatchPasses&) = delete;
    MatchPasses& operator=(const MatchPasses&) = delete;

    StepResult ExactFilenamePass();
    // firstRow: 1-based position of the first row that will belong to the pass.
    StepResult ExactFilesizePass(int firstRow);
    StepResult SimilarFilenamePass(int firstRow);

    // The most rows the passes of this run may add (at least 0): RowCapacity unless set, or
    // NoRowLimit for every row. At the limit a pass ends with Full.
    void SetRowLimit(int limit);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tallyrook
