#include "desktop/ServicesClient.h"

#include <cstdint>
#include <limits>
#include <sdbus-c++/sdbus-c++.h>

#include "desktop/ServicesBus.h"
#include "platform/base/UnicodeText.h"

namespace corvane {

namespace {

// sd-bus reads the largest timeout as "never": a request over a large folder may run for hours.
constexpr std::uint64_t kNoTimeout = std::numeric_limits<std::uint64_t>::max();

std::string Explain(const sdbus::Error& error) {
    const std::string& name = error.getName();
    if (name == "org.freedesktop.DBus.Error.ServiceUnknown" || name == "org.freedesktop.DBus.Error.NameHasNoOwner") {
        return std::string("no Corvane provider is running on the session bus and D-Bus cannot start one ") +
               "(run `corvane install-services`, or start `corvane serve`): " + error.getMessage();
    }
    if (name == "org.freedesktop.DBus.Error.NoReply") {
        return "the provider ended before it finished the request: " + error.getMessage();
    }
    if (name.rfind("org.freedesktop.DBus.Error.Spawn.", 0) == 0) {
        return "D-Bus could not start the provider: " + error.getMessage();
    }
    return "the provider refused the request: " + name + ": " + error.getMessage();
}

}  // namespace

bool SendServicesRequest(const std::vector<std::string>& filenames, const std::string& userData,
                         std::vector<FolderReport>& reports, std::string* errorText) {
    std::vector<std::string> sendable;
    for (const std::string& filename : filenames) {
        sendable.push_back(IsValidUTF8(filename) ? filename : std::string());
    }
    std::unique_ptr<sdbus::IConnection> connection;
    try {
        connection = sdbus::createSessionBusConnection();
    } catch (const sdbus::Error& error) {
        if (errorText != nullptr) {
            *errorText = "cannot reach the session bus (is DBUS_SESSION_BUS_ADDRESS set?): " + error.getMessage();
        }
        return false;
    }
    try {
        auto proxy = sdbus::createProxy(*connection, kServicesBusName, kServicesObjectPath);
        sdbus::MethodCall call = proxy->createMethodCall(kServicesInterface, kServicesMethod);
        call << sendable << (IsValidUTF8(userData) ? userData : UTF8WithReplacementCharacters(userData));
        sdbus::MethodReply reply = proxy->callMethod(call, kNoTimeout);
        std::vector<ReportOnTheBus> folders;
        reply >> folders;
        for (const ReportOnTheBus& folder : folders) {
            reports.push_back(FolderReport{folder.get<0>(), folder.get<1>(), folder.get<2>(), folder.get<3>(),
                                           folder.get<4>(), folder.get<5>(), folder.get<6>()});
        }
    } catch (const sdbus::Error& error) {
        if (errorText != nullptr) {
            *errorText = Explain(error);
        }
        return false;
    }
    return true;
}

}  // namespace corvane
