#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/ObjectCopy.h"
#include "platform/TemporaryEntry.h"

namespace {

// For a file system without RENAME_NOREPLACE. A file is hard-linked under the new name, which
// refuses an existing name as atomically, then unlinked; a folder first claims the new name with an
// empty folder of its own, which the rename may then replace.
OSErr MoveWithoutNoReplace(const ResolvedRef& item, const Destination& destination) {
    const int folder = destination.fd.get();
    const char* name = destination.name.c_str();
    if (!S_ISDIR(item.status.st_mode)) {
        if (linkat(AT_FDCWD, item.path.c_str(), folder, name, 0) != 0) {
            return OSErrFromErrno(errno);
        }
        if (unlink(item.path.c_str()) != 0) {
            const int error = errno;
            unlinkat(folder, name, 0);
            return OSErrFromErrno(error);
        }
        return noErr;
    }
    if (mkdirat(folder, name, S_IRWXU) != 0) {
        return OSErrFromErrno(errno);
    }
    if (renameat(AT_FDCWD, item.path.c_str(), folder, name) != 0) {
        const int error = errno;
        unlinkat(folder, name, AT_REMOVEDIR);
        return OSErrFromErrno(error);
    }
    return noErr;
}

// Across file systems: the source goes only once its copy is complete in place. A file whose
// source cannot be removed takes its copy back, so that it is not left twice; a folder whose
// removal stopped halfway keeps its complete copy.
OSErr MoveAcrossFileSystems(const ResolvedRef& item, const Destination& destination, struct stat& moved) {
    if (const OSErr status = CopyEntryInto(item.path, item.status, destination.fd.get(), destination.name, moved);
        status != noErr) {
        return status;
    }
    const OSErr removed = RemoveTree(AT_FDCWD, item.path, false);
    if (removed != noErr && !S_ISDIR(item.status.st_mode)) {
        RemoveTree(destination.fd.get(), destination.name, true);
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
    const int folder = destination.fd.get();
    struct stat moved = item.status;
    if (renameat2(AT_FDCWD, item.path.c_str(), folder, destination.name.c_str(), RENAME_NOREPLACE) != 0) {
        const int error = errno;
        OSErr status = noErr;
        if (error == EXDEV) {
            status = MoveAcrossFileSystems(item, destination, moved);
        } else if (error != EINVAL) {
            status = OSErrFromErrno(error);
        } else if (S_ISDIR(item.status.st_mode) && FolderIsWithin(folder, item.status)) {
            status = paramErr;
        } else {
            status = MoveWithoutNoReplace(item, destination);
        }
        if (status != noErr) {
            return status;
        }
    }
    return target != nullptr ? MakeDestinationRef(destination, moved, target) : noErr;
}
