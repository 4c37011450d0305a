#include "desktop/DesktopNotifications.h"

#include <sdbus-c++/sdbus-c++.h>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace corvane {

namespace {

constexpr const char* kNotificationsName = "org.freedesktop.Notifications";
constexpr const char* kNotificationsPath = "/org/freedesktop/Notifications";
// The server's own default for how long a notification stays.
constexpr std::int32_t kServerDefaultTimeout = -1;

}  // namespace

bool ShowDesktopNotification(const std::string& summary, const std::string& body) {
    try {
        // One connection for the life of the process: a provider notifies after every request.
        static const std::unique_ptr<sdbus::IConnection> connection = sdbus::createSessionBusConnection();
        const std::unique_ptr<sdbus::IProxy> proxy =
            sdbus::createProxy(*connection, kNotificationsName, kNotificationsPath);
        proxy->callMethod("Notify")
            .onInterface(kNotificationsName)
            .withArguments(std::string("Corvane"), std::uint32_t{0}, std::string("folder"), summary, body,
                           std::vector<std::string>{}, std::map<std::string, sdbus::Variant>{}, kServerDefaultTimeout)
            .dontExpectReply();
        return true;
    } catch (const sdbus::Error&) {
        return false;
    }
}

}  // namespace corvane
