#include "platform/files/internal/ObjectCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <utility>
#include <vector>

#include "platform/base/Errors.h"
#include "platform/base/UnicodeText.h"
#include "platform/files/FileSystemFeatures.h"
#include "platform/files/internal/FSRefTable.h"
#include "platform/files/internal/FileDataCopy.h"
#include "platform/files/internal/TemporaryEntry.h"

namespace corvane {

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
// at: a link or a FIFO put in its place is never followed or opened for reading (O_NONBLOCK, which
// changes nothing for the reads of a file or a folder). opened receives its status.
OSErr OpenSource(int at, const char* name, const struct stat& status, int flags, UniqueFd& fd, struct stat& opened) {
    fd = UniqueFd(openat(at, name, flags | O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) {
        return errno == ELOOP ? fnfErr : OSErrFromErrno(errno);
    }
    if (fstat(fd.get(), &opened) != 0) {
        return OSErrFromErrno(errno);
    }
    if (!SameObject(opened, status) || (opened.st_mode & S_IFMT) != (status.st_mode & S_IFMT)) {
        return fnfErr;
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

OSErr FillFile(int source, int copy, dev_t device, const struct stat& status, UserAttributes rule) {
    if (const OSErr error = CopyFileData(source, status, copy, device); error != noErr) {
        return error;
    }
    return CopyMetadata(source, copy, status, rule, device);
}

OSErr FillFolder(int source, int folder, const char* name, dev_t device, const struct stat& status,
                 UserAttributes rule);

// Copies one entry of a folder being copied into the copy's folder under the same name. The copy
// is not published yet, so its entries are made under their final names directly.
OSErr CopyInnerEntry(int sourceFolder, const std::string& name, int copyFolder, dev_t device, UserAttributes rule) {
    struct stat status {};
    if (fstatat(sourceFolder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return OSErrFromErrno(errno);
    }
    struct stat opened {};
    if (S_ISREG(status.st_mode)) {
        UniqueFd source;
        if (const OSErr error = OpenSource(sourceFolder, name.c_str(), status, 0, source, opened); error != noErr) {
            return error;
        }
        const UniqueFd copy(
            openat(copyFolder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!copy.valid()) {
            return OSErrFromErrno(errno);
        }
        return FillFile(source.get(), copy.get(), device, opened, rule);
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
        if (const OSErr error = OpenSource(sourceFolder, name.c_str(), status, O_DIRECTORY, source, opened);
            error != noErr) {
            return error;
        }
        if (mkdirat(copyFolder, name.c_str(), S_IRWXU) != 0) {
            return OSErrFromErrno(errno);
        }
        return FillFolder(source.get(), copyFolder, name.c_str(), device, opened, rule);
    }
    return paramErr;
}

// Fills the new, empty folder name in folder from the open source folder, then gives it the
// source's attributes, permissions and times once nothing more is written into it.
OSErr FillFolder(int source, int folder, const char* name, dev_t device, const struct stat& status,
                 UserAttributes rule) {
    const UniqueFd copy(openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!copy.valid()) {
        return OSErrFromErrno(errno);
    }
    std::vector<std::string> names;
    if (const int error = ReadFolderNames(source, names); error != 0) {
        return OSErrFromErrno(error);
    }
    for (const std::string& child : names) {
        if (const OSErr error = CopyInnerEntry(source, child, copy.get(), device, rule); error != noErr) {
            return error;
        }
    }
    return CopyMetadata(source, copy.get(), status, rule, device);
}

// Where the file system can neither rename without replacing nor link (FAT), the only claim on a
// name that never replaces is its exclusive creation: the copy is made under its final name, which
// a failure removes again while it still is the copy, and which a record of ours names meanwhile,
// so that a later run removes it when this one is killed halfway.
OSErr CopyFileInPlace(int source, const struct stat& opened, const Destination& destination, UserAttributes rule) {
    InPlaceRecord record;
    if (const OSErr error = OpenInPlaceRecord(destination.folder, destination.name, record); error != noErr) {
        return error;
    }
    const char* name = destination.name.c_str();
    RunBeforePublishHook();
    const UniqueFd copy(openat(destination.folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    struct stat made {};
    OSErr result = copy.valid() && fstat(copy.get(), &made) == 0 ? noErr : OSErrFromErrno(errno);
    if (result == noErr) {
        RecordInPlaceEntry(record, made.st_ino);
        result = FillFile(source, copy.get(), destination.device, opened, rule);
    }
    struct stat there {};
    if (result != noErr && copy.valid() && fstatat(destination.folder, name, &there, AT_SYMLINK_NOFOLLOW) == 0 &&
        SameObject(made, there)) {
        unlinkat(destination.folder, name, 0);
    }
    CloseInPlaceRecord(destination.folder, record);
    return result;
}

// A folder made in place, as a file is (CopyFileInPlace).
OSErr CopyFolderInPlace(int source, const struct stat& opened, const Destination& destination, UserAttributes rule) {
    InPlaceRecord record;
    if (const OSErr error = OpenInPlaceRecord(destination.folder, destination.name, record); error != noErr) {
        return error;
    }
    const char* name = destination.name.c_str();
    RunBeforePublishHook();
    struct stat made {};
    OSErr result = mkdirat(destination.folder, name, S_IRWXU) == 0 &&
                           fstatat(destination.folder, name, &made, AT_SYMLINK_NOFOLLOW) == 0
                       ? noErr
                       : OSErrFromErrno(errno);
    if (result == noErr) {
        RecordInPlaceEntry(record, made.st_ino);
        result = FillFolder(source, destination.folder, name, destination.device, opened, rule);
        struct stat there {};
        if (result != noErr && fstatat(destination.folder, name, &there, AT_SYMLINK_NOFOLLOW) == 0 &&
            SameObject(made, there)) {
            RemoveTree(destination.folder, destination.name, true);
        }
    }
    CloseInPlaceRecord(destination.folder, record);
    return result;
}

OSErr CopyFileInto(const ResolvedRef& item, const Destination& destination, UserAttributes rule, struct stat& opened) {
    UniqueFd source;
    if (const OSErr error = OpenSource(item.at, item.name.c_str(), item.status, 0, source, opened); error != noErr) {
        return error;
    }
    if (CopiesMadeInPlace(destination.device, false)) {
        return CopyFileInPlace(source.get(), opened, destination, rule);
    }
    TemporaryFile temporary;
    if (const OSErr error = CreateTemporaryFile(destination.folder, destination.device, temporary); error != noErr) {
        return error;
    }
    OSErr result = FillFile(source.get(), temporary.fd.get(), destination.device, opened, rule);
    if (result == noErr) {
        RunBeforePublishHook();
        result = PublishTemporaryFile(destination.folder, destination.device, temporary, destination.name);
    }
    if (result == noErr) {
        temporary.name.clear();
    }
    DiscardTemporaryFile(destination.folder, temporary);
    // The publication has just found out that this file system can do it only in place.
    if (result != noErr && CopiesMadeInPlace(destination.device, false)) {
        return lseek(source.get(), 0, SEEK_SET) == 0 ? CopyFileInPlace(source.get(), opened, destination, rule)
                                                      : OSErrFromErrno(errno);
    }
    return result;
}

OSErr CopyLinkInto(const ResolvedRef& item, const Destination& destination) {
    std::string text;
    if (const OSErr error = ReadLinkText(item.at, item.name.c_str(), item.status, text); error != noErr) {
        return error;
    }
    // A link is made whole, its text with it; only its times follow.
    if (CopiesMadeInPlace(destination.device, false)) {
        RunBeforePublishHook();
        if (symlinkat(text.c_str(), destination.folder, destination.name.c_str()) != 0) {
            return OSErrFromErrno(errno);
        }
        GiveLinkTimes(destination.folder, destination.name.c_str(), item.status);
        return noErr;
    }
    std::string temporary;
    const auto makeLink = [&text](int at, const char* linkName) { return symlinkat(text.c_str(), at, linkName); };
    if (const OSErr error = CreateTemporaryEntry(destination.folder, makeLink, temporary); error != noErr) {
        return error;
    }
    OSErr result = GiveLinkTimes(destination.folder, temporary.c_str(), item.status);
    if (result == noErr) {
        RunBeforePublishHook();
        result = PublishTemporaryEntry(destination.folder, destination.device, temporary, destination.name, false);
    }
    if (result != noErr) {
        unlinkat(destination.folder, temporary.c_str(), 0);
    }
    return result;
}

OSErr CopyFolderInto(const ResolvedRef& item, const Destination& destination, UserAttributes rule,
                     struct stat& opened) {
    UniqueFd source;
    if (const OSErr error = OpenSource(item.at, item.name.c_str(), item.status, O_DIRECTORY, source, opened);
        error != noErr) {
        return error;
    }
    // The copy would list itself while it is being made, without end.
    if (FolderIsWithin(destination.folder, item.status)) {
        return paramErr;
    }
    if (CopiesMadeInPlace(destination.device, true)) {
        return CopyFolderInPlace(source.get(), opened, destination, rule);
    }
    std::string temporary;
    const auto makeFolder = [](int at, const char* folderName) { return mkdirat(at, folderName, S_IRWXU); };
    if (const OSErr error = CreateTemporaryEntry(destination.folder, makeFolder, temporary); error != noErr) {
        return error;
    }
    const UniqueFd lock(
        openat(destination.folder, temporary.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (lock.valid()) {
        LockTemporary(lock.get());
    }
    OSErr result = FillFolder(source.get(), destination.folder, temporary.c_str(), destination.device, opened, rule);
    if (result == noErr) {
        RunBeforePublishHook();
        result = PublishTemporaryEntry(destination.folder, destination.device, temporary, destination.name, true);
    }
    if (result != noErr) {
        RemoveTree(destination.folder, temporary, true);
    }
    // The publication has just found out that this file system can do it only in place.
    if (result != noErr && CopiesMadeInPlace(destination.device, true)) {
        return CopyFolderInPlace(source.get(), opened, destination, rule);
    }
    return result;
}

// A root is its own folder's "."; moved or copied, it is the entry of the folder that holds it,
// which must still be the same object.
OSErr ResolveRootAsEntry(const FSRef& root, ResolvedRef& item) {
    const std::string path = FSRefTablePath(root.pathSlot);
    const std::size_t slash = path.rfind('/');
    if (path == "/") {
        return paramErr;
    }
    FSRef holder{};
    if (const OSErr status = FSPathMakeRef(slash == 0 ? "/" : path.substr(0, slash).c_str(), &holder, nullptr);
        status != noErr) {
        return status;
    }
    if (const OSErr status = FolderOfRef(&holder, item.at); status != noErr) {
        return status;
    }
    item.name = path.substr(slash + 1);
    if (fstatat(item.at, item.name.c_str(), &item.status, AT_SYMLINK_NOFOLLOW) != 0) {
        return OSErrFromErrno(errno);
    }
    return item.status.st_dev == root.device && item.status.st_ino == root.inode ? noErr : fnfErr;
}

}  // namespace

OSErr OpenDestination(const FSRef* source, const FSRef* destDir, const std::u16string* destName, OptionBits options,
                      ResolvedRef& item, Destination& destination) {
    if (options != 0) {
        return paramErr;
    }
    // A file is opened and checked to be the object before anything is read from it, and a move of
    // a file takes whatever entry its name holds in its folder; a link's or a folder's copy needs
    // all of its status first.
    const bool isFile = source != nullptr && S_ISREG(source->fileType);
    if (const OSErr status = isFile ? LocateFSRef(source, item) : ResolveFSRef(source, item); status != noErr) {
        return status;
    }
    if (FSRefTableIsRoot(item.slot)) {
        if (const OSErr status = ResolveRootAsEntry(*source, item); status != noErr) {
            return status;
        }
    }
    if (const OSErr status = FolderOfRef(destDir, destination.folder); status != noErr) {
        return status;
    }
    destination.device = static_cast<dev_t>(destDir->device);
    destination.slot = destDir->pathSlot;
    if (destName != nullptr) {
        auto name = PosixNameFromCatalogName(*destName);
        if (!name) {
            return bdNamErr;
        }
        destination.name = std::move(*name);
    } else {
        destination.name = item.name;
    }
    return noErr;
}

OSErr CopyEntryInto(const ResolvedRef& item, const Destination& destination, UserAttributes rule, struct stat& copied,
                    struct stat& source) {
    OSErr result = paramErr;
    source = item.status;
    if (S_ISREG(item.status.st_mode)) {
        result = CopyFileInto(item, destination, rule, source);
    } else if (S_ISLNK(item.status.st_mode)) {
        result = CopyLinkInto(item, destination);
    } else if (S_ISDIR(item.status.st_mode)) {
        result = CopyFolderInto(item, destination, rule, source);
    }
    if (result == noErr &&
        fstatat(destination.folder, destination.name.c_str(), &copied, AT_SYMLINK_NOFOLLOW) != 0) {
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
    const std::uint32_t slot = FSRefTableChild(destination.slot, destination.name);
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
    struct stat original {};
    if (const OSErr status = CopyEntryInto(item, destination, UserAttributes::KeepWhatFits, copied, original);
        status != noErr) {
        return status;
    }
    return target != nullptr ? MakeDestinationRef(destination, copied, target) : noErr;
}

unsigned FSTakeUnkeptAttributes(const FSRef* folder) {
    if (folder == nullptr) {
        return 0;
    }
    const unsigned dropped = TakeDroppedFeatures(static_cast<dev_t>(folder->device));
    return ((dropped & kModes) != 0 ? kFSUnkeptPermissions : 0U) |
           ((dropped & kUserAttributes) != 0 ? kFSUnkeptExtendedAttributes : 0U);
}

OSErr FSRemoveAbandonedTemporaries(const FSRef* folder) {
    static std::set<std::pair<std::uint32_t, std::uint32_t>> swept;
    constexpr std::size_t kForgetAfter = 4096;
    int fd = -1;
    if (const OSErr status = FolderOfRef(folder, fd); status != noErr) {
        return status;
    }
    if (swept.size() > kForgetAfter) {
        std::erase_if(swept, [](const auto& use) { return !FSRefTableLive(use.first, use.second); });
    }
    if (swept.emplace(folder->pathSlot, FSRefTableGeneration(folder->pathSlot)).second) {
        RemoveAbandonedTemporaries(fd);
    }
    return noErr;
}

}  // namespace corvane
