// The user's home and the XDG base directories, worked out in this one place so that preferences,
// the type databases and the menu declarations always agree on where they live.
#pragma once

#include <string>
#include <vector>

namespace corvane {

/// $HOME when it is an absolute path, else the home that the user database gives the real user id,
/// else "/" (a user without an entry, as container runtimes set HOME for one).
std::string HomeDirectory();

/// $XDG_CONFIG_HOME when it is an absolute path, else <home>/.config.
std::string XdgConfigHome();

/// $XDG_DATA_HOME when it is an absolute path, else <home>/.local/share.
std::string XdgDataHome();

/// $XDG_STATE_HOME when it is an absolute path, else <home>/.local/state.
std::string XdgStateHome();

/// The absolute entries of $XDG_CONFIG_DIRS, in order; /etc/xdg when it is unset or empty.
std::vector<std::string> XdgConfigDirs();

/// The absolute entries of $XDG_DATA_DIRS, in order; /usr/local/share and /usr/share when it is
/// unset or empty.
std::vector<std::string> XdgDataDirs();

}  // namespace corvane
