#include "match_passes.h"

namespace tallyrook {
// Placeholder until the passes land.
struct MatchPasses::State {};
MatchPasses::MatchPasses(SearchHost&, Global&, ResultList&) : state_(std::make_unique<State>()) {}
MatchPasses::~MatchPasses() = default;
PassResult MatchPasses::ExactFilenamePass() { return PassResult::Completed; }
PassResult MatchPasses::ExactFilesizePass(int) { return PassResult::Completed; }
PassResult MatchPasses::SimilarFilenamePass(int) { return PassResult::Completed; }
}  // namespace tallyrook
