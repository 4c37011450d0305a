#include "platform/FSRefResolve.h"

#include <cerrno>

#include "platform/Errors.h"
#include "platform/FSRefTable.h"

OSErr ResolveFSRef(const FSRef* ref, ResolvedRef& resolved) {
    if (ref == nullptr) {
        return paramErr;
    }
    if (!FSRefTableLive(ref->pathSlot, ref->generation)) {
        return fnfErr;
    }
    resolved.slot = ref->pathSlot;
    resolved.path = FSRefTablePath(ref->pathSlot);
    // Another object at the recorded path is a replacement, never the object the reference names.
    if (lstat(resolved.path.c_str(), &resolved.status) != 0 || resolved.status.st_dev != ref->device ||
        resolved.status.st_ino != ref->inode) {
        return fnfErr;
    }
    return noErr;
}

FSRef MakeFSRef(std::uint32_t slot, const struct stat& status) {
    FSRef ref{};
    ref.device = status.st_dev;
    ref.inode = status.st_ino;
    ref.pathSlot = slot;
    ref.generation = FSRefTableGeneration(slot);
    return ref;
}

OSErr MakeChildFSRef(const ResolvedRef& folder, std::string_view name, FSRef* ref, struct stat& status) {
    if (lstat(ChildPath(folder.path, name).c_str(), &status) != 0) {
        return OSErrFromErrno(errno);
    }
    const std::uint32_t slot = FSRefTableChild(folder.slot, name);
    if (slot == kNoSlot) {
        return memFullErr;
    }
    *ref = MakeFSRef(slot, status);
    return noErr;
}

std::string ChildPath(const std::string& folderPath, std::string_view name) {
    std::string path = folderPath;
    if (path.back() != '/') {
        path.push_back('/');
    }
    path.append(name);
    return path;
}
