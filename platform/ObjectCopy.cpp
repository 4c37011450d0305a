#include "platform/ObjectCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/Errors.h"
#include "platform/FSRefTable.h"
#include "platform/FileDataCopy.h"
#include "platform/TemporaryEntry.h"
#include "platform/UnicodeText.h"

namespace {

std::function<void()>& BeforePublishHook() {
    static std::function<void()> hook;
    return hook;
}

void RunBeforePublishHook() {
    if (const auto& hook = BeforePublishHook()) {
        hook();
    }
}

bool SameObject(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Opens the source entry itself, refusing anything that is no longer the object that was looked
// at: a link or a FIFO put in its place is never followed or opened for reading (O_NONBLOCK).
OSErr OpenSource(int at, const char* name, const struct stat& status, int flags, UniqueFd& fd) {
    fd = UniqueFd(openat(at, name, flags | O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        return errno == ELOOP ? fnfErr : OSErrFromErrno(errno);
    }
    struct stat opened {};
    if (fstat(fd.get(), &opened) != 0) {
        return OSErrFromErrno(errno);
    }
    if (!SameObject(opened, status) || (opened.st_mode & S_IFMT) != (status.st_mode & S_IFMT)) {
        return fnfErr;
    }
    // Only the open itself needed O_NONBLOCK; reads of the data should wait as usual.
    const int fileFlags = fcntl(fd.get(), F_GETFL);
    if (fileFlags < 0 || fcntl(fd.get(), F_SETFL, fileFlags & ~O_NONBLOCK) != 0) {
        return OSErrFromErrno(errno);
    }
    return noErr;
}

OSErr ReadLinkText(int at, const char* name, const struct stat& status, std::string& text) {
    std::size_t size = status.st_size > 0 ? static_cast<std::size_t>(status.st_size) + 1 : 256;
    for (;;) {
        text.resize(size);
        const ssize_t got = readlinkat(at, name, text.data(), text.size());
        if (got < 0) {
            return OSErrFromErrno(errno);
        }
        if (static_cast<std::size_t>(got) < text.size()) {
            text.resize(static_cast<std::size_t>(got));
            return noErr;
        }
        size *= 2;
    }
}

OSErr GiveLinkTimes(int folder, const char* name, const struct stat& status) {
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    return utimensat(folder, name, times, AT_SYMLINK_NOFOLLOW) == 0 ? noErr : OSErrFromErrno(errno);
}

OSErr FillFile(int source, int copy, const struct stat& status) {
    if (const OSErr error = CopyFileData(source, copy); error != noErr) {
        return error;
    }
    return CopyMetadata(source, copy, status);
}

OSErr FillFolder(int source, int folder, const char* name, const struct stat& status);

// Copies one entry of a folder being copied into the copy's folder under the same name. The copy
// is not published yet, so its entries are made under their final names directly.
OSErr CopyInnerEntry(int sourceFolder, const std::string& name, int copyFolder) {
    struct stat status {};
    if (fstatat(sourceFolder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return OSErrFromErrno(errno);
    }
    if (S_ISREG(status.st_mode)) {
        UniqueFd source;
        if (const OSErr error = OpenSource(sourceFolder, name.c_str(), status, 0, source); error != noErr) {
            return error;
        }
        const UniqueFd copy(
            openat(copyFolder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!copy.valid()) {
            return OSErrFromErrno(errno);
        }
        return FillFile(source.get(), copy.get(), status);
    }
    if (S_ISLNK(status.st_mode)) {
        std::string text;
        if (const OSErr error = ReadLinkText(sourceFolder, name.c_str(), status, text); error != noErr) {
            return error;
        }
        if (symlinkat(text.c_str(), copyFolder, name.c_str()) != 0) {
            return OSErrFromErrno(errno);
        }
        return GiveLinkTimes(copyFolder, name.c_str(), status);
    }
    if (S_ISDIR(status.st_mode)) {
        UniqueFd source;
        if (const OSErr error = OpenSource(sourceFolder, name.c_str(), status, O_DIRECTORY, source); error != noErr) {
            return error;
        }
        if (mkdirat(copyFolder, name.c_str(), S_IRWXU) != 0) {
            return OSErrFromErrno(errno);
        }
        return FillFolder(source.get(), copyFolder, name.c_str(), status);
    }
    return paramErr;
}

// Fills the new, empty folder name in folder from the open source folder, then gives it the
// source's attributes, permissions and times once nothing more is written into it.
OSErr FillFolder(int source, int folder, const char* name, const struct stat& status) {
    const UniqueFd copy(openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!copy.valid()) {
        return OSErrFromErrno(errno);
    }
    std::vector<std::string> names;
    if (const int error = ReadFolderNames(source, names); error != 0) {
        return OSErrFromErrno(error);
    }
    for (const std::string& child : names) {
        if (const OSErr error = CopyInnerEntry(source, child, copy.get()); error != noErr) {
            return error;
        }
    }
    return CopyMetadata(source, copy.get(), status);
}

OSErr CopyFileInto(const std::string& sourcePath, const struct stat& status, int folder, const std::string& name) {
    UniqueFd source;
    if (const OSErr error = OpenSource(AT_FDCWD, sourcePath.c_str(), status, 0, source); error != noErr) {
        return error;
    }
    TemporaryFile temporary;
    if (const OSErr error = CreateTemporaryFile(folder, temporary); error != noErr) {
        return error;
    }
    OSErr result = FillFile(source.get(), temporary.fd, status);
    if (result == noErr) {
        RunBeforePublishHook();
        result = PublishTemporaryFile(folder, temporary, name);
    }
    if (result == noErr) {
        temporary.name.clear();
    }
    DiscardTemporaryFile(folder, temporary);
    return result;
}

OSErr CopyLinkInto(const std::string& sourcePath, const struct stat& status, int folder, const std::string& name) {
    std::string text;
    if (const OSErr error = ReadLinkText(AT_FDCWD, sourcePath.c_str(), status, text); error != noErr) {
        return error;
    }
    std::string temporary;
    const auto makeLink = [&text](int at, const char* linkName) { return symlinkat(text.c_str(), at, linkName); };
    if (const OSErr error = CreateTemporaryEntry(folder, makeLink, temporary); error != noErr) {
        return error;
    }
    OSErr result = GiveLinkTimes(folder, temporary.c_str(), status);
    if (result == noErr) {
        RunBeforePublishHook();
        result = PublishTemporaryEntry(folder, temporary, name, false);
    }
    if (result != noErr) {
        unlinkat(folder, temporary.c_str(), 0);
    }
    return result;
}

OSErr CopyFolderInto(const std::string& sourcePath, const struct stat& status, int folder, const std::string& name) {
    UniqueFd source;
    if (const OSErr error = OpenSource(AT_FDCWD, sourcePath.c_str(), status, O_DIRECTORY, source); error != noErr) {
        return error;
    }
    // The copy would list itself while it is being made, without end.
    if (FolderIsWithin(folder, status)) {
        return paramErr;
    }
    std::string temporary;
    const auto makeFolder = [](int at, const char* folderName) { return mkdirat(at, folderName, S_IRWXU); };
    if (const OSErr error = CreateTemporaryEntry(folder, makeFolder, temporary); error != noErr) {
        return error;
    }
    OSErr result = FillFolder(source.get(), folder, temporary.c_str(), status);
    if (result == noErr) {
        RunBeforePublishHook();
        result = PublishTemporaryEntry(folder, temporary, name, true);
    }
    if (result != noErr) {
        RemoveTree(folder, temporary, true);
    }
    return result;
}

}  // namespace

OSErr OpenDestination(const FSRef* source, const FSRef* destDir, const std::u16string* destName, OptionBits options,
                      ResolvedRef& item, Destination& destination) {
    if (options != 0) {
        return paramErr;
    }
    if (const OSErr status = ResolveFSRef(source, item); status != noErr) {
        return status;
    }
    if (const OSErr status = ResolveFSRef(destDir, destination.folder); status != noErr) {
        return status;
    }
    if (!S_ISDIR(destination.folder.status.st_mode)) {
        return errFSNotAFolder;
    }
    if (destName != nullptr) {
        auto name = PosixNameFromCatalogName(*destName);
        if (!name) {
            return bdNamErr;
        }
        destination.name = std::move(*name);
    } else {
        destination.name = FSRefTableName(item.slot);
        if (destination.name.empty()) {
            return paramErr;
        }
    }
    // O_PATH: writing into a folder needs no right to read it.
    destination.fd = UniqueFd(open(destination.folder.path.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!destination.fd.valid()) {
        return errno == ELOOP ? errFSNotAFolder : OSErrFromErrno(errno);
    }
    struct stat opened {};
    if (fstat(destination.fd.get(), &opened) != 0 || !SameObject(opened, destination.folder.status)) {
        return fnfErr;
    }
    return noErr;
}

OSErr CopyEntryInto(const std::string& sourcePath, const struct stat& sourceStatus, int folder, const std::string& name,
                    struct stat& copied) {
    OSErr result = paramErr;
    if (S_ISREG(sourceStatus.st_mode)) {
        result = CopyFileInto(sourcePath, sourceStatus, folder, name);
    } else if (S_ISLNK(sourceStatus.st_mode)) {
        result = CopyLinkInto(sourcePath, sourceStatus, folder, name);
    } else if (S_ISDIR(sourceStatus.st_mode)) {
        result = CopyFolderInto(sourcePath, sourceStatus, folder, name);
    }
    if (result == noErr && fstatat(folder, name.c_str(), &copied, AT_SYMLINK_NOFOLLOW) != 0) {
        return OSErrFromErrno(errno);
    }
    return result;
}

bool FolderIsWithin(int folder, const struct stat& ancestor) {
    UniqueFd at(fcntl(folder, F_DUPFD_CLOEXEC, 0));
    struct stat here {};
    if (!at.valid() || fstat(at.get(), &here) != 0) {
        return false;
    }
    for (;;) {
        if (SameObject(here, ancestor)) {
            return true;
        }
        UniqueFd up(openat(at.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat above {};
        if (!up.valid() || fstat(up.get(), &above) != 0 || SameObject(above, here)) {
            return false;
        }
        at = std::move(up);
        here = above;
    }
}

OSErr MakeDestinationRef(const Destination& destination, const struct stat& status, FSRef* ref) {
    const std::uint32_t slot = FSRefTableChild(destination.folder.slot, destination.name);
    if (slot == kNoSlot) {
        return memFullErr;
    }
    *ref = MakeFSRef(slot, status);
    return noErr;
}

void SetBeforePublishHook(std::function<void()> hook) { BeforePublishHook() = std::move(hook); }

OSErr FSCopyObjectSync(const FSRef* source, const FSRef* destDir, const std::u16string* destName, FSRef* target,
                       OptionBits options) {
    ResolvedRef item;
    Destination destination;
    if (const OSErr status = OpenDestination(source, destDir, destName, options, item, destination); status != noErr) {
        return status;
    }
    struct stat copied {};
    if (const OSErr status = CopyEntryInto(item.path, item.status, destination.fd.get(), destination.name, copied);
        status != noErr) {
        return status;
    }
    return target != nullptr ? MakeDestinationRef(destination, copied, target) : noErr;
}
