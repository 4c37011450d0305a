// `corvane runs` and `corvane undo`: the journaled runs listed, and one of them taken back.
#pragma once

#include <optional>
#include <string>

namespace corvane {

/// Lists every journaled run, oldest first, one line each on standard output.
int RunListRuns();

/// Undoes run (or the last run), tells each item it could not undo on standard error, then sums up;
/// exit status 1 when anything could not be undone or there is no such run.
int RunUndoCommand(const std::optional<std::string>& run);

}  // namespace corvane
