#include "platform/files/internal/FileDataCopy.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Errors.h"
#include "platform/base/FileDescriptors.h"
#include "platform/files/FileSystemFeatures.h"

namespace corvane {

namespace {

constexpr std::size_t kCopyChunk = std::size_t{1} << 30;
constexpr std::size_t kBufferSize = std::size_t{128} << 10;

OSErr ReadWriteCopy(int from, int to, std::size_t size) {
    // One byte more than the size: a read that fills it learns at once that the file grew.
    std::vector<char> buffer(std::min(kBufferSize, size + 1));
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
        if (!WriteAll(to, std::string_view(buffer.data(), static_cast<std::size_t>(got)))) {
            return OSErrFromErrno(errno);
        }
    }
}

// The answers that only mean "not on this file system" (EXDEV: not between these two).
bool Unsupported(int error) {
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTTY ||
           error == EBADF;
}

void RememberRefusal(int error, dev_t device, FileSystemFeature feature) {
    if (error != EXDEV) {
        FileSystemLacks(device, feature);
    }
}

// Reads an attribute list or value whose size may change between asking and reading. Most fit a
// small buffer, which spares asking for the size first.
template <typename Read>
bool ReadGrowing(Read read, std::string& value) {
    constexpr std::size_t kFirstTry = 256;
    value.resize(kFirstTry);
    for (;;) {
        const ssize_t got = read(value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return true;
        }
        if (errno != ERANGE) {
            return false;
        }
        const ssize_t size = read(nullptr, 0);
        if (size < 0) {
            return false;
        }
        value.resize(static_cast<std::size_t>(size));
    }
}

bool IsUserAttribute(std::string_view name) { return name.starts_with("user."); }

}  // namespace

OSErr CopyFileData(int from, const struct stat& status, int to, dev_t device) {
    const auto size = static_cast<std::size_t>(std::max<off_t>(status.st_size, 0));
    if (size == 0) {
        return noErr;
    }
    if (FileSystemHas(device, kCloning)) {
        if (ioctl(to, FICLONE, from) == 0) {
            return noErr;
        }
        // A failed clone has written nothing, whatever its reason: fall back to copying.
        RememberRefusal(errno, device, kCloning);
    }
    std::size_t copied = 0;
    while (FileSystemHas(device, kKernelCopy) && copied < size) {
        const ssize_t got = copy_file_range(from, nullptr, to, nullptr, std::min(kCopyChunk, size - copied), 0);
        if (got > 0) {
            copied += static_cast<std::size_t>(got);
            continue;
        }
        // Some file systems answer 0 at once instead of refusing; read and write tells the truth.
        if (got == 0) {
            break;
        }
        if (errno == EINTR) {
            continue;
        }
        if (copied != 0 || !Unsupported(errno)) {
            return OSErrFromErrno(errno);
        }
        RememberRefusal(errno, device, kKernelCopy);
        break;
    }
    return copied == size ? noErr : ReadWriteCopy(from, to, size - copied);
}

namespace {

// Copies every extended attribute of from onto to. Attributes of the other namespaces (ACLs,
// security labels) are copied only where the destination takes them; a user attribute that the
// destination cannot store (ENOTSUP) is dropped under KeepWhatFits, and any other failure of a user
// attribute fails the copy.
OSErr CopyExtendedAttributes(int from, int to, UserAttributes rule, dev_t device) {
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
        if (!user) {
            fsetxattr(to, name.c_str(), value.data(), value.size(), 0);
            continue;
        }
        const bool storable = FileSystemHas(device, kUserAttributes);
        if (storable && fsetxattr(to, name.c_str(), value.data(), value.size(), 0) == 0) {
            continue;
        }
        if (storable && errno != ENOTSUP) {
            return OSErrFromErrno(errno);
        }
        if (rule == UserAttributes::KeepAll) {
            return OSErrFromErrno(ENOTSUP);
        }
        FileSystemLacks(device, kUserAttributes);
        FileSystemDropped(device, kUserAttributes);
    }
    return noErr;
}

// The answers of a file system that cannot store these permission bits: FUSE file systems without
// a chmod (ENOSYS), and FAT, which refuses any mode it cannot hold (EPERM).
bool ModesRefused(int error) { return error == ENOSYS || error == ENOTSUP || error == EPERM; }

// Gives to the permission bits wanted, or as many of them as its file system keeps, as cp does.
OSErr CopyMode(int to, mode_t wanted, dev_t device) {
    if (FileSystemHas(device, kModes)) {
        if (fchmod(to, wanted) == 0) {
            return noErr;
        }
        if (!ModesRefused(errno)) {
            return OSErrFromErrno(errno);
        }
        // EPERM: FAT refuses this mode but takes others.
        if (errno != EPERM) {
            FileSystemLacks(device, kModes);
        }
    }
    // FAT keeps one thing, whether the file may be written, and takes a mode that changes only that.
    struct stat now {};
    if ((wanted & S_IWUSR) == 0 && FileSystemHas(device, kModes) && fstat(to, &now) == 0) {
        fchmod(to, now.st_mode & 07777 & ~mode_t{0222});
    }
    FileSystemDropped(device, kModes);
    // What the file system cannot store is told in one line: whether it takes extended attributes
    // at all is asked of the copy now, without changing it, rather than learnt from a later file.
    if (FileSystemHas(device, kUserAttributes) && fgetxattr(to, "user.xdg.comment", nullptr, 0) < 0 &&
        errno == ENOTSUP) {
        FileSystemLacks(device, kUserAttributes);
        FileSystemDropped(device, kUserAttributes);
    }
    return noErr;
}

// Gives to the permission bits and the access and modification times of status; the times last,
// so that nothing done to the copy afterwards moves them.
OSErr CopyModeAndTimes(int to, const struct stat& status, dev_t device) {
    if (const OSErr error = CopyMode(to, status.st_mode & 07777, device); error != noErr) {
        return error;
    }
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (futimens(to, times) != 0) {
        return OSErrFromErrno(errno);
    }
    return noErr;
}

}  // namespace

OSErr CopyMetadata(int from, int to, const struct stat& status, UserAttributes rule, dev_t device) {
    if (const OSErr error = CopyExtendedAttributes(from, to, rule, device); error != noErr) {
        return error;
    }
    return CopyModeAndTimes(to, status, device);
}

}  // namespace corvane
