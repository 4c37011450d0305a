#include "support/RunProgram.h"

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <optional>
#include <thread>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace corvane {

namespace {

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

}  // namespace

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

namespace {

ProgramResult Run(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment,
                  const std::vector<std::string>& launcher, const std::string& program,
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
        for (const auto& [name, value] : environment) {
            if (value.empty()) {
                unsetenv(name.c_str());
            } else {
                setenv(name.c_str(), value.c_str(), 1);
            }
        }
        std::vector<char*> argv;
        for (const std::string& word : launcher) {
            argv.push_back(const_cast<char*>(word.c_str()));
        }
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    ProgramResult result;
    if (limit) {
        const auto deadline = std::chrono::steady_clock::now() + *limit;
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                result.timedOut = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    } else {
        waitpid(child, &status, 0);
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadAll(out);
    result.err = ReadAll(err);
    return result;
}

}  // namespace

ProgramResult RunCorvane(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment,
                         const std::vector<std::string>& launcher, const std::string& program) {
    return Run(arguments, environment, launcher, program, std::nullopt);
}

ProgramResult RunCorvaneWithin(std::chrono::seconds limit, const std::vector<std::string>& arguments,
                               const std::map<std::string, std::string>& environment) {
    return Run(arguments, environment, {}, CORVANE_BINARY, limit);
}

}  // namespace corvane
