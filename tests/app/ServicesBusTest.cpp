// The provider and its clients on a private session bus that each test starts: D-Bus activation,
// clients that are not ours, requests in arrival order, bad input, and stopping or killing the
// provider while it works.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <regex>
#include <sdbus-c++/sdbus-c++.h>
#include <thread>

#include "app/CommandTable.h"
#include "app/ServicesCommands.h"
#include "platform/Log.h"
#include "platform/ServicesBus.h"
#include "support/PrivateBus.h"
#include "support/RunProgram.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

const std::string kByExtension = "Aggregate Files by Extension";
const std::string kByMimeType = "Aggregate Files by Mime Type";

bool ToolPresent(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<std::string> LogLinesOf(const std::string& text) { return ProgramResult{0, "", text}.logLines(); }

std::size_t CountStartingWith(const std::vector<std::string>& lines, const std::string& start) {
    return static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.starts_with(start); }));
}

void MakeFiles(const std::string& folder, int count, const std::string& extension) {
    for (int i = 0; i < count; ++i) {
        WriteFile(folder + "/file" + std::to_string(1000 + i) + "." + extension, "content " + std::to_string(i));
    }
}

class ServicesBus : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir / "bus");
        fs::create_directories(dir / "home/data/dbus-1/services");
        bus = std::make_unique<PrivateBus>(dir / "bus", dir / "home/data/dbus-1/services", userEnvironment());
        if (!bus->started()) {
            GTEST_SKIP() << "dbus-daemon could not be started (Debian: dbus-daemon)";
        }
    }

    // A private home, so that the provider's refresh never touches the user's own menus.
    std::map<std::string, std::string> userEnvironment() {
        return {{"HOME", dir / "home"},
                {"XDG_DATA_HOME", dir / "home/data"},
                {"XDG_CONFIG_HOME", dir / "home/config"},
                {"XDG_CONFIG_DIRS", dir / "etc"},
                {"XDG_RUNTIME_DIR", dir / "home"}};
    }
    std::map<std::string, std::string> environment() {
        std::map<std::string, std::string> variables = userEnvironment();
        variables["DBUS_SESSION_BUS_ADDRESS"] = bus->address();
        return variables;
    }
    ProgramResult corvane(const std::vector<std::string>& arguments) { return RunCorvane(arguments, environment()); }
    ProgramResult request(const std::string& command, const std::vector<std::string>& paths) {
        std::vector<std::string> arguments{"request", command};
        arguments.insert(arguments.end(), paths.begin(), paths.end());
        return corvane(arguments);
    }
    ProgramResult foreign(const std::string& tool, const std::vector<std::string>& arguments) {
        return RunCorvane(arguments, environment(), {}, tool);
    }

    /// corvane serve, started by the test and owning the name when this returns.
    std::unique_ptr<BackgroundProgram> serve() {
        auto provider =
            std::make_unique<BackgroundProgram>(std::vector<std::string>{CORVANE_BINARY, "serve"}, environment(), serveLog());
        EXPECT_TRUE(WaitForBusName(bus->address(), kServicesBusName)) << ReadFile(serveLog());
        return provider;
    }
    std::string serveLog() { return dir / "serve.log"; }
    std::vector<std::string> serveLines() { return LogLinesOf(ReadFile(serveLog())); }

    TempDir dir;
    std::unique_ptr<PrivateBus> bus;
};

}  // namespace

