#include "platform/files/EntryAttributes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "platform/base/FileDescriptors.h"
#include "platform/files/FileSystemFeatures.h"

namespace corvane {

namespace {

// The *xattrat calls (Linux 6.13) take the entry as a name in the folder, as fstatat does; before
// them the entry is reached through /proc. Their numbers are the same on every architecture.
constexpr long kSetXattrAt = 463;
constexpr long kGetXattrAt = 464;
constexpr long kRemoveXattrAt = 466;
constexpr dev_t kKernel = 0;

struct XattrArgs {
    std::uint64_t value;
    std::uint32_t size;
    std::uint32_t flags;
};

// Asked with a size the kernel refuses before it looks at anything else: EINVAL means the calls are
// there, where an old kernel says ENOSYS and a sandbox that filters them may say EPERM.
bool HaveAttributeCallsAt() {
    static const bool have = syscall(kGetXattrAt, -1, nullptr, 0, nullptr, nullptr, 0) == -1 && errno == EINVAL;
    return have && FileSystemHas(kKernel, kAttributeCallsAt);
}

XattrArgs ArgsFor(const void* value, std::size_t size) {
    return {reinterpret_cast<std::uintptr_t>(value),
            static_cast<std::uint32_t>(std::min<std::size_t>(size, std::numeric_limits<std::uint32_t>::max())), 0};
}

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
    if (HaveAttributeCallsAt()) {
        XattrArgs args = ArgsFor(value, size);
        return syscall(kGetXattrAt, folder, name, AT_SYMLINK_NOFOLLOW, attribute, &args, sizeof args);
    }
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
    if (HaveAttributeCallsAt()) {
        XattrArgs args = ArgsFor(value, size);
        return static_cast<int>(syscall(kSetXattrAt, folder, name, AT_SYMLINK_NOFOLLOW, attribute, &args, sizeof args));
    }
    if (HaveProcDescriptors()) {
        return lsetxattr(ThroughDescriptor(folder, name).c_str(), attribute, value, size, 0);
    }
    const UniqueFd entry = OpenEntry(folder, name);
    return entry.valid() ? fsetxattr(entry.get(), attribute, value, size, 0) : -1;
}

int RemoveEntryAttribute(int folder, const char* name, const char* attribute) {
    if (HaveAttributeCallsAt()) {
        return static_cast<int>(syscall(kRemoveXattrAt, folder, name, AT_SYMLINK_NOFOLLOW, attribute));
    }
    if (HaveProcDescriptors()) {
        return lremovexattr(ThroughDescriptor(folder, name).c_str(), attribute);
    }
    const UniqueFd entry = OpenEntry(folder, name);
    return entry.valid() ? fremovexattr(entry.get(), attribute) : -1;
}

}  // namespace corvane
