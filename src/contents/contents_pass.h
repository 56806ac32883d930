#pragma once

#include <memory>
#include <vector>

#include "contents/contents_check.h"
#include "search/step_result.h"

namespace tallyrook {

class Global;
class SearchHost;

// Exact Contents for a search run, the engine's RunOptions::compareContents: of the run's
// inventory, the files whose size another file has are compared by the contents check, and each
// file with a byte-identical copy gets its copy set. Empty files, files of unknown size or smaller
// than the least size asked for, and files of saved inventories that are not here to read take no
// part. The progress is the check's, bytes read of bytes to read.
class ContentsPass {
public:
    // `minSize`: the least size in bytes that takes part; an empty file never does.
    explicit ContentsPass(qint64 minSize = 1, ContentsOptions options = {});

    // Gives `copySetOf` by record: from 1, in the order of each set's first record; 0 for a file
    // without a copy. Paths of one file (hard links) are one file, not copies of each other. A
    // stop request ends it at once (Stopped), as does the program's end (Abandoned).
    StepResult Run(SearchHost& host, const Global& global, std::vector<int>& copySetOf);

    // What the last Run compared, for the windows' Copies and the command's fields: the files
    // given to the check, their records (ascending) and its answer, one each. Empty unless it
    // completed. The files' paths are made as they are asked for, from the run's inventory.
    const ContentsSource& Files() const;
    const std::vector<qsizetype>& Records() const;
    const ContentsResults& Results() const { return results_; }
    // Lets go of what the last Run compared.
    void Clear();

private:
    class RecordFiles;

    qint64 minSize_;
    ContentsOptions options_;
    std::shared_ptr<const RecordFiles> files_;
    ContentsResults results_;
};

}  // namespace tallyrook
