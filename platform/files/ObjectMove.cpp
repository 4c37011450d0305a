#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/base/Errors.h"
#include "platform/files/Files.h"
#include "platform/files/internal/ObjectCopy.h"
#include "platform/files/internal/TemporaryEntry.h"

namespace corvane {

namespace {

bool SameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Whether the entry still holds the very object that was copied, untouched since: the same
// identity, size, data time and change time.
bool UnchangedSinceCopied(int folder, const char* name, const struct stat& copied) {
    struct stat now {};
    return fstatat(folder, name, &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_dev == copied.st_dev &&
           now.st_ino == copied.st_ino && now.st_size == copied.st_size && SameTime(now.st_mtim, copied.st_mtim) &&
           SameTime(now.st_ctim, copied.st_ctim);
}

// Across file systems, or where a file system can neither rename without replacing nor link (FAT):
// a copy that must carry every attribute, then the removal of the source in its own folder, and
// only while it is still what was copied (fBsyErr when it changed meanwhile). A source that stays
// takes its copy back, unless it is a folder whose removal stopped halfway: that one keeps its
// complete copy.
OSErr MoveByCopying(const ResolvedRef& item, const Destination& destination, struct stat& moved) {
    struct stat source {};
    if (const OSErr status = CopyEntryInto(item, destination, UserAttributes::KeepAll, moved, source);
        status != noErr) {
        return status;
    }
    const OSErr removed =
        UnchangedSinceCopied(item.at, item.name.c_str(), source) ? RemoveTree(item.at, item.name, false) : fBsyErr;
    const bool sourceStays = removed == fBsyErr || !S_ISDIR(item.status.st_mode);
    if (removed != noErr && sourceStays &&
        UnchangedSinceCopied(destination.folder, destination.name.c_str(), moved)) {
        RemoveTree(destination.folder, destination.name, true);
    }
    return removed;
}

}  // namespace

OSErr FSMoveObjectSync(const FSRef* source, const FSRef* destDir, const std::u16string* destName, FSRef* target,
                       OptionBits options) {
    ResolvedRef item;
    Destination destination;
    if (const OSErr status = OpenDestination(source, destDir, destName, options, item, destination); status != noErr) {
        return status;
    }
    const bool isFolder = S_ISDIR(item.status.st_mode);
    if (isFolder && FolderIsWithin(destination.folder, item.status)) {
        return paramErr;
    }
    struct stat moved = item.status;
    const int error = RenameNoReplace(item.at, item.name.c_str(), destination.folder, destination.name.c_str(),
                                      destination.device, isFolder);
    if (error == EXDEV || error == ENOTSUP) {
        if (const OSErr status = MoveByCopying(item, destination, moved); status != noErr) {
            return status;
        }
    } else if (error != 0) {
        return OSErrFromErrno(error);
    }
    return target != nullptr ? MakeDestinationRef(destination, moved, target) : noErr;
}

}  // namespace corvane
