// The provider tells the user through the desktop's notification server that a request from the file
// manager was handled, unless the user turned that off; a small server of the test's own listens.
#include <gtest/gtest.h>

#include <sdbus-c++/sdbus-c++.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "desktop/ServicesBus.h"
#include "support/PrivateBus.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

using namespace corvane;

namespace {

const std::string kByExtension = "Aggregate Files by Extension";

// Owns org.freedesktop.Notifications on the bus and keeps what it is asked to show.
class NotificationServer {
public:
    explicit NotificationServer(const std::string& address)
        : connection_(sdbus::createSessionBusConnectionWithAddress(address)),
          object_(sdbus::createObject(*connection_, "/org/freedesktop/Notifications")) {
        object_->registerMethod("Notify")
            .onInterface("org.freedesktop.Notifications")
            .implementedAs([this](const std::string&, std::uint32_t, const std::string&, const std::string& summary,
                                  const std::string& body, const std::vector<std::string>&,
                                  const std::map<std::string, sdbus::Variant>&, std::int32_t) {
                const std::lock_guard<std::mutex> lock(mutex_);
                shown_.push_back(summary + " | " + body);
                return std::uint32_t{1};
            });
        object_->finishRegistration();
        connection_->requestName("org.freedesktop.Notifications");
        connection_->enterEventLoopAsync();
    }
    ~NotificationServer() { connection_->leaveEventLoop(); }

    /// What was shown, once count notifications came; what came by then after a minute otherwise.
    std::vector<std::string> shown(std::size_t count) {
        for (int wait = 0; wait < 600; ++wait) {
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                if (shown_.size() >= count) {
                    return shown_;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        const std::lock_guard<std::mutex> lock(mutex_);
        return shown_;
    }

private:
    std::unique_ptr<sdbus::IConnection> connection_;
    std::unique_ptr<sdbus::IObject> object_;
    std::mutex mutex_;
    std::vector<std::string> shown_;
};

}  // namespace

TEST(Notification, EachRequestIsToldUnlessTheUserTurnedItOff) {
    const TempDir dir;
    std::filesystem::create_directories(dir / "bus");
    std::map<std::string, std::string> environment = {{"HOME", dir / "home"}, {"XDG_CONFIG_HOME", dir / "home/config"},
                                                      {"XDG_DATA_HOME", dir / "home/data"}};
    const PrivateBus bus(dir / "bus", {}, environment);
    if (!bus.started()) {
        GTEST_SKIP() << "dbus-daemon could not be started (Debian: dbus-daemon)";
    }
    environment["DBUS_SESSION_BUS_ADDRESS"] = bus.address();
    NotificationServer server(bus.address());
    BackgroundProgram provider({CORVANE_BINARY, "serve"}, environment, dir / "serve.log");
    ASSERT_TRUE(WaitForBusName(bus.address(), kServicesBusName));
    WriteFile(dir / "Quiet/a.txt", "a");
    WriteFile(dir / "Downloads/b.txt", "b");
    WriteFile(dir / "Downloads/c.pdf", "c");
    WriteFile(dir / "Downloads/notes", "n");

    ASSERT_EQ(RunCorvane({"defaults", "write", "ShowNotifications", "-bool", "false"}, environment).exitStatus, 0);
    EXPECT_EQ(RunCorvane({"request", kByExtension, dir / "Quiet"}, environment).exitStatus, 0);
    ASSERT_EQ(RunCorvane({"defaults", "delete", "ShowNotifications"}, environment).exitStatus, 0);
    EXPECT_EQ(RunCorvane({"request", kByExtension, dir / "Downloads"}, environment).exitStatus, 0);
    // Sent in order by the provider: had the first been told, it would come first.
    EXPECT_EQ(server.shown(1), std::vector<std::string>{
                                   "Tidied Downloads | 2 copied and 0 moved into 2 folders, 1 left alone."});
    provider.signal(SIGTERM);
    EXPECT_EQ(provider.wait(), 0);
}
