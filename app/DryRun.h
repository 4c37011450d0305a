// `corvane run --dry-run` and the bus's preview: what a run would do, found by running the very same
// grouping code on a view of the folders made in memory (their names, kinds, sizes, dates and Finder
// information, no data), then thrown away. Nothing of the folders, the log or the journals changes.
#pragma once

#include <string>
#include <vector>

#include "app/AppController.h"

namespace corvane {

struct Preview {
    /// One line for each step, in the order the run would take them: a folder made, a copy or a move
    /// (a clash shown as "a new name made unique"), or a placement that would fail.
    std::vector<std::string> steps;
    /// What would become of each folder, as a run reports it.
    std::vector<FolderOutcome> outcomes;
};

/// What running command on folders would do. The command must be one of the seven.
Preview PreviewRun(const std::string& command, const std::vector<std::string>& folders);

}  // namespace corvane
