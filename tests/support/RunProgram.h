// Runs the built corvane program as a user would, with its own environment, and collects what it says.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <csignal>
#include <sys/types.h>

namespace corvane {

/// The seven commands as the menus name them, in the menus' order.
inline const std::vector<std::string> kCommands{
    "Aggregate Files by Extension",         "Aggregate Files by File Type",
    "Aggregate Files by Mime Type",         "Aggregate Files by Modification Date",
    "Aggregate Files by Creation Date",     "Aggregate Files by Modification Date Ignoring Days",
    "Aggregate Files by Creation Date Ignoring Days"};

/// A user whose home, configuration, data and state all lie under home, in UTC and the C locale.
std::map<std::string, std::string> UserEnvironment(const std::string& home);

bool Contains(const std::vector<std::string>& lines, const std::string& line);

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

/// A program started in the background with its own environment; killed and reaped if still running
/// when this goes.
class BackgroundProgram {
public:
    /// Starts argv[0] (searched in PATH) with environment entries set (an empty value unsets), its
    /// standard output and error appended to outputFile.
    BackgroundProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
                      const std::string& outputFile);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    pid_t pid() const { return pid_; }
    void signal(int number) const { kill(pid_, number); }
    /// Waits until it ends: its exit status, or 128 + the signal that ended it.
    int wait();

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

}  // namespace corvane