TEST_F(ServicesBus, ActivationStartsTheProviderOnceAndTheClientWaitsForTheWholeRequest) {
    ASSERT_EQ(corvane({"install-services"}).exitStatus, 0);
    WriteFile(dir / "Folder/a.txt", "a");
    WriteFile(dir / "Folder/b.pdf", "b");
    const ProgramResult first = request(kByExtension, {dir / "Folder"});
    EXPECT_EQ(first.exitStatus, 0) << first.err;
    EXPECT_EQ(ReadFile(dir / "Folder/txt/a.txt"), "a") << "done before the client returned";
    EXPECT_EQ(ReadFile(dir / "Folder/pdf/b.pdf"), "b");

    WriteFile(dir / "Other/c.txt", "c");
    EXPECT_EQ(request(kByExtension, {dir / "Other"}).exitStatus, 0);
    EXPECT_EQ(ReadFile(dir / "Other/txt/c.txt"), "c");

    // Both requests were handled by one provider process, started by the bus.
    const std::string log = ReadFile(bus->logPath());
    std::smatch first_pid;
    std::smatch second_pid;
    ASSERT_TRUE(std::regex_search(log, first_pid, std::regex(R"(corvane\[(\d+):\d+\] Aggregating folder Folder)"))) << log;
    ASSERT_TRUE(std::regex_search(log, second_pid, std::regex(R"(corvane\[(\d+):\d+\] Aggregating folder Other)"))) << log;
    EXPECT_EQ(first_pid[1], second_pid[1]);
}

TEST_F(ServicesBus, AMissingBusOrProviderIsAClearError) {
    std::map<std::string, std::string> noBus = environment();
    noBus["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + dir / "no-bus-here";
    const ProgramResult withoutBus = RunCorvane({"request", kByExtension, dir.path()}, noBus);
    EXPECT_EQ(withoutBus.exitStatus, 1);
    EXPECT_NE(withoutBus.err.find("corvane request: cannot reach the session bus"), std::string::npos) << withoutBus.err;

    const ProgramResult withoutProvider = request(kByExtension, {dir.path()});
    EXPECT_EQ(withoutProvider.exitStatus, 1);
    EXPECT_NE(withoutProvider.err.find("no Corvane provider"), std::string::npos) << withoutProvider.err;
}

TEST_F(ServicesBus, ASecondProviderIsTurnedAway) {
    auto provider = serve();
    const ProgramResult second = corvane({"serve"});
    EXPECT_EQ(second.exitStatus, 1);
    EXPECT_NE(second.err.find("already provides com.fernwick.Corvane"), std::string::npos) << second.err;
    WriteFile(dir / "Folder/a.txt", "a");
    EXPECT_EQ(request(kByExtension, {dir / "Folder"}).exitStatus, 0) << "the first one still serves";
    EXPECT_EQ(ReadFile(dir / "Folder/txt/a.txt"), "a");
}

TEST_F(ServicesBus, ClientsThatAreNotOursAreServedToo) {
    auto provider = serve();
    WriteFile(dir / "BySend/a.txt", "a");
    const ProgramResult sent =
        foreign("dbus-send", {"--bus=" + bus->address(), "--print-reply", "--dest=com.fernwick.Corvane",
                              "/com/fernwick/Corvane", "com.fernwick.Corvane.Services.HandleMenuSelection",
                              "array:string:" + dir / "BySend", "string:" + kByExtension});
    EXPECT_EQ(sent.exitStatus, 0) << sent.err;
    EXPECT_EQ(ReadFile(dir / "BySend/txt/a.txt"), "a") << "the reply came after the request had run";

    if (ToolPresent("busctl")) {
        WriteFile(dir / "ByBusctl/a.txt", "a");
        const ProgramResult called =
            foreign("busctl", {"--address=" + bus->address(), "call", "com.fernwick.Corvane", "/com/fernwick/Corvane",
                               "com.fernwick.Corvane.Services", "HandleMenuSelection", "ass", "1",
                               dir / "ByBusctl", kByExtension});
        EXPECT_EQ(called.exitStatus, 0) << called.err;
        EXPECT_EQ(ReadFile(dir / "ByBusctl/txt/a.txt"), "a");
    }
    if (ToolPresent("gdbus")) {
        WriteFile(dir / "ByGdbus/a.txt", "a");
        const ProgramResult called =
            foreign("gdbus", {"call", "--address", bus->address(), "--dest", "com.fernwick.Corvane", "--object-path",
                              "/com/fernwick/Corvane", "--method", "com.fernwick.Corvane.Services.HandleMenuSelection",
                              "['" + dir / "ByGdbus" + "']", kByExtension});
        EXPECT_EQ(called.exitStatus, 0) << called.err;
        EXPECT_EQ(ReadFile(dir / "ByGdbus/txt/a.txt"), "a");
    }
}

TEST_F(ServicesBus, AMalformedCallGetsAnErrorReplyAndTheProviderGoesOn) {
    auto provider = serve();
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"string:" + kByExtension}, {"array:string:/tmp"},
          {"string:" + kByExtension, "array:string:/tmp"}}) {
        std::vector<std::string> call{"--bus=" + bus->address(), "--print-reply", "--dest=com.fernwick.Corvane",
                                      "/com/fernwick/Corvane", "com.fernwick.Corvane.Services.HandleMenuSelection"};
        call.insert(call.end(), arguments.begin(), arguments.end());
        const ProgramResult malformed = foreign("dbus-send", call);
        EXPECT_NE(malformed.exitStatus, 0);
        EXPECT_NE(malformed.err.find("org.freedesktop.DBus.Error.InvalidArgs"), std::string::npos) << malformed.err;
    }
    WriteFile(dir / "Folder/a.txt", "a");
    EXPECT_EQ(request(kByExtension, {dir / "Folder"}).exitStatus, 0);
    EXPECT_EQ(ReadFile(dir / "Folder/txt/a.txt"), "a");
    const std::vector<std::string> lines = serveLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Aggregating folder Folder") << "the bad calls logged nothing";
}

