// A private D-Bus session bus for one test, and programs that run beside the test, which it can
// signal and wait for.
#pragma once

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace corvane {

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
    void signal(int number) const;
    /// Waits until it ends: its exit status, or 128 + the signal that ended it.
    int wait();

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

/// dbus-daemon on a session configuration of its own, listening in folder and activating the services
/// described in serviceFolders, the first of them before the others (as the user's folder comes before
/// the system's); what it activates inherits environment and writes to logPath().
class PrivateBus {
public:
    PrivateBus(const std::string& folder, const std::vector<std::string>& serviceFolders,
               const std::map<std::string, std::string>& environment);

    /// False when dbus-daemon is missing or did not start; address() is then empty.
    bool started() const { return !address_.empty(); }
    const std::string& address() const { return address_; }
    /// The daemon's output, which the services it starts share.
    const std::string& logPath() const { return logPath_; }

private:
    std::string logPath_;
    std::unique_ptr<BackgroundProgram> daemon_;
    std::string address_;
};

/// Waits until name has an owner on the bus at address; false when it has none after a minute.
bool WaitForBusName(const std::string& address, const std::string& name);

/// Waits until the file at path holds text; false when it does not after a minute.
bool WaitForText(const std::string& path, const std::string& text);

}  // namespace corvane
