// A private D-Bus session bus for one test.
#pragma once

#include <functional>
#include <memory>

#include "support/RunProgram.h"

namespace corvane {

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

/// Waits until done() holds; false when it does not after a minute.
bool WaitUntil(const std::function<bool()>& done);

/// Waits until name has an owner on the bus at address; false when it has none after a minute.
bool WaitForBusName(const std::string& address, const std::string& name);

/// Waits until the file at path holds text; false when it does not after a minute.
bool WaitForText(const std::string& path, const std::string& text);

}  // namespace corvane
