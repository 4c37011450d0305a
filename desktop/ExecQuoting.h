// Quoting one word for each command-line syntax the file managers and the bus daemon read: the POSIX
// shell's (which GLib and D-Bus follow), the Desktop Entry Exec key's, and key-file string escapes.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

/// The word as a POSIX shell reads it back: as is when it holds only characters that need no
/// quoting, else in single quotes with each ' written as '\''.
std::string ShellQuote(std::string_view word);

/// One argument of a Desktop Entry Exec key, which dbus-daemon also splits this way in an activation
/// file: as is when it holds no reserved character, else in double quotes with ", `, $ and \ escaped by a
/// backslash. The key-file escapes come on top (KeyFileEscape).
std::string DesktopExecQuote(std::string_view word);

/// A string value as a desktop entry or key file stores it: backslash, newline, tab and carriage return
/// escaped, and a leading space written as \s.
std::string KeyFileEscape(std::string_view value);

}  // namespace corvane
