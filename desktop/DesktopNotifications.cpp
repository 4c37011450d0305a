#include "desktop/DesktopNotifications.h"

#include <vector>

namespace corvane {

namespace {

constexpr const char* kNotificationsName = "org.freedesktop.Notifications";
constexpr const char* kNotificationsPath = "/org/freedesktop/Notifications";
constexpr const char* kUndoAction = "undo";
// The server's own default for how long a notification stays.
constexpr std::int32_t kServerDefaultTimeout = -1;

}  // namespace

DesktopNotifier::DesktopNotifier(sdbus::IConnection& connection, std::function<void(const std::string& run)> undo)
    : proxy_(sdbus::createProxy(connection, kNotificationsName, kNotificationsPath)), undo_(std::move(undo)) {
    proxy_->uponSignal("ActionInvoked")
        .onInterface(kNotificationsName)
        .call([this](std::uint32_t id, const std::string& action) {
            const auto told = runs_.find(id);
            if (action == kUndoAction && told != runs_.end()) {
                const std::string run = told->second;
                runs_.erase(told);
                undo_(run);
            }
        });
    proxy_->uponSignal("NotificationClosed").onInterface(kNotificationsName).call([this](std::uint32_t id, std::uint32_t) {
        runs_.erase(id);
    });
    proxy_->finishRegistration();
}

void DesktopNotifier::Show(const std::string& summary, const std::string& body, const std::string& run) {
    const std::vector<std::string> actions =
        run.empty() ? std::vector<std::string>{} : std::vector<std::string>{kUndoAction, "Undo"};
    try {
        proxy_->callMethodAsync("Notify")
            .onInterface(kNotificationsName)
            .withArguments(std::string("Corvane"), std::uint32_t{0}, std::string("folder"), summary, body, actions,
                           std::map<std::string, sdbus::Variant>{}, kServerDefaultTimeout)
            .uponReplyInvoke([this, run](const sdbus::Error* error, std::uint32_t id) {
                if (error == nullptr && !run.empty()) {
                    runs_[id] = run;
                }
            });
    } catch (const sdbus::Error&) {
        // No server and no way to start one: the request was handled all the same.
    }
}

}  // namespace corvane
