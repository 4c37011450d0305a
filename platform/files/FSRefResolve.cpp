#include "platform/files/FSRefResolve.h"

#include <fcntl.h>

#include <cerrno>

#include "platform/base/Errors.h"
#include "platform/files/internal/FSRefTable.h"

namespace corvane {

OSErr ResolveFSRef(const FSRef* ref, ResolvedRef& resolved) {
    if (ref == nullptr) {
        return paramErr;
    }
    if (!FSRefTableLive(ref->pathSlot, ref->generation)) {
        return fnfErr;
    }
    resolved.slot = ref->pathSlot;
    if (FSRefTableIsRoot(ref->pathSlot)) {
        resolved.name = ".";
        return FSRefTableFolder(ref->pathSlot, ref->device, ref->inode, resolved.at) == noErr &&
                       fstat(resolved.at, &resolved.status) == 0
                   ? noErr
                   : fnfErr;
    }
    const std::uint32_t parent = FSRefTableParent(ref->pathSlot);
    if (FSRefTableFolderAsSeen(parent, resolved.at) != noErr) {
        return fnfErr;
    }
    resolved.name = FSRefTableName(ref->pathSlot);
    // Another object under the recorded name is a replacement, never the object the reference names.
    if (fstatat(resolved.at, resolved.name.c_str(), &resolved.status, AT_SYMLINK_NOFOLLOW) != 0 ||
        resolved.status.st_dev != ref->device || resolved.status.st_ino != ref->inode) {
        return fnfErr;
    }
    return noErr;
}

OSErr LocateFSRef(const FSRef* ref, ResolvedRef& located) {
    if (ref == nullptr) {
        return paramErr;
    }
    if (!FSRefTableLive(ref->pathSlot, ref->generation) || FSRefTableIsRoot(ref->pathSlot)) {
        return ResolveFSRef(ref, located);
    }
    if (FSRefTableFolderAsSeen(FSRefTableParent(ref->pathSlot), located.at) != noErr) {
        return fnfErr;
    }
    located.slot = ref->pathSlot;
    located.name = FSRefTableName(ref->pathSlot);
    located.status = {};
    located.status.st_dev = static_cast<dev_t>(ref->device);
    located.status.st_ino = static_cast<ino_t>(ref->inode);
    located.status.st_mode = ref->fileType;
    located.status.st_size = static_cast<off_t>(ref->sizeWhenSeen);
    located.status.st_mtim = {static_cast<time_t>(ref->modifiedNanosecondsWhenSeen / 1000000000),
                              static_cast<long>(ref->modifiedNanosecondsWhenSeen % 1000000000)};
    return noErr;
}

OSErr FolderOfRef(const FSRef* ref, int& fd) {
    if (ref == nullptr) {
        return paramErr;
    }
    if (!FSRefTableLive(ref->pathSlot, ref->generation)) {
        return fnfErr;
    }
    if (!RefIsDirectory(*ref)) {
        return errFSNotAFolder;
    }
    return FSRefTableFolder(ref->pathSlot, ref->device, ref->inode, fd);
}

FSRef MakeFSRef(std::uint32_t slot, const struct stat& status) {
    FSRef ref{};
    ref.device = status.st_dev;
    ref.inode = status.st_ino;
    ref.sizeWhenSeen = status.st_size;
    ref.modifiedNanosecondsWhenSeen = NanosecondsOf(status.st_mtim);
    ref.pathSlot = slot;
    ref.generation = FSRefTableGeneration(slot);
    ref.fileType = status.st_mode & S_IFMT;
    return ref;
}

OSErr MakeChildFSRef(std::uint32_t slot, int folder, std::string_view name, FSRef* ref, struct stat& status) {
    const std::string entry(name);
    if (fstatat(folder, entry.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return OSErrFromErrno(errno);
    }
    const std::uint32_t child = FSRefTableChild(slot, name);
    if (child == kNoSlot) {
        return memFullErr;
    }
    *ref = MakeFSRef(child, status);
    return noErr;
}

}  // namespace corvane
