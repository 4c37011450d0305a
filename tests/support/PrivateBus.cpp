#include "support/PrivateBus.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sdbus-c++/sdbus-c++.h>
#include <thread>

#include "support/TempDir.h"

namespace {

constexpr auto kPatience = std::chrono::minutes(1);
constexpr auto kPollInterval = std::chrono::milliseconds(10);

void SetEnvironment(const std::map<std::string, std::string>& environment) {
    for (const auto& [name, value] : environment) {
        if (value.empty()) {
            unsetenv(name.c_str());
        } else {
            setenv(name.c_str(), value.c_str(), 1);
        }
    }
}

// Runs in the child between fork and exec.
[[noreturn]] void Exec(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
                       int outFd, int errFd) {
    dup2(outFd, STDOUT_FILENO);
    dup2(errFd, STDERR_FILENO);
    const int nothing = open("/dev/null", O_RDONLY);
    dup2(nothing, STDIN_FILENO);
    // The test may hold SIGTERM back; the program must not inherit that.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    SetEnvironment(environment);
    std::vector<char*> words;
    for (const std::string& word : argv) {
        words.push_back(const_cast<char*>(word.c_str()));
    }
    words.push_back(nullptr);
    execvp(words[0], words.data());
    _exit(127);
}

int ExitStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

}  // namespace

BackgroundProgram::BackgroundProgram(const std::vector<std::string>& argv,
                                     const std::map<std::string, std::string>& environment,
                                     const std::string& outputFile) {
    const int output = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    pid_ = fork();
    if (pid_ == 0) {
        Exec(argv, environment, output, output);
    }
    close(output);
}

BackgroundProgram::~BackgroundProgram() {
    if (pid_ > 0 && status_ < 0) {
        kill(pid_, SIGKILL);
        wait();
    }
}

void BackgroundProgram::signal(int number) const { kill(pid_, number); }

int BackgroundProgram::wait() {
    if (status_ < 0) {
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        status_ = ExitStatus(status);
    }
    return status_;
}

PrivateBus::PrivateBus(const std::string& folder, const std::string& serviceFolder,
                       const std::map<std::string, std::string>& environment)
    : logPath_(folder + "/bus.log") {
    const std::string config = folder + "/bus.conf";
    WriteFile(config, "<busconfig>\n"
                      "  <type>session</type>\n"
                      "  <listen>unix:dir=" + folder + "</listen>\n"
                      "  <auth>EXTERNAL</auth>\n"
                      "  <servicedir>" + serviceFolder + "</servicedir>\n"
                      "  <policy context=\"default\">\n"
                      "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                      "    <allow eavesdrop=\"true\"/>\n"
                      "    <allow own=\"*\"/>\n"
                      "  </policy>\n"
                      "</busconfig>\n");
    int address[2];
    if (pipe2(address, O_CLOEXEC) != 0) {
        return;
    }
    const int log = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    pid_ = fork();
    if (pid_ == 0) {
        Exec({"dbus-daemon", "--config-file=" + config, "--nofork", "--print-address=1"}, environment, address[1], log);
    }
    close(log);
    close(address[1]);
    std::string line;
    char c = 0;
    while (read(address[0], &c, 1) == 1 && c != '\n') {
        line += c;
    }
    close(address[0]);
    address_ = line;
}

PrivateBus::~PrivateBus() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

bool WaitForBusName(const std::string& address, const std::string& name) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    try {
        auto connection = sdbus::createSessionBusConnectionWithAddress(address);
        auto bus = sdbus::createProxy(*connection, "org.freedesktop.DBus", "/org/freedesktop/DBus");
        while (std::chrono::steady_clock::now() < deadline) {
            bool owned = false;
            bus->callMethod("NameHasOwner").onInterface("org.freedesktop.DBus").withArguments(name).storeResultsTo(owned);
            if (owned) {
                return true;
            }
            std::this_thread::sleep_for(kPollInterval);
        }
    } catch (const sdbus::Error&) {
        return false;
    }
    return false;
}

bool WaitForText(const std::string& path, const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReadFile(path).find(text) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return false;
}
