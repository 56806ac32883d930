#pragma once

#include <functional>

// For the Trash writer's tests only: the programs never include this header and never set the
// hook, so it costs them one test of an empty function at each step below. It lets a test fail a
// call the way some file systems do, change the tree at the one instant a race needs, and see
// the order of syncs and moves, none of which a test can bring about from outside.
namespace tallyrook::trash_test {

enum class Step {
    Rename,   // a rename that must not replace `to`: a non-zero result fails it with that errno
    Move,     // `from` was checked and is about to move to `to`
    Written,  // one record written ahead, not yet synced
    Synced,   // the records written so far are on disk
};

// Directories and names as the calls take them (AT_FDCWD with a full path, or a folder's fd).
using Hook =
    std::function<int(Step step, int fromDir, const char* from, int toDir, const char* to)>;
extern Hook hook;

}  // namespace tallyrook::trash_test
