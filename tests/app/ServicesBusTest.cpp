// The provider and its clients on a private bus: activation, each file manager's menu commands, foreign
// clients, request order, notifications, and stopping the provider.

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <mutex>
#include <pugixml.hpp>
#include <regex>
#include <sdbus-c++/sdbus-c++.h>
#include <thread>

#include "desktop/ServicesBus.h"
#include "desktop/ServicesDeclarations.h"
#include "desktop/ThunarActions.h"
#include "support/PrivateBus.h"
#include "support/TempDir.h"

using namespace corvane;

namespace fs = std::filesystem;

namespace {

const std::string kByExtension = "Aggregate Files by Extension";
const std::string kByMimeType = "Aggregate Files by Mime Type";
// A folder name that each quoting layer must carry whole: a blank, both quotes, and what a shell expands.
const std::string kAwkwardName = "it's \"odd\" $HOME `x`";
constexpr const char* kNotifications = "org.freedesktop.Notifications";

void MakeFiles(const std::string& folder, int count) {
    for (int i = 0; i < count; ++i) {
        WriteFile(folder + "/file" + std::to_string(1000 + i) + ".txt", "content");
    }
}

class ServicesBus : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir / "bus");
        fs::create_directories(dir / "home/data/dbus-1/services");
        fs::create_directories(systemServices());
        bus = std::make_unique<PrivateBus>(
            dir / "bus", std::vector<std::string>{dir / "home/data/dbus-1/services", systemServices()}, environment());
        if (!bus->started()) {
            GTEST_SKIP() << "dbus-daemon could not be started (Debian: dbus-daemon)";
        }
    }

    // A private home, so that the provider's refresh never touches the user's own menus.
    std::map<std::string, std::string> environment() {
        return {{"HOME", dir / "home"}, {"XDG_DATA_HOME", dir / "home/data"}, {"XDG_CONFIG_HOME", dir / "home/config"},
                {"XDG_CONFIG_DIRS", dir / "etc"}, {"XDG_RUNTIME_DIR", dir / "home"},
                {"DBUS_SESSION_BUS_ADDRESS", bus ? bus->address() : ""}};
    }
    ProgramResult corvane(const std::vector<std::string>& arguments) { return RunCorvane(arguments, environment()); }
    ProgramResult request(const std::string& command, const std::string& in) {
        return corvane({"request", command, in});
    }
    ProgramResult dbusSend(const std::vector<std::string>& arguments) {
        std::vector<std::string> call{"--bus=" + bus->address(), "--print-reply", "--dest=com.fernwick.Corvane",
                                      "/com/fernwick/Corvane", "com.fernwick.Corvane.Services.HandleMenuSelection"};
        call.insert(call.end(), arguments.begin(), arguments.end());
        return RunCorvane(call, environment(), {}, "dbus-send");
    }
    // /bin/sh runs line with these arguments, as a file manager hands a command line to it.
    ProgramResult shell(const std::string& line) { return RunCorvane({"-c", line}, environment(), {}, "sh"); }

    /// corvane serve, started by the test and owning the name when this returns.
    std::unique_ptr<BackgroundProgram> serve() {
        auto provider = std::make_unique<BackgroundProgram>(std::vector<std::string>{CORVANE_BINARY, "serve"},
                                                            environment(), serveLog());
        EXPECT_TRUE(WaitForBusName(bus->address(), kServicesBusName)) << ReadFile(serveLog());
        return provider;
    }
    /// The program that owns the provider's name.
    std::string providerProgram() {
        auto connection = sdbus::createSessionBusConnectionWithAddress(bus->address());
        auto daemon = sdbus::createProxy(*connection, "org.freedesktop.DBus", "/org/freedesktop/DBus");
        std::uint32_t pid = 0;
        daemon->callMethod("GetConnectionUnixProcessID")
            .onInterface("org.freedesktop.DBus")
            .withArguments(std::string(kServicesBusName))
            .storeResultsTo(pid);
        return fs::read_symlink("/proc/" + std::to_string(pid) + "/exe").string();
    }
    // Where a package installs the activation file, as dbus-daemon's system-wide folder.
    std::string systemPrefix() { return dir / ("usr " + kAwkwardName); }
    std::string systemServices() { return systemPrefix() + "/share/dbus-1/services"; }
    std::string serveLog() { return dir / "serve.log"; }
    static std::vector<std::string> logLines(const std::string& log) {
        return ProgramResult{0, "", ReadFile(log)}.logLines();
    }

    TempDir dir;
    std::unique_ptr<PrivateBus> bus;
};

}  // namespace

