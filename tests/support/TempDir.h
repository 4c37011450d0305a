// A real temporary folder per test, removed with everything in it even when the test fails.
#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace corvane {

using Names = std::vector<std::string>;

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    /// path() / relative, as a string.
    std::string operator/(const std::string& relative) const { return (path_ / relative).string(); }

private:
    std::filesystem::path path_;
};

/// Writes bytes to a file, making its parent folders.
void WriteFile(const std::string& path, const std::string& bytes);
/// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
/// The names in a folder, sorted, '.' and '..' left out.
Names ListNames(const std::string& folder);
/// The value of an extended attribute, or none.
std::optional<std::string> GetXattr(const std::string& path, const std::string& name);
void SetXattr(const std::string& path, const std::string& name, const std::string& value);
/// Whether this file system takes user extended attributes at path.
bool UserXattrsSupported(const std::string& folder);
/// Skips the running test where the file system at folder takes no user extended attributes.
#define SKIP_WITHOUT_USER_XATTRS(folder) \
    if (!corvane::UserXattrsSupported(folder)) GTEST_SKIP() << "this file system takes no user extended attributes"
/// Sets the access and modification times of the entry at path itself to when.
void SetModified(const std::string& path, std::time_t when);

}  // namespace corvane
