// NSLog for this platform: each line goes to the system log (ident "Corvane") and to standard error
// behind a "YYYY-MM-DD HH:MM:SS.mmm corvane[PID:TID] " prefix. A line that reports a failure goes to the
// system log at warning priority, every other line at notice, so `journalctl -p warning` finds exactly
// the failures.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace corvane {

/// A value for one placeholder: "%@" takes text, "%d" a number. Values are inserted as text,
/// never read as a format; a control character in a text is written as an escape ("\n", "\x1b").
using LogArgument = std::variant<std::string_view, std::int64_t>;

enum class LogPriority { notice, warning };

/// Writes one line: format with each "%@" or "%d" replaced by the next argument in turn.
void NSLog(std::string_view format, std::initializer_list<LogArgument> arguments = {});

/// NSLog for a line that reports a failure: the same text, at warning priority.
void NSLogFailure(std::string_view format, std::initializer_list<LogArgument> arguments = {});

/// The line NSLog would write for these arguments, without the prefix.
std::string FormatLogLine(std::string_view format, std::initializer_list<LogArgument> arguments);

/// Where lines go: tests install a sink to observe them; an empty sink restores the system log and
/// standard error. Returns the sink that was installed before.
using LogSink = std::function<void(const std::string& line, LogPriority priority)>;
LogSink SetLogSink(LogSink sink);

}  // namespace corvane