TEST_F(ServicesBus, BadInputBehavesAsItDoesInProcess) {
    struct Row {
        std::string command;
        std::vector<std::string> names;  // under the root, or "" for none given
        const char* proves;
    };
    const std::vector<Row> rows{
        {kByExtension, {}, "no file names: nothing at all"},
        {"Bogus", {}, "no file names: the command is not even looked at"},
        {"aggregate files by extension", {"Folder"}, "a command differing in case is unsupported"},
        {kByExtension, {"file.txt", "Folder", "Tool.app", "gone"}, "only the plain folder runs"},
    };
    auto makeTree = [](const std::string& root) {
        WriteFile(root + "/file.txt", "f");
        WriteFile(root + "/Folder/a.txt", "a");
        WriteFile(root + "/Tool.app/inner.txt", "i");
    };
    auto provider = serve();
    for (const Row& row : rows) {
        const std::string overBus = dir / ("bus-" + std::to_string(&row - rows.data()));
        const std::string inProcess = dir / ("run-" + std::to_string(&row - rows.data()));
        makeTree(overBus);
        makeTree(inProcess);
        std::vector<std::string> busArguments{"request", row.command};
        std::vector<std::string> runArguments{"run", row.command};
        for (const std::string& name : row.names) {
            busArguments.push_back(overBus + "/" + name);
            runArguments.push_back(inProcess + "/" + name);
        }
        const std::size_t before = serveLines().size();
        const ProgramResult requested = corvane(busArguments);
        const ProgramResult ran = corvane(runArguments);
        EXPECT_EQ(requested.exitStatus, ran.exitStatus) << row.proves;
        const std::vector<std::string> allBusLines = serveLines();
        std::vector<std::string> busLines(allBusLines.begin() + static_cast<std::ptrdiff_t>(before), allBusLines.end());
        std::vector<std::string> runLines = ran.logLines();
        for (std::string& line : busLines) {
            line = std::regex_replace(line, std::regex(overBus), "ROOT");
        }
        for (std::string& line : runLines) {
            line = std::regex_replace(line, std::regex(inProcess), "ROOT");
        }
        EXPECT_EQ(busLines, runLines) << row.proves;
        EXPECT_EQ(ListNames(overBus + "/Folder"), ListNames(inProcess + "/Folder")) << row.proves;
        EXPECT_EQ(ListNames(overBus + "/Tool.app"), std::vector<std::string>{"inner.txt"}) << row.proves;
    }
}

