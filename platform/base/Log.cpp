#include "platform/base/Log.h"

#include <sys/stat.h>
#include <sys/syscall.h>
#include <syslog.h>
#include <paths.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace corvane {

namespace {

LogSink& InstalledSink() {
    static LogSink sink;
    return sink;
}

// A value's control characters are written as escapes, so that a file name holding a newline or a
// terminal sequence cannot forge a line of its own or rewrite what a reader sees. Nothing else changes.
void AppendText(std::string& line, std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            line.push_back(c);
        } else if (c == '\n') {
            line.append("\\n");
        } else if (c == '\t') {
            line.append("\\t");
        } else if (c == '\r') {
            line.append("\\r");
        } else {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            line.append(escape);
        }
    }
}

void AppendArgument(std::string& line, const LogArgument& argument) {
    if (const auto* text = std::get_if<std::string_view>(&argument)) {
        AppendText(line, *text);
    } else {
        line.append(std::to_string(std::get<std::int64_t>(argument)));
    }
}

std::string Prefix() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    char prefix[96];
    static const pid_t process = getpid();
    thread_local const long thread = syscall(SYS_gettid);
    std::snprintf(prefix, sizeof prefix, "%s.%03lld corvane[%d:%ld] ", stamp, static_cast<long long>(millis),
                  static_cast<int>(process), thread);
    return prefix;
}

// Without a system log socket, syslog(3) would try to connect again for every line, which costs more
// than the copy it reports. Look for the socket now and then instead, so a log daemon that starts
// later is still found.
bool SystemLogListening() {
    using Clock = std::chrono::steady_clock;
    static Clock::time_point nextLook{};
    static bool listening = false;
    const Clock::time_point now = Clock::now();
    if (now >= nextLook) {
        listening = access(_PATH_LOG, W_OK) == 0;
        nextLook = now + std::chrono::seconds(5);
    }
    return listening;
}

// Started by systemd, standard error is a stream into the journal (JOURNAL_STREAM names it), which the
// system log reaches as well: one copy of each line is enough there.
bool StandardErrorIsTheJournal() {
    static const bool journal = [] {
        const char* stream = std::getenv("JOURNAL_STREAM");
        unsigned long long device = 0;
        unsigned long long inode = 0;
        struct stat info {};
        return stream != nullptr && std::sscanf(stream, "%llu:%llu", &device, &inode) == 2 &&
               fstat(STDERR_FILENO, &info) == 0 && info.st_dev == device && info.st_ino == inode;
    }();
    return journal;
}

void WriteToSystem(const std::string& line, LogPriority priority) {
    static const bool opened = [] {
        openlog("Corvane", LOG_PID, LOG_USER);
        return true;
    }();
    (void)opened;
    if (SystemLogListening()) {
        syslog(priority == LogPriority::warning ? LOG_WARNING : LOG_NOTICE, "%s", line.c_str());
        if (StandardErrorIsTheJournal()) {
            return;
        }
    }
    const std::string full = Prefix() + line + '\n';
    std::fwrite(full.data(), 1, full.size(), stderr);
}

void Write(LogPriority priority, std::string_view format, std::initializer_list<LogArgument> arguments) {
    const std::string line = FormatLogLine(format, arguments);
    if (const LogSink& sink = InstalledSink()) {
        sink(line, priority);
    } else {
        WriteToSystem(line, priority);
    }
}

}  // namespace

std::string FormatLogLine(std::string_view format, std::initializer_list<LogArgument> arguments) {
    std::string line;
    line.reserve(format.size() + 64);
    auto next = arguments.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        const bool placeholder = format[i] == '%' && i + 1 < format.size() &&
                                 (format[i + 1] == '@' || format[i + 1] == 'd');
        if (placeholder && next != arguments.end()) {
            AppendArgument(line, *next++);
            ++i;
        } else {
            line.push_back(format[i]);
        }
    }
    return line;
}

void NSLog(std::string_view format, std::initializer_list<LogArgument> arguments) {
    Write(LogPriority::notice, format, arguments);
}

void NSLogFailure(std::string_view format, std::initializer_list<LogArgument> arguments) {
    Write(LogPriority::warning, format, arguments);
}

LogSink SetLogSink(LogSink sink) {
    LogSink previous = std::move(InstalledSink());
    InstalledSink() = std::move(sink);
    return previous;
}

}  // namespace corvane
