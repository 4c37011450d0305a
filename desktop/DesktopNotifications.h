// Desktop notifications (org.freedesktop.Notifications on the session bus): how the provider tells
// the user that a request from the file manager has been handled.
#pragma once

#include <string>

namespace corvane {

/// Shows summary and body through the session's notification server, if one is there or can be
/// started. Sent without waiting for an answer, so that a session without a server costs nothing
/// and delays nothing; false only when the session bus cannot be reached.
bool ShowDesktopNotification(const std::string& summary, const std::string& body);

}  // namespace corvane
