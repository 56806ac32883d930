#pragma once

#include "match/match_passes.h"
#include "search/result_list.h"
#include "search/run_options.h"
#include "search/search_host.h"
#include "shared/global.h"

namespace tallyrook::test {

// The match passes done the plain way: every pair of entries compared once, in inventory order,
// pending events before every comparison, the stop request read at every match, "already listed"
// by scanning the rows. The passes under test must give exactly its rows and their colours.
struct ReferencePasses {
    // pass: N (Exact Filename), S (Exact Filesize) or C (Similar Filename).
    StepResult Run(QChar pass);

    SearchHost& host;
    Global& global;
    ResultList& rows;
    int rowLimit = RunOptions::RowCapacity;
    int rowsAdded = 0, groups = 0;  // groups: the last group's number
    bool strongTurn = false, anchorAdded = false;
};

}  // namespace tallyrook::test
