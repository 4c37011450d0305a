// The provider tells the user through the desktop's notification server that a request from the file
// manager was handled, unless the user turned that off, and offers to undo it; a small server of the
// test's own listens. Other programs preview and undo requests over the bus.
#include <gtest/gtest.h>

#include <sdbus-c++/sdbus-c++.h>

#include <algorithm>
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
                                  const std::string& body, const std::vector<std::string>& actions,
                                  const std::map<std::string, sdbus::Variant>&, std::int32_t) {
                const std::lock_guard<std::mutex> lock(mutex_);
                shown_.push_back(summary + " | " + body);
                actions_.push_back(actions);
                return static_cast<std::uint32_t>(shown_.size());
            });
        object_->registerSignal("ActionInvoked").onInterface("org.freedesktop.Notifications").withParameters<std::uint32_t, std::string>();
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

    /// The actions the notification numbered id offered.
    std::vector<std::string> actions(std::uint32_t id) {
        const std::lock_guard<std::mutex> lock(mutex_);
        return id <= actions_.size() ? actions_[id - 1] : std::vector<std::string>{};
    }

    /// As when the user chooses the action key of notification id.
    void choose(std::uint32_t id, const std::string& key) {
        object_->emitSignal("ActionInvoked").onInterface("org.freedesktop.Notifications").withArguments(id, key);
    }

private:
    std::unique_ptr<sdbus::IConnection> connection_;
    std::unique_ptr<sdbus::IObject> object_;
    std::mutex mutex_;
    std::vector<std::string> shown_;
    std::vector<std::vector<std::string>> actions_;
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

    // The notification offers Undo, and choosing it takes the request back.
    EXPECT_EQ(server.actions(1), (std::vector<std::string>{"undo", "Undo"}));
    server.choose(1, "undo");
    for (int wait = 0; wait < 600 && ListNames(dir / "Downloads").size() != 3; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(ListNames(dir / "Downloads"), (std::vector<std::string>{"b.txt", "c.pdf", "notes"}));

    // Other programs preview a request and undo one over the bus.
    auto connection = sdbus::createSessionBusConnectionWithAddress(bus.address());
    auto corvane = sdbus::createProxy(*connection, kServicesBusName, kServicesObjectPath);
    std::vector<std::string> lines;
    corvane->callMethod(kServicesPreviewMethod)
        .onInterface(kServicesInterface)
        .withArguments(std::vector<std::string>{dir / "Downloads"}, kByExtension)
        .storeResultsTo(lines);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Would make folder \"" + dir / "Downloads/txt" + "\""), lines.end());
    EXPECT_EQ(ListNames(dir / "Downloads").size(), 3u) << "a preview changes nothing";
    std::string summary;
    std::vector<std::string> kept;
    corvane->callMethod(kServicesUndoMethod).onInterface(kServicesInterface).withArguments(std::string()).storeResultsTo(
        summary, kept);
    EXPECT_NE(summary.find("was already undone"), std::string::npos) << summary;
    provider.signal(SIGTERM);
    EXPECT_EQ(provider.wait(), 0);
}