TEST_F(ServicesBus, InstallServicesFromAnAwkwardPathIsStartedByTheBusWhichRefreshesOnlyTheDeclarationsInPlace) {
    std::map<std::string, std::string> noBus = environment();
    noBus["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + dir / "no-bus-here";
    const ProgramResult withoutBus = RunCorvane({"request", kByExtension, dir.path()}, noBus);
    EXPECT_EQ(withoutBus.exitStatus, 1);
    EXPECT_NE(withoutBus.err.find("cannot reach the session bus"), std::string::npos) << withoutBus.err;
    const ProgramResult withoutProvider = request(kByExtension, dir.path());
    EXPECT_EQ(withoutProvider.exitStatus, 1);
    EXPECT_NE(withoutProvider.err.find("no Corvane provider"), std::string::npos) << withoutProvider.err;

    const std::string copy = dir / (kAwkwardName + "/corvane");
    fs::create_directories(dir / kAwkwardName);
    fs::copy_file(CORVANE_BINARY, copy);
    ASSERT_EQ(RunCorvane({"install-services"}, environment(), {}, copy).exitStatus, 0);
    const std::string nemo = dir / "home/data/nemo/actions/corvane-aggregate-files-by-extension.nemo_action";
    const std::string script = dir / ("home/data/nautilus/scripts/Corvane/" + kByMimeType);
    const std::string uca = dir / "home/config/Thunar/uca.xml";
    const std::string freshNemo = ReadFile(nemo);
    std::string freshActions;
    std::size_t removed = 0;
    ASSERT_TRUE(
        RemoveThunarActions(ReadFile(uca), {"corvane-aggregate-files-by-mime-type"}, freshActions, removed, nullptr));
    // As an older program at another path left them, less what the user took out since.
    const auto stale = [&](std::string text) {
        for (std::size_t at; (at = text.find(dir.path().string())) != std::string::npos;) {
            text.replace(at, dir.path().string().size(), "/opt/old");
        }
        return text;
    };
    WriteFile(nemo, stale(freshNemo));
    WriteFile(uca, stale(freshActions));
    fs::remove(script);
    WriteFile(dir / "Folder/a.txt", "a");
    const ProgramResult requested = corvane({"request", kByExtension, dir / "Folder", dir / "missing"});
    EXPECT_EQ(requested.exitStatus, 1);
    EXPECT_EQ(ReadFile(dir / "Folder/txt/a.txt"), "a") << "done before the client returned";
    EXPECT_EQ(providerProgram(), copy);
    // The provider's reply tells the client what became of each folder, as `corvane run` tells it.
    EXPECT_EQ(requested.err, dir / "Folder" + ": 1 copied, 0 moved, 0 left alone, 0 failed\n" + dir / "missing" +
                                 " does not exist\nIn all: 1 copied, 0 moved, 0 left alone, 0 failed\n");
    EXPECT_EQ(ReadFile(nemo), freshNemo);
    EXPECT_EQ(ReadFile(uca), freshActions);
    EXPECT_FALSE(fs::exists(script));
}

// The bus starts what cmake installed, and that provider brings back no declaration the user uninstalled.
TEST_F(ServicesBus, CmakeInstallWritesTheActivationFileAndUnitThatTheBusStartsFromAnAwkwardPrefix) {
    std::map<std::string, std::string> noDestdir = environment();
    noDestdir["DESTDIR"] = "";
    const std::string prefix = systemPrefix();
    const ProgramResult installed =
        RunCorvane({"--install", CORVANE_BUILD_DIR, "--prefix", prefix}, noDestdir, {}, CORVANE_CMAKE);
    ASSERT_EQ(installed.exitStatus, 0) << installed.out << installed.err;
    EXPECT_EQ(ReadFile(prefix + "/share/dbus-1/services/" + kServicesBusName + ".service"),
              ActivationFileContent(prefix + "/bin/corvane"));
    EXPECT_EQ(ReadFile(prefix + "/share/systemd/user/corvane.service"),
              SystemdCanStart(prefix) ? SystemdUnitContent(prefix + "/bin/corvane") : "");
    ASSERT_EQ(corvane({"install-services"}).exitStatus, 0);
    ASSERT_EQ(corvane({"install-services", "--uninstall"}).exitStatus, 0);
    WriteFile(dir / "Folder/a.txt", "a");
    EXPECT_EQ(request(kByExtension, dir / "Folder").exitStatus, 0);
    EXPECT_EQ(ReadFile(dir / "Folder/txt/a.txt"), "a");
    EXPECT_EQ(providerProgram(), systemPrefix() + "/bin/corvane");
    for (const auto& entry : fs::recursive_directory_iterator(dir / "home")) {
        // The request's journal is the run's record, no declaration.
        EXPECT_TRUE(entry.is_directory() || entry.path().string().starts_with(dir / "home/.local/state/corvane/"))
            << entry.path();
    }
}

TEST_F(ServicesBus, EveryScriptAndThunarActionRunAsItsFileManagerRunsItReachesTheProviderWhole) {
    ASSERT_EQ(corvane({"install-services"}).exitStatus, 0);
    const std::map<std::string, std::string> keyFolders{
        {"Aggregate Files by Extension", "txt"},          {"Aggregate Files by File Type", "TEXT"},
        {"Aggregate Files by Mime Type", "text:plain"},   {"Aggregate Files by Modification Date", "2001"},
        {"Aggregate Files by Modification Date Ignoring Days", "2001"}};
    int count = 0;
    // A fresh folder per request, its name with a blank and a quote; run hands it to the file manager's line.
    const auto check = [&](const std::string& manager, const std::string& command, const auto& run) {
        const std::string folder = dir / ("files/it's folder " + std::to_string(++count));
        WriteFile(folder + "/note.txt", "text");
        SetModified(folder + "/note.txt", 981201600);  // 2001-02-03 12:00 UTC
        const ProgramResult result = run(folder);
        SCOPED_TRACE(manager + ", " + command + "\n" + result.err);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_TRUE(Contains(logLines(bus->logPath()), "Aggregating folder it's folder " + std::to_string(count)));
        if (keyFolders.count(command) != 0) {
            EXPECT_TRUE(fs::is_directory(folder + "/" + keyFolders.at(command)));
        }
    };
    // GNOME Files runs the script in the shown folder with the selected names, options or not, as its arguments.
    for (const fs::directory_entry& script : fs::directory_iterator(dir / "home/data/nautilus/scripts/Corvane")) {
        check("GNOME Files", script.path().filename(), [&](const std::string& folder) {
            const std::string name = fs::path(folder).filename();
            return RunCorvane({name}, environment(), {"env", "-C", dir / "files"}, script.path());
        });
    }
    WriteFile(dir / "files/-x/note.txt", "text");
    WriteFile(dir / "files/--help/note.txt", "text");
    const std::string byExtension = dir / ("home/data/nautilus/scripts/Corvane/" + kByExtension);
    EXPECT_EQ(RunCorvane({"-x", "--help"}, environment(), {"env", "-C", dir / "files"}, byExtension).exitStatus, 0);
    EXPECT_EQ(ReadFile(dir / "files/-x/txt/note.txt") + ReadFile(dir / "files/--help/txt/note.txt"), "texttext");
    // Thunar puts each path through g_shell_quote and runs the line with /bin/sh -c.
    pugi::xml_document uca;
    ASSERT_TRUE(uca.load_file((dir / "home/config/Thunar/uca.xml").c_str()));
    EXPECT_EQ(uca.select_nodes("/actions/action/command").size(), 7U);
    for (const pugi::xpath_node& command : uca.select_nodes("/actions/action/command")) {
        std::string line = command.node().child_value();
        std::smatch declared;
        ASSERT_TRUE(std::regex_search(line, declared, std::regex(" request '(.*)' -- %F$"))) << line;
        check("Thunar", declared[1], [&](const std::string& folder) {
            const std::string quoted = "'" + std::regex_replace(folder, std::regex("'"), "'\\''") + "'";
            return shell(line.replace(line.find("%F"), 2, quoted));
        });
    }
    // Nemo's and Dolphin's Exec lines are the words GLib reads back in the declarations' own tests.
    const std::string dolphin = dir / "home/data/kio/servicemenus/corvane.desktop";
    EXPECT_TRUE(access(dolphin.c_str(), X_OK) == 0) << "Dolphin runs only an executable service menu";
    const std::vector<std::string> lines = logLines(bus->logPath());
    EXPECT_FALSE(std::any_of(lines.begin(), lines.end(), [](auto& line) { return line.starts_with("Unsupported"); }));
}

TEST_F(ServicesBus, OneProviderServesAnyClientRefusesBadCallsAndRelativePathsAndIsWaitedForPastTheBusTimeout) {
    auto provider = serve();
    const ProgramResult second = corvane({"serve"});
    EXPECT_EQ(second.exitStatus, 1);
    EXPECT_NE(second.err.find("already provides com.fernwick.Corvane"), std::string::npos) << second.err;
    const ProgramResult refused = dbusSend({"string:" + kByExtension, "array:string:/tmp"});
    EXPECT_NE(refused.exitStatus, 0);
    EXPECT_NE(refused.err.find("org.freedesktop.DBus.Error.InvalidArgs"), std::string::npos) << refused.err;
    WriteFile(dir / "Folder/a.txt", "a");
    EXPECT_EQ(dbusSend({"array:string:" + dir / "Folder", "string:" + kByExtension}).exitStatus, 0);
    // A relative path would be read against the provider's own working folder, which is nobody's.
    WriteFile(dir / "Relative/b.txt", "b");
    const std::string relative = fs::relative(dir / "Relative").string();
    ASSERT_EQ(dbusSend({"array:string:" + relative, "string:" + kByExtension}).exitStatus, 0);
    EXPECT_EQ(ListNames(dir / "Relative"), std::vector<std::string>{"b.txt"});
    // A command of invalid UTF-8 is repaired at once, not in time growing with its square.
    std::string repaired;
    for (int i = 0; i < 16384; ++i) {
        repaired += "\xEF\xBF\xBD";
    }
    const ProgramResult invalid =
        RunCorvaneWithin(std::chrono::seconds(10), {"request", std::string(16384, '\xFF'), dir.path()}, environment());
    EXPECT_FALSE(invalid.timedOut) << "16 KB take longer than 10 s to repair";
    EXPECT_EQ(logLines(serveLog()), (std::vector<std::string>{
                                        "Aggregating folder Folder", "Moving: " + dir / "Folder/a.txt",
                                        "Moved \"a.txt\" to \"txt\"",
                                        "Refused \"" + relative + "\": a request names its folders by absolute path",
                                        "Unsupported command: " + repaired}));
    // Well past the default timeout the client was given, the stopped provider has not even started.
    std::map<std::string, std::string> impatient = environment();
    impatient["SYSTEMD_BUS_TIMEOUT"] = "100ms";
    provider->signal(SIGSTOP);
    BackgroundProgram client({CORVANE_BINARY, "request", kByMimeType, dir / "Folder"}, impatient, dir / "client.log");
    std::this_thread::sleep_for(std::chrono::seconds(1));
    provider->signal(SIGCONT);
    EXPECT_EQ(client.wait(), 0) << ReadFile(dir / "client.log");
    EXPECT_EQ(ReadFile(dir / "Folder/text:plain/a.txt"), "a");
}

TEST_F(ServicesBus, RequestsRunOneAfterTheOtherInArrivalOrderAndLeaveNoDescriptorOpen) {
    auto provider = serve();
    constexpr int kFiles = 150;
    MakeFiles(dir / "Shared", kFiles);
    auto connection = sdbus::createSessionBusConnectionWithAddress(bus->address());
    auto proxy = sdbus::createProxy(*connection, kServicesBusName, kServicesObjectPath);
    std::vector<std::string> replies;
    // On one connection the second call leaves only after the first: they arrive in this order.
    for (const std::string& command : {kByExtension, kByMimeType}) {
        sdbus::MethodCall call = proxy->createMethodCall(kServicesInterface, kServicesMethod);
        call << std::vector<std::string>{dir / "Shared"} << command;
        const auto onReply = [&replies, command](sdbus::MethodReply&, const sdbus::Error* error) {
            replies.push_back(error != nullptr ? error->getMessage() : command);
        };
        proxy->callMethod(call, onReply, std::numeric_limits<std::uint64_t>::max());
    }
    while (replies.size() < 2) {
        if (!connection->processPendingRequest()) {
            const sdbus::IConnection::PollData wait = connection->getEventLoopPollData();
            pollfd fd{wait.fd, wait.events, 0};
            poll(&fd, 1, wait.getPollTimeout());
        }
    }
    EXPECT_EQ(replies, (std::vector<std::string>{kByExtension, kByMimeType}));
    std::string order;
    for (const std::string& line : logLines(serveLog())) {
        if (line.starts_with("Moved ")) {
            order += line.ends_with(" to \"txt\"") ? 'E' : 'M';
        }
    }
    EXPECT_EQ(order, std::string(kFiles, 'E') + std::string(kFiles, 'M'));

    // Recursion on, so that each request also opens and lets go of a subfolder's pool.
    constexpr int kRequests = 201;
    const auto folder = [this](int request) { return dir / ("Many/F" + std::to_string(request)); };
    for (int request = 0; request < kRequests; ++request) {
        WriteFile(folder(request) + "/a.txt", "a");
        WriteFile(folder(request) + "/b.pdf", "b");
        WriteFile(folder(request) + "/Sub/c.txt", "c");
    }
    ASSERT_EQ(corvane({"defaults", "write", "RecurseFolders", "-bool", "true"}).exitStatus, 0);
    const auto handle = [&](int request) {
        sdbus::MethodCall call = proxy->createMethodCall(kServicesInterface, kServicesMethod);
        call << std::vector<std::string>{folder(request)} << kByExtension;
        proxy->callMethod(call, std::numeric_limits<std::uint64_t>::max());
    };
    const auto heldDescriptors = [&] {
        const fs::directory_iterator fds("/proc/" + std::to_string(provider->pid()) + "/fd");
        return std::distance(fs::begin(fds), fs::end(fds));
    };
    // Whatever the provider keeps open for good is open once a request with recursion has been handled.
    handle(0);
    const auto afterFirst = heldDescriptors();
    for (int request = 1; request < kRequests; ++request) {
        handle(request);
    }
    EXPECT_EQ(heldDescriptors(), afterFirst);
    EXPECT_EQ(ReadFile(folder(kRequests - 1) + "/Sub/txt/c.txt"), "c");
}

TEST_F(ServicesBus, SigtermMidRequestEndsTheProviderOnceAnsweredAndSigkillLeavesNoPartialCopy) {
    constexpr int kFiles = 2000;
    for (const int stop : {SIGTERM, SIGKILL}) {
        const std::string folder = dir / ("Big" + std::to_string(stop));
        MakeFiles(folder, kFiles);
        fs::remove(serveLog());
        auto provider = serve();
        BackgroundProgram client({CORVANE_BINARY, "request", kByExtension, folder}, environment(), dir / "client.log");
        ASSERT_TRUE(WaitForText(serveLog(), "Moved "));
        provider->signal(stop);
        if (stop == SIGTERM) {
            EXPECT_EQ(client.wait(), 0) << ReadFile(dir / "client.log");
            EXPECT_EQ(provider->wait(), 0) << ReadFile(serveLog());
            EXPECT_EQ(ListNames(folder + "/txt").size(), static_cast<std::size_t>(kFiles));
        } else {
            EXPECT_EQ(client.wait(), 1);
            EXPECT_NE(ReadFile(dir / "client.log").find("the provider ended before it finished"), std::string::npos);
            for (const std::string& name : ListNames(folder + "/txt")) {
                EXPECT_EQ(ReadFile(folder + "/txt/" + name), ReadFile(folder + "/" + name)) << name;
            }
        }
    }
}

TEST_F(ServicesBus, EachRequestIsNotifiedWithAnUndoUnlessTheUserTurnedItOff) {
    // A notification server that keeps each notification as "summary | body | actions".
    std::mutex mutex;
    std::vector<std::string> shown;
    auto connection = sdbus::createSessionBusConnectionWithAddress(bus->address());
    auto server = sdbus::createObject(*connection, "/org/freedesktop/Notifications");
    server->registerMethod("Notify").onInterface(kNotifications).implementedAs(
        [&](const std::string&, std::uint32_t, const std::string&, const std::string& summary, const std::string& body,
            const std::vector<std::string>& actions, const std::map<std::string, sdbus::Variant>&, std::int32_t) {
            const std::lock_guard<std::mutex> lock(mutex);
            shown.push_back(summary + " | " + body + " |");
            for (const std::string& action : actions) {
                shown.back() += " " + action;
            }
            return static_cast<std::uint32_t>(shown.size());
        });
    server->registerSignal("ActionInvoked").onInterface(kNotifications).withParameters<std::uint32_t, std::string>();
    server->finishRegistration();
    connection->requestName(kNotifications);
    connection->enterEventLoopAsync();
    auto provider = serve();
    WriteFile(dir / "Quiet/a.txt", "a");
    WriteFile(dir / "Downloads/b.txt", "b");
    WriteFile(dir / "Downloads/c.pdf", "c");
    WriteFile(dir / "Downloads/notes", "n");
    ASSERT_EQ(corvane({"defaults", "write", "ShowNotifications", "-bool", "false"}).exitStatus, 0);
    EXPECT_EQ(request(kByExtension, dir / "Quiet").exitStatus, 0);
    ASSERT_EQ(corvane({"defaults", "delete", "ShowNotifications"}).exitStatus, 0);
    EXPECT_EQ(request(kByExtension, dir / "Downloads").exitStatus, 0);
    // Sent in order by the provider: had the first been told, it would come first.
    const auto notified = [&] {
        const std::lock_guard<std::mutex> lock(mutex);
        return shown;
    };
    WaitUntil([&] { return !notified().empty(); });
    EXPECT_EQ(notified(), std::vector<std::string>{"Tidied Downloads | 2 copied and 0 moved into 2 folders, "
                                                   "1 left alone. | undo Undo"});
    // Choosing Undo in the notification takes the request back.
    server->emitSignal("ActionInvoked").onInterface(kNotifications).withArguments(1u, std::string("undo"));
    WaitUntil([&] { return ListNames(dir / "Downloads").size() == 3; });
    EXPECT_EQ(ListNames(dir / "Downloads"), (std::vector<std::string>{"b.txt", "c.pdf", "notes"}));

    // Other programs preview a request and undo one over the bus.
    auto client = sdbus::createSessionBusConnectionWithAddress(bus->address());
    auto corvane = sdbus::createProxy(*client, kServicesBusName, kServicesObjectPath);
    std::vector<std::string> lines;
    corvane->callMethod(kServicesPreviewMethod)
        .onInterface(kServicesInterface)
        .withArguments(std::vector<std::string>{dir / "Downloads"}, kByExtension)
        .storeResultsTo(lines);
    EXPECT_TRUE(Contains(lines, "Would make folder \"" + dir / "Downloads/txt" + "\""));
    EXPECT_EQ(ListNames(dir / "Downloads").size(), 3u);
    std::string summary;
    std::vector<std::string> kept;
    corvane->callMethod(kServicesUndoMethod)
        .onInterface(kServicesInterface)
        .withArguments(std::string())
        .storeResultsTo(summary, kept);
    EXPECT_NE(summary.find("was already undone"), std::string::npos) << summary;
}