TEST_F(ServicesBus, RequestsSentBackToBackRunOneAfterTheOtherInArrivalOrder) {
    auto provider = serve();
    constexpr int kFiles = 150;
    MakeFiles(dir / "Shared", kFiles, "txt");
    auto connection = sdbus::createSessionBusConnectionWithAddress(bus->address());
    auto proxy = sdbus::createProxy(*connection, kServicesBusName, kServicesObjectPath);
    std::vector<std::string> replies;
    // On one connection the second call leaves only after the first: they arrive in this order.
    for (const std::string& command : {kByExtension, kByMimeType}) {
        sdbus::MethodCall call = proxy->createMethodCall(kServicesInterface, kServicesMethod);
        call << std::vector<std::string>{dir / "Shared"} << command;
        proxy->callMethod(
            call,
            [&replies, command](sdbus::MethodReply&, const sdbus::Error* error) {
                replies.push_back(error != nullptr ? error->getMessage() : command);
            },
            std::numeric_limits<std::uint64_t>::max());
    }
    while (replies.size() < 2) {
        if (connection->processPendingRequest()) {
            continue;
        }
        const sdbus::IConnection::PollData wait = connection->getEventLoopPollData();
        pollfd fd{wait.fd, wait.events, 0};
        poll(&fd, 1, wait.getPollTimeout());
    }
    EXPECT_EQ(replies, (std::vector<std::string>{kByExtension, kByMimeType}));

    const std::vector<std::string> lines = serveLines();
    const auto second = std::find(lines.begin() + 1, lines.end(), "Aggregating folder Shared");
    ASSERT_EQ(lines.front(), "Aggregating folder Shared");
    ASSERT_NE(second, lines.end());
    const std::vector<std::string> firstRun(lines.begin(), second);
    const std::vector<std::string> secondRun(second, lines.end());
    EXPECT_EQ(CountStartingWith(firstRun, "Moved "), static_cast<std::size_t>(kFiles)) << "all of the first, then";
    EXPECT_EQ(CountStartingWith(secondRun, "Moved "), static_cast<std::size_t>(kFiles)) << "all of the second";
    for (const std::string& line : firstRun) {
        EXPECT_TRUE(!line.starts_with("Moved ") || line.ends_with(" to \"txt\"")) << line;
    }
    for (const std::string& line : secondRun) {
        EXPECT_FALSE(line.ends_with(" to \"txt\"")) << line;
    }
    EXPECT_EQ(ListNames(dir / "Shared/txt").size(), static_cast<std::size_t>(kFiles));
}

// The provider in this process, so that its grouping mode can be looked at afterwards: a child
// sends the requests and then SIGTERM, which ends serving.
TEST_F(ServicesBus, TheModePersistsAndRecurseFoldersIsReadAtEveryFolder) {
    for (const std::string folder : {"A", "B", "C"}) {
        WriteFile(dir / (folder + "/top.txt"), "top");
        WriteFile(dir / (folder + "/Sub/inner.txt"), "inner");
    }
    ScopedEnvironment scoped;
    for (const auto& [name, value] : environment()) {
        scoped.set(name, value);
    }
    gCorvaneType = 1;

    // SIGTERM stays held back until this test has collected it, also if serving ends early.
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &term, &previous);

    const pid_t client = fork();
    if (client == 0) {
        int status = WaitForBusName(bus->address(), kServicesBusName) ? 0 : 10;
        const std::map<std::string, std::string> variables = environment();
        if (status == 0 && RunCorvane({"request", kByMimeType, dir / "A", dir / "B"}, variables).exitStatus != 0) {
            status = 11;
        }
        if (status == 0 && RunCorvane({"request", "aggregate files by mime type", dir / "C"}, variables).exitStatus != 0) {
            status = 12;
        }
        kill(getppid(), SIGTERM);
        _exit(status);
    }

    std::vector<std::string> lines;
    const std::map<std::string, std::string> variables = environment();
    LogSink previousSink = SetLogSink([&](const std::string& line) {
        lines.push_back(line);
        // Between folder A's run and folder B's, as another process would.
        if (line == "Aggregating folder B") {
            RunCorvane({"defaults", "write", "RecurseFolders", "-bool", "true"}, variables);
        }
    });
    const int served = RunServe();
    SetLogSink(std::move(previousSink));
    int status = 0;
    waitpid(client, &status, 0);
    const timespec immediately{0, 0};
    sigtimedwait(&term, nullptr, &immediately);
    sigprocmask(SIG_SETMASK, &previous, nullptr);

    EXPECT_EQ(served, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child's requests failed";
    EXPECT_EQ(gCorvaneType, 3) << "kept from the Mime Type request through the unsupported one";
    EXPECT_EQ(ListNames(dir / "A/Sub"), std::vector<std::string>{"inner.txt"}) << "read as off for A";
    EXPECT_EQ(ListNames(dir / "B/Sub").size(), 2u) << "read as on for B";
    EXPECT_EQ(ListNames(dir / "C"), (std::vector<std::string>{"Sub", "top.txt"}));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Unsupported command: aggregate files by mime type"), lines.end());
}

