#include "support/PrivateBus.h"

#include <chrono>
#include <cstdlib>
#include <sdbus-c++/sdbus-c++.h>
#include <thread>

#include "support/TempDir.h"

namespace corvane {

bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

PrivateBus::PrivateBus(const std::string& folder, const std::vector<std::string>& serviceFolders,
                       const std::map<std::string, std::string>& environment)
    : logPath_(folder + "/bus.log") {
    std::string serviceDirs;
    for (const std::string& serviceFolder : serviceFolders) {
        serviceDirs += "<servicedir>" + serviceFolder + "</servicedir>";
    }
    WriteFile(folder + "/bus.conf", "<busconfig><type>session</type><listen>unix:dir=" + folder +
                                        "</listen><auth>EXTERNAL</auth>" + serviceDirs +
                                        "<policy context=\"default\"><allow send_destination=\"*\"/>"
                                        "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n");
    if (std::system("command -v dbus-daemon >/dev/null 2>&1") != 0) {
        return;
    }
    // The address is the first line the daemon writes, before any service it starts can write.
    daemon_ = std::make_unique<BackgroundProgram>(
        std::vector<std::string>{"dbus-daemon", "--config-file=" + folder + "/bus.conf", "--nofork", "--print-address"},
        environment, logPath_);
    if (WaitForText(logPath_, "\n")) {
        const std::string log = ReadFile(logPath_);
        const std::string first = log.substr(0, log.find('\n'));
        address_ = first.starts_with("unix:") ? first : "";
    }
}

bool WaitForBusName(const std::string& address, const std::string& name) {
    try {
        auto connection = sdbus::createSessionBusConnectionWithAddress(address);
        auto bus = sdbus::createProxy(*connection, "org.freedesktop.DBus", "/org/freedesktop/DBus");
        return WaitUntil([&] {
            bool owned = false;
            bus->callMethod("NameHasOwner").onInterface("org.freedesktop.DBus").withArguments(name).storeResultsTo(owned);
            return owned;
        });
    } catch (const sdbus::Error&) {
        return false;
    }
}

bool WaitForText(const std::string& path, const std::string& text) {
    return WaitUntil([&] { return ReadFile(path).find(text) != std::string::npos; });
}

}  // namespace corvane
