#include "platform/base/XdgDirectories.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>

namespace corvane {

namespace {

// The base directory rules hold a relative path invalid, and an empty one as good as unset.
std::optional<std::string> AbsoluteValue(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr || value[0] != '/') {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> UserDatabaseHome() {
    const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 1024, '\0');
    passwd entry{};
    passwd* found = nullptr;
    // The real user id: a set-user-id program still belongs to the user who started it.
    int error = 0;
    while ((error = getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE) {
        buffer.resize(buffer.size() * 2);
    }
    if (error != 0 || found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/') {
        return std::nullopt;
    }
    return std::string(found->pw_dir);
}

std::string BaseDirectory(const char* variable, const char* underHome) {
    if (std::optional<std::string> value = AbsoluteValue(variable)) {
        return *value;
    }
    // A home of "/" (or one written with a trailing slash) would otherwise give "//.config".
    std::string home = HomeDirectory();
    if (!home.ends_with('/')) {
        home += '/';
    }
    return home + underHome;
}

std::vector<std::string> DirectoryList(const char* variable, const std::string& fallback) {
    const char* value = std::getenv(variable);
    const std::string list = value != nullptr && value[0] != '\0' ? value : fallback;
    std::vector<std::string> directories;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(':', start);
        if (end == std::string::npos) {
            end = list.size();
        }
        if (end > start && list[start] == '/') {
            directories.push_back(list.substr(start, end - start));
        }
        start = end + 1;
    }
    return directories;
}

}  // namespace

std::string HomeDirectory() {
    if (std::optional<std::string> home = AbsoluteValue("HOME")) {
        return *home;
    }
    return UserDatabaseHome().value_or("/");
}

std::string XdgConfigHome() { return BaseDirectory("XDG_CONFIG_HOME", ".config"); }

std::string XdgStateHome() { return BaseDirectory("XDG_STATE_HOME", ".local/state"); }

std::string XdgDataHome() { return BaseDirectory("XDG_DATA_HOME", ".local/share"); }

std::vector<std::string> XdgConfigDirs() { return DirectoryList("XDG_CONFIG_DIRS", "/etc/xdg"); }

std::vector<std::string> XdgDataDirs() { return DirectoryList("XDG_DATA_DIRS", "/usr/local/share:/usr/share"); }

}  // namespace corvane
