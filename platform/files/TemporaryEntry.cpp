#include "platform/files/internal/TemporaryEntry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/base/Errors.h"
#include "platform/base/FileDescriptors.h"
#include "platform/files/FileSystemFeatures.h"

namespace corvane {

namespace {

// The errors of O_TMPFILE that only mean the file system or kernel cannot make unnamed files.
bool UnnamedFilesUnsupported(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

// Whether this process may do with the entry what its owner may: the kernel refuses some things
// only to others (links under protected_hardlinks, renames in a sticky folder), with EPERM, the
// answer FAT gives for what it cannot do at all.
bool OwnEntry(int folder, const char* name) {
    struct stat status {};
    return geteuid() == 0 ||
           (fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) == 0 && status.st_uid == geteuid());
}

// The answer to a refused hard link: ENOTSUP when this file cannot be linked, and the file system
// is remembered to have no links when that is why.
int LinkRefused(int error, int folder, const char* name, dev_t device) {
    if (error != EPERM && error != ENOTSUP && error != ENOSYS) {
        return error;
    }
    if (error != EPERM || OwnEntry(folder, name)) {
        FileSystemLacks(device, kHardLinks);
    }
    return ENOTSUP;
}

}  // namespace

OSErr CreateTemporaryFile(int folder, dev_t device, TemporaryFile& file) {
    file.name.clear();
    // An unnamed file is given its name by a hard link.
    if (FileSystemHas(device, kUnnamedTemporaries) && FileSystemHas(device, kHardLinks)) {
        file.fd = UniqueFd(openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
        if (file.fd.valid()) {
            return noErr;
        }
        if (!UnnamedFilesUnsupported(errno)) {
            return OSErrFromErrno(errno);
        }
        FileSystemLacks(device, kUnnamedTemporaries);
    }
    return CreateTemporaryEntry(
        folder,
        [&file](int at, const char* name) {
            file.fd = UniqueFd(openat(at, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            if (!file.fd.valid()) {
                return -1;
            }
            LockTemporary(file.fd.get());
            return 0;
        },
        file.name);
}

void DiscardTemporaryFile(int folder, TemporaryFile& file) {
    file.fd.Reset();
    if (!file.name.empty()) {
        unlinkat(folder, file.name.c_str(), 0);
        file.name.clear();
    }
}

OSErr CreateTemporaryEntry(int folder, const std::function<int(int, const char*)>& make, std::string& name,
                           std::string_view suffix) {
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        name = NewTemporaryName(suffix);
        if (make(folder, name.c_str()) == 0) {
            return noErr;
        }
        if (errno != EEXIST) {
            const int error = errno;
            name.clear();
            return OSErrFromErrno(error);
        }
    }
    name.clear();
    return dupFNErr;
}

OSErr PublishTemporaryFile(int folder, dev_t device, const TemporaryFile& file, const std::string& finalName) {
    if (!file.name.empty()) {
        return PublishTemporaryEntry(folder, device, file.name, finalName, false);
    }
    // linkat refuses an existing name, so the unnamed file appears complete or not at all.
    const std::string self = "/proc/self/fd/" + std::to_string(file.fd.get());
    if (linkat(AT_FDCWD, self.c_str(), folder, finalName.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        return noErr;
    }
    int error = errno;
    if (error == ENOENT && access("/proc/self/fd", F_OK) != 0) {
        // Without /proc only the privileged form is left.
        if (linkat(file.fd.get(), "", folder, finalName.c_str(), AT_EMPTY_PATH) == 0) {
            return noErr;
        }
        error = errno;
    }
    return OSErrFromErrno(error);
}

OSErr PublishTemporaryEntry(int folder, dev_t device, const std::string& temporaryName, const std::string& finalName,
                            bool isFolder) {
    const int error = RenameNoReplace(folder, temporaryName.c_str(), folder, finalName.c_str(), device, isFolder);
    return OSErrFromErrno(error);
}

int RenameNoReplace(int fromFolder, const char* fromName, int toFolder, const char* toName, dev_t device,
                    bool isFolder) {
    if (FileSystemHas(device, kRenameNoReplace)) {
        if (renameat2(fromFolder, fromName, toFolder, toName, RENAME_NOREPLACE) == 0) {
            return 0;
        }
        if (errno != EINVAL) {
            return errno;
        }
        FileSystemLacks(device, kRenameNoReplace);
    }
    if (!isFolder) {
        if (!FileSystemHas(device, kHardLinks)) {
            return ENOTSUP;
        }
        // A hard link refuses an existing name as atomically as RENAME_NOREPLACE does.
        if (linkat(fromFolder, fromName, toFolder, toName, 0) != 0) {
            return LinkRefused(errno, fromFolder, fromName, device);
        }
        if (unlinkat(fromFolder, fromName, 0) != 0) {
            const int error = errno;
            unlinkat(toFolder, toName, 0);
            return error;
        }
        return 0;
    }
    // A folder cannot be linked: claim the name with an empty folder of our own, which the folder
    // may then take the place of; anything put into it meanwhile makes the rename fail. A record of
    // the claim lets a later run free the name when this one is killed before the rename.
    if (!FileSystemHas(device, kFolderOverEmpty)) {
        return ENOTSUP;
    }
    InPlaceRecord claim;
    if (OpenInPlaceRecord(toFolder, toName, claim) != noErr) {
        return errno;
    }
    if (mkdirat(toFolder, toName, 0700) != 0) {
        const int error = errno;
        CloseInPlaceRecord(toFolder, claim);
        return error;
    }
    struct stat claimed {};
    // Unrecorded, the claim could not be told from a folder that took its place.
    if (fstatat(toFolder, toName, &claimed, AT_SYMLINK_NOFOLLOW) != 0 ||
        !RecordInPlaceEntry(claim, claimed.st_ino, RecordedEntry::nameClaim)) {
        const int error = errno;
        unlinkat(toFolder, toName, AT_REMOVEDIR);
        CloseInPlaceRecord(toFolder, claim);
        return error;
    }
    if (renameat(fromFolder, fromName, toFolder, toName) == 0) {
        CloseInPlaceRecord(toFolder, claim);
        return 0;
    }
    const int error = errno;
    unlinkat(toFolder, toName, AT_REMOVEDIR);
    CloseInPlaceRecord(toFolder, claim);
    // fusefat never puts a folder in the place of another: it can only be copied there.
    if (error != EPERM || !OwnEntry(fromFolder, fromName)) {
        return error;
    }
    FileSystemLacks(device, kFolderOverEmpty);
    return ENOTSUP;
}

OSErr OpenInPlaceRecord(int folder, const std::string& entryName, InPlaceRecord& record) {
    const OSErr made = CreateTemporaryEntry(
        folder,
        [&record](int at, const char* name) {
            record.fd = UniqueFd(openat(at, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            return record.fd.valid() ? 0 : -1;
        },
        record.name, kInPlaceRecordSuffix);
    if (made != noErr) {
        return made;
    }
    LockTemporary(record.fd.get());
    const std::string text = entryName + '\0';
    if (!WriteAll(record.fd.get(), text)) {
        const int error = errno;
        CloseInPlaceRecord(folder, record);
        errno = error;
        return OSErrFromErrno(error);
    }
    return noErr;
}

bool RecordInPlaceEntry(const InPlaceRecord& record, ino_t inode, RecordedEntry kind) {
    std::string text = std::to_string(inode);
    if (kind == RecordedEntry::nameClaim) {
        text += kClaimMark;
    }
    return WriteAll(record.fd.get(), text);
}

void CloseInPlaceRecord(int folder, InPlaceRecord& record) {
    if (!record.name.empty()) {
        unlinkat(folder, record.name.c_str(), 0);
        record.name.clear();
    }
    record.fd = UniqueFd();
}

bool CopiesMadeInPlace(dev_t device, bool isFolder) {
    return !FileSystemHas(device, kRenameNoReplace) && !FileSystemHas(device, isFolder ? kFolderOverEmpty : kHardLinks);
}

OSErr RemoveTree(int folder, const std::string& name, bool ownTree) {
    struct stat status {};
    if (fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return OSErrFromErrno(errno);
    }
    if (!S_ISDIR(status.st_mode)) {
        return unlinkat(folder, name.c_str(), 0) == 0 ? noErr : OSErrFromErrno(errno);
    }
    if (ownTree) {
        fchmodat(folder, name.c_str(), S_IRWXU, 0);
    }
    const UniqueFd inner(openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!inner.valid()) {
        return OSErrFromErrno(errno);
    }
    std::vector<std::string> names;
    if (const int error = ReadFolderNames(inner.get(), names); error != 0) {
        return OSErrFromErrno(error);
    }
    for (const std::string& child : names) {
        if (const OSErr removed = RemoveTree(inner.get(), child, ownTree); removed != noErr) {
            return removed;
        }
    }
    return unlinkat(folder, name.c_str(), AT_REMOVEDIR) == 0 ? noErr : OSErrFromErrno(errno);
}

}  // namespace corvane
