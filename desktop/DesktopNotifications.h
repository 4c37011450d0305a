// Desktop notifications (org.freedesktop.Notifications on the session bus): how the provider tells
// the user that a request from the file manager has been handled, with an Undo action for it.
#pragma once

#include <sdbus-c++/sdbus-c++.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace corvane {

/// The session's notification server as the provider uses it, on the provider's own connection, whose
/// loop delivers the server's answers and the actions the user chooses.
class DesktopNotifier {
public:
    /// undo is called with the run a notification told of when the user chooses its Undo action.
    DesktopNotifier(sdbus::IConnection& connection, std::function<void(const std::string& run)> undo);

    /// Shows summary and body, with an Undo action when run names a journaled run. Sent without
    /// waiting for an answer, so that a session without a server costs nothing and delays nothing.
    void Show(const std::string& summary, const std::string& body, const std::string& run);

private:
    std::unique_ptr<sdbus::IProxy> proxy_;
    std::function<void(const std::string&)> undo_;
    std::map<std::uint32_t, std::string> runs_;
};

}  // namespace corvane
