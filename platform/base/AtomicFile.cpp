#include "platform/base/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/base/ConfigurationFile.h"
#include "platform/base/FileDescriptors.h"

namespace corvane {

namespace {

bool Fail(std::string* errorText, const std::string& what, const std::string& path, int error) {
    if (errorText != nullptr) {
        *errorText = what + " " + path + ": " + std::strerror(error);
    }
    return false;
}

bool AlreadyHolds(const std::string& path, const std::string& content, mode_t mode) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || (info.st_mode & 07777) != mode) {
        return false;
    }
    std::string existing;
    return ReadConfigurationFile(path, existing, nullptr) == noErr && existing == content;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, const std::string& content, mode_t mode, std::string* errorText) {
    std::filesystem::path target(path);
    struct stat link {};
    // A file kept elsewhere behind a link (a dotfiles checkout) is replaced there; the link stays.
    if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        std::error_code resolved;
        target = std::filesystem::weakly_canonical(target, resolved);
        if (resolved) {
            return Fail(errorText, "cannot follow the link", path, resolved.value());
        }
    }
    if (AlreadyHolds(target, content, mode)) {
        return true;
    }
    std::error_code made;
    std::filesystem::create_directories(target.parent_path(), made);
    if (made) {
        return Fail(errorText, "cannot make the folder of", path, made.value());
    }
    // Hidden, so that a file manager watching the folder never offers the half-written file.
    std::string temporary = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    UniqueFd fd(mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid()) {
        return Fail(errorText, "cannot write", path, errno);
    }
    bool written = WriteAll(fd.get(), content) && fchmod(fd.get(), mode) == 0 && fsync(fd.get()) == 0;
    int error = written ? 0 : errno;
    if (fd.Close() != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        unlink(temporary.c_str());
        return Fail(errorText, "cannot write", path, error);
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
        unlink(temporary.c_str());
        return Fail(errorText, "cannot write", path, error);
    }
    return true;
}

bool RemoveFileIfPresent(const std::string& path, std::string* errorText) {
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
        return Fail(errorText, "cannot remove", path, errno);
    }
    return true;
}

}  // namespace corvane
