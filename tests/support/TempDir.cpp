#include "support/TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <linux/limits.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace corvane {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "corvane-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Tests may leave read-only folders behind; open them up so that removal cannot fail.
    for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> ListNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> GetXattr(const std::string& path, const std::string& name) {
    std::string value(XATTR_SIZE_MAX, '\0');
    const ssize_t got = lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
    return got < 0 ? std::nullopt : std::optional(value.substr(0, static_cast<std::size_t>(got)));
}

void SetXattr(const std::string& path, const std::string& name, const std::string& value) {
    if (lsetxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0) != 0) {
        throw std::runtime_error("cannot set " + name + " on " + path);
    }
}

bool UserXattrsSupported(const std::string& folder) {
    const std::string probe = folder + "/.xattr-probe";
    WriteFile(probe, "");
    const bool supported = lsetxattr(probe.c_str(), "user.corvane.probe", "1", 1, 0) == 0;
    unlink(probe.c_str());
    return supported;
}

void SetModified(const std::string& path, std::time_t when) {
    const timespec times[2] = {{when, 0}, {when, 0}};
    if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        throw std::runtime_error("cannot date " + path);
    }
}

}  // namespace corvane