TEST_F(ServicesBus, SigtermDuringARequestEndsTheProviderOnlyOnceItIsAnswered) {
    constexpr int kFiles = 2000;
    MakeFiles(dir / "Big", kFiles, "txt");
    auto provider = serve();
    BackgroundProgram client({CORVANE_BINARY, "request", kByExtension, dir / "Big"}, environment(), dir / "client.log");
    ASSERT_TRUE(WaitForText(serveLog(), "Aggregating folder Big"));
    provider->signal(SIGTERM);
    EXPECT_EQ(client.wait(), 0) << ReadFile(dir / "client.log");
    EXPECT_EQ(provider->wait(), 0) << ReadFile(serveLog());
    EXPECT_EQ(ListNames(dir / "Big/txt").size(), static_cast<std::size_t>(kFiles));
    EXPECT_EQ(CountStartingWith(serveLines(), "Moved "), static_cast<std::size_t>(kFiles));
}

TEST_F(ServicesBus, AProviderKilledMidRequestLosesNothing) {
    constexpr int kFiles = 2000;
    MakeFiles(dir / "Big", kFiles, "txt");
    auto provider = serve();
    BackgroundProgram client({CORVANE_BINARY, "request", kByExtension, dir / "Big"}, environment(), dir / "client.log");
    ASSERT_TRUE(WaitForText(serveLog(), "Moved "));
    provider->signal(SIGKILL);
    EXPECT_EQ(client.wait(), 1);
    EXPECT_NE(ReadFile(dir / "client.log").find("the provider ended before it finished"), std::string::npos)
        << ReadFile(dir / "client.log");

    int copies = 0;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "file" + std::to_string(1000 + i) + ".txt";
        ASSERT_EQ(ReadFile(dir / ("Big/" + name)), "content " + std::to_string(i)) << "every original stays";
        if (fs::exists(dir / ("Big/txt/" + name))) {
            EXPECT_EQ(ReadFile(dir / ("Big/txt/" + name)), "content " + std::to_string(i)) << "no partial copy";
            ++copies;
        }
    }
    for (const std::string& name : ListNames(dir / "Big/txt")) {
        EXPECT_TRUE(name.starts_with("file") || name.starts_with(".")) << name;
    }
    EXPECT_LT(copies, kFiles) << "killed before the end";

    auto again = serve();
    EXPECT_EQ(request(kByExtension, {dir / "Big"}).exitStatus, 0);
    for (int i = 0; i < kFiles; ++i) {
        EXPECT_TRUE(fs::exists(dir / ("Big/txt/file" + std::to_string(1000 + i) + ".txt")));
    }
}

TEST_F(ServicesBus, TheClientWaitsLongerThanTheBusDefaultTimeout) {
    auto provider = serve();
    WriteFile(dir / "Folder/a.txt", "a");
    std::map<std::string, std::string> impatient = environment();
    impatient["SYSTEMD_BUS_TIMEOUT"] = "100ms";
    provider->signal(SIGSTOP);
    BackgroundProgram client({CORVANE_BINARY, "request", kByExtension, dir / "Folder"}, impatient, dir / "client.log");
    // Well past the default timeout the client was given, the provider has not even started.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    provider->signal(SIGCONT);
    EXPECT_EQ(client.wait(), 0) << ReadFile(dir / "client.log");
    EXPECT_EQ(ReadFile(dir / "Folder/txt/a.txt"), "a");
}
