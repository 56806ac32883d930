#include "search_run.h"

namespace tallyrook {
// Placeholder until the run lands.
RunOutcome RunSearch(SearchHost&, Global&, ResultList&) { return RunOutcome::NoDuplicates; }
}  // namespace tallyrook
