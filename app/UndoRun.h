// `corvane undo`: takes a journaled run back, item by item, never replacing anything and never
// removing what changed since the run placed it.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace corvane {

/// What an undo did and could not do.
struct UndoOutcome {
    std::string run;      ///< the run taken back; empty when none was found
    std::string undoRun;  ///< the undo's own journal
    long removed = 0;     ///< copies removed
    long movedBack = 0;   ///< items moved back
    long folders = 0;     ///< key folders removed
    long kept = 0;        ///< items and folders that could not be undone, each told in report
    bool alreadyUndone = false;
};

/// Undoes run, or the last run that is not itself an undo. Each item that could not be undone is a
/// line in report saying why; none when there is no such run (why says so).
std::optional<UndoOutcome> UndoRun(const std::optional<std::string>& run, std::ostream& report, std::string* why);

/// One line that sums up outcome.
std::string UndoSummary(const UndoOutcome& outcome);

}  // namespace corvane
