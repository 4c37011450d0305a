#include "platform/files/EntryAttributes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "platform/base/FileDescriptors.h"
#include "platform/files/FileSystemFeatures.h"

namespace corvane {

namespace {

// /proc/self/fd/N leads straight to the open folder, so only the last name is looked up, and the
// l-calls do not follow it.
bool HaveProcDescriptors() {
    static const bool have = access("/proc/self/fd", X_OK) == 0;
    return have;
}

std::string ThroughDescriptor(int folder, const char* name) {
    return "/proc/self/fd/" + std::to_string(folder) + "/" + name;
}

// Without /proc: the entry itself, opened without following a link and only when it is a file or
// a folder, so that no FIFO or device is ever opened. A link holds no user attributes.
UniqueFd OpenEntry(int folder, const char* name) {
    struct stat status {};
    if (fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return UniqueFd();
    }
    if (!S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode)) {
        errno = S_ISLNK(status.st_mode) ? EPERM : ENOTSUP;
        return UniqueFd();
    }
    return UniqueFd(openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
}

// Whether the file system of folder is still thought to store user attributes; the copies learn
// when it does not, and tests take them away.
bool UserAttributesStorable(int folder) {
    struct stat status {};
    return fstat(folder, &status) != 0 || FileSystemHas(status.st_dev, kUserAttributes);
}

}  // namespace

ssize_t GetEntryAttribute(int folder, const char* name, const char* attribute, void* value, std::size_t size) {
    if (HaveProcDescriptors()) {
        return lgetxattr(ThroughDescriptor(folder, name).c_str(), attribute, value, size);
    }
    const UniqueFd entry = OpenEntry(folder, name);
    return entry.valid() ? fgetxattr(entry.get(), attribute, value, size) : -1;
}

int SetEntryAttribute(int folder, const char* name, const char* attribute, const void* value, std::size_t size) {
    if (std::string_view(attribute).starts_with("user.") && !UserAttributesStorable(folder)) {
        errno = ENOTSUP;
        return -1;
    }
    if (HaveProcDescriptors()) {
        return lsetxattr(ThroughDescriptor(folder, name).c_str(), attribute, value, size, 0);
    }
    const UniqueFd entry = OpenEntry(folder, name);
    return entry.valid() ? fsetxattr(entry.get(), attribute, value, size, 0) : -1;
}

int RemoveEntryAttribute(int folder, const char* name, const char* attribute) {
    if (HaveProcDescriptors()) {
        return lremovexattr(ThroughDescriptor(folder, name).c_str(), attribute);
    }
    const UniqueFd entry = OpenEntry(folder, name);
    return entry.valid() ? fremovexattr(entry.get(), attribute) : -1;
}

}  // namespace corvane
