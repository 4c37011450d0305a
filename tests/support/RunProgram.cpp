#include "support/RunProgram.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace corvane {

namespace {

// In a child after fork: sets environment (an empty value unsets) and executes argv[0], searched in PATH.
[[noreturn]] void ExecWithEnvironment(const std::vector<std::string>& argv,
                                      const std::map<std::string, std::string>& environment) {
    for (const auto& [name, value] : environment) {
        value.empty() ? unsetenv(name.c_str()) : setenv(name.c_str(), value.c_str(), 1);
    }
    std::vector<char*> words;
    for (const std::string& word : argv) {
        words.push_back(const_cast<char*>(word.c_str()));
    }
    words.push_back(nullptr);
    execvp(words[0], words.data());
    _exit(127);
}

// What the program wrote goes to unnamed files rather than pipes, so nothing can fill up and stall it.
std::string ReadAll(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        text.append(buffer, got);
    }
    std::fclose(file);
    return text;
}

ProgramResult Run(std::vector<std::string> argv, const std::map<std::string, std::string>& environment,
                  std::optional<std::chrono::seconds> limit) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    if (out == nullptr || err == nullptr) {
        throw std::runtime_error("tmpfile failed");
    }
    const pid_t child = fork();
    if (child == 0) {
        dup2(fileno(out), STDOUT_FILENO);
        dup2(fileno(err), STDERR_FILENO);
        ExecWithEnvironment(argv, environment);
    }
    int status = 0;
    ProgramResult result;
    const auto deadline = std::chrono::steady_clock::now() + limit.value_or(std::chrono::hours(24));
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadAll(out);
    result.err = ReadAll(err);
    return result;
}

}  // namespace

BackgroundProgram::BackgroundProgram(const std::vector<std::string>& argv,
                                     const std::map<std::string, std::string>& environment,
                                     const std::string& outputFile) {
    const int output = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(output, STDOUT_FILENO);
        dup2(output, STDERR_FILENO);
        dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
        // The test may hold SIGTERM back; the program must not inherit that.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        ExecWithEnvironment(argv, environment);
    }
    close(output);
}

BackgroundProgram::~BackgroundProgram() {
    if (pid_ > 0 && status_ < 0) {
        kill(pid_, SIGKILL);
        wait();
    }
}

int BackgroundProgram::wait() {
    if (status_ < 0) {
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return status_;
}

std::map<std::string, std::string> UserEnvironment(const std::string& home) {
    return {{"HOME", home},
            {"XDG_CONFIG_HOME", home + "/.config"},
            {"XDG_DATA_HOME", home + "/.local/share"},
            {"XDG_STATE_HOME", home + "/.local/state"},
            {"TZ", "UTC"},
            {"LANG", "C"},
            {"LC_ALL", "C"}};
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::vector<std::string> ProgramResult::logLines() const {
    static const std::regex prefix(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} corvane\[\d+:\d+\] )");
    std::vector<std::string> lines;
    std::istringstream stream(err);
    for (std::string line; std::getline(stream, line);) {
        std::smatch match;
        if (std::regex_search(line, match, prefix)) {
            lines.push_back(match.suffix());
        }
    }
    return lines;
}

ProgramResult RunCorvane(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment,
                         const std::vector<std::string>& launcher, const std::string& program) {
    std::vector<std::string> argv = launcher;
    argv.push_back(program);
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return Run(argv, environment, std::nullopt);
}

ProgramResult RunCorvaneWithin(std::chrono::seconds limit, const std::vector<std::string>& arguments,
                               const std::map<std::string, std::string>& environment) {
    std::vector<std::string> argv{CORVANE_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return Run(argv, environment, limit);
}

}  // namespace corvane
