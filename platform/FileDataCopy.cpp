#include "platform/FileDataCopy.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Errors.h"

namespace {

constexpr std::size_t kCopyChunk = std::size_t{1} << 30;
constexpr std::size_t kBufferSize = std::size_t{128} << 10;

OSErr WriteAll(int to, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(to, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return OSErrFromErrno(errno);
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return noErr;
}

OSErr ReadWriteCopy(int from, int to) {
    std::vector<char> buffer(kBufferSize);
    for (;;) {
        const ssize_t got = read(from, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return OSErrFromErrno(errno);
        }
        if (got == 0) {
            return noErr;
        }
        if (const OSErr status = WriteAll(to, buffer.data(), static_cast<std::size_t>(got)); status != noErr) {
            return status;
        }
    }
}

// The answers of copy_file_range that only mean "not between these two files".
bool KernelCopyUnsupported(int error) {
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EBADF;
}

// Reads an attribute list or value whose size may change between asking and reading.
template <typename Read>
bool ReadGrowing(Read read, std::string& value) {
    for (;;) {
        const ssize_t size = read(nullptr, 0);
        if (size < 0) {
            return false;
        }
        value.resize(static_cast<std::size_t>(size));
        const ssize_t got = read(value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return true;
        }
        if (errno != ERANGE) {
            return false;
        }
    }
}

bool IsUserAttribute(std::string_view name) { return name.starts_with("user."); }

}  // namespace

OSErr CopyFileData(int from, int to) {
    if (ioctl(to, FICLONE, from) == 0) {
        return noErr;
    }
    // A failed clone has written nothing, whatever its reason: fall back to copying.
    bool copiedAny = false;
    for (;;) {
        const ssize_t copied = copy_file_range(from, nullptr, to, nullptr, kCopyChunk, 0);
        if (copied > 0) {
            copiedAny = true;
            continue;
        }
        if (copied == 0 && copiedAny) {
            return noErr;
        }
        // Some file systems answer 0 at once instead of refusing; read and write tells the truth.
        if (copied == 0 || (!copiedAny && KernelCopyUnsupported(errno))) {
            return ReadWriteCopy(from, to);
        }
        if (errno != EINTR) {
            return OSErrFromErrno(errno);
        }
    }
}

namespace {

// Copies every extended attribute of from onto to. A destination without user attributes
// (ENOTSUP) drops them silently, and attributes of the other namespaces (ACLs, security labels)
// are copied only where the destination takes them; any other failure of a user attribute
// fails the copy.
OSErr CopyExtendedAttributes(int from, int to) {
    std::string names;
    if (!ReadGrowing([from](char* buffer, std::size_t size) { return flistxattr(from, buffer, size); }, names)) {
        return errno == ENOTSUP ? noErr : OSErrFromErrno(errno);
    }
    for (std::size_t at = 0; at < names.size();) {
        const std::string name(names.c_str() + at);
        at += name.size() + 1;
        const bool user = IsUserAttribute(name);
        std::string value;
        if (!ReadGrowing(
                [from, &name](char* buffer, std::size_t size) { return fgetxattr(from, name.c_str(), buffer, size); },
                value)) {
            // ENODATA: removed since it was listed.
            if (!user || errno == ENODATA) {
                continue;
            }
            return OSErrFromErrno(errno);
        }
        if (fsetxattr(to, name.c_str(), value.data(), value.size(), 0) != 0 && user && errno != ENOTSUP) {
            return OSErrFromErrno(errno);
        }
    }
    return noErr;
}

// Gives to the permission bits and the access and modification times of status; the times last,
// so that nothing done to the copy afterwards moves them.
OSErr CopyModeAndTimes(int to, const struct stat& status) {
    if (fchmod(to, status.st_mode & 07777) != 0) {
        return OSErrFromErrno(errno);
    }
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (futimens(to, times) != 0) {
        return OSErrFromErrno(errno);
    }
    return noErr;
}

}  // namespace

OSErr CopyMetadata(int from, int to, const struct stat& status) {
    if (const OSErr error = CopyExtendedAttributes(from, to); error != noErr) {
        return error;
    }
    return CopyModeAndTimes(to, status);
}
