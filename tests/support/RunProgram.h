// Runs the built corvane program as a user would, with its own environment, and collects what it says.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace corvane {

struct ProgramResult {
    int exitStatus = -1;  ///< the exit status, or 128 + signal
    std::string out;
    std::string err;
    bool timedOut = false;  ///< killed by RunCorvaneWithin's limit
    /// The log lines on standard error with their time and process prefix removed.
    std::vector<std::string> logLines() const;
};

/// Runs CORVANE_BINARY with arguments; environment entries are set (an empty value unsets).
/// HOME and XDG_CONFIG_HOME should be given so that the user's own preferences are never read.
/// A launcher (for example setpriv with its options) runs the program when given; program replaces
/// the built program, for a copy that another user may run.
ProgramResult RunCorvane(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment,
                         const std::vector<std::string>& launcher = {}, const std::string& program = CORVANE_BINARY);

/// RunCorvane for a run that might hang: a program still running after limit is killed, and the
/// result says so (timedOut, exit status 128 + SIGKILL).
ProgramResult RunCorvaneWithin(std::chrono::seconds limit, const std::vector<std::string>& arguments,
                               const std::map<std::string, std::string>& environment);

}  // namespace corvane
