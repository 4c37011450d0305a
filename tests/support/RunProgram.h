// Runs the built corvane program as a user would, with its own environment, and collects what it says.
#pragma once

#include <chrono>
#include <map>
#include <optional>
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

/// Runs CORVANE_BINARY with arguments; environment entries are set (an empty value unsets), and HOME and
/// XDG_CONFIG_HOME should be among them so that the user's own preferences are never read. A launcher
/// (setpriv with its options, say) runs the program when given; program replaces the built one.
ProgramResult RunCorvane(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment,
                         const std::vector<std::string>& launcher = {}, const std::string& program = CORVANE_BINARY);

/// RunCorvane for a run that might hang: still running after limit, it is killed and the result says so.
ProgramResult RunCorvaneWithin(std::chrono::seconds limit, const std::vector<std::string>& arguments,
                               const std::map<std::string, std::string>& environment);

/// In a child after fork: sets environment (an empty value unsets) and executes argv[0], searched in PATH.
[[noreturn]] void ExecWithEnvironment(const std::vector<std::string>& argv,
                                      const std::map<std::string, std::string>& environment);

}  // namespace corvane
