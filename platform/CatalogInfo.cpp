#include "platform/CatalogInfo.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "platform/Errors.h"
#include "platform/FSRefResolve.h"
#include "platform/FSRefTable.h"
#include "platform/FinderInfoXattr.h"
#include "platform/UnicodeText.h"

namespace {

// The node IDs below 16 are the original platform's reserved ones; an inode never lands there.
constexpr std::uint32_t kFirstOrdinaryNodeID = 16;

bool IsVolumeRoot(const std::string& path, const struct stat& status) {
    if (!S_ISDIR(status.st_mode)) {
        return false;
    }
    // The kernel knows mount roots that share the device of their parent (bind mounts).
    struct statx extended {};
    if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_INO, &extended) == 0 &&
        (extended.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
        (extended.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0) {
        return true;
    }
    struct stat parent {};
    if (lstat(ChildPath(path, "..").c_str(), &parent) != 0) {
        return false;
    }
    return parent.st_dev != status.st_dev || parent.st_ino == status.st_ino;
}

std::uint32_t NodeIDFromInode(ino_t inode) {
    const auto folded = static_cast<std::uint32_t>(inode ^ (inode >> 32));
    return folded < kFirstOrdinaryNodeID ? folded | 0x80000000U : folded;
}

}  // namespace

FSCatalogInfo CatalogInfoFor(const std::string& path, const struct stat& status, FSCatalogInfoBitmap whichInfo) {
    FSCatalogInfo info{};
    if ((whichInfo & kFSCatInfoNodeFlags) != 0 && S_ISDIR(status.st_mode)) {
        info.nodeFlags = kFSNodeIsDirectoryMask;
    }
    if ((whichInfo & kFSCatInfoNodeID) != 0) {
        info.nodeID = IsVolumeRoot(path, status) ? fsRtDirID : NodeIDFromInode(status.st_ino);
    }
    if ((whichInfo & (kFSCatInfoFinderInfo | kFSCatInfoFinderXInfo)) != 0) {
        FinderInfo finderInfo;
        ExtendedFinderInfo extended;
        ReadFinderInfo(path.c_str(), finderInfo, extended);
        if ((whichInfo & kFSCatInfoFinderInfo) != 0) {
            info.finderInfo = finderInfo;
        }
        if ((whichInfo & kFSCatInfoFinderXInfo) != 0) {
            info.extFinderInfo = extended;
        }
    }
    return info;
}

OSErr CatalogNameOf(std::uint32_t slot, HFSUniStr255& name) {
    const auto catalogName = CatalogNameFromPosixName(FSRefTableName(slot));
    if (!catalogName) {
        return bdNamErr;
    }
    name.length = static_cast<std::uint16_t>(catalogName->size());
    std::copy(catalogName->begin(), catalogName->end(), name.unicode);
    return noErr;
}

OSErr FSGetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                       HFSUniStr255* outName, FSRef* parentRef) {
    if (whichInfo != kFSCatInfoNone && catalogInfo == nullptr) {
        return paramErr;
    }
    ResolvedRef resolved;
    if (const OSErr status = ResolveFSRef(ref, resolved); status != noErr) {
        return status;
    }
    HFSUniStr255 name{};
    if (outName != nullptr) {
        if (const OSErr status = CatalogNameOf(resolved.slot, name); status != noErr) {
            return status;
        }
    }
    FSRef parent{};
    if (parentRef != nullptr) {
        const std::uint32_t parentSlot = FSRefTableParent(resolved.slot);
        struct stat parentStatus {};
        if (lstat(FSRefTablePath(parentSlot).c_str(), &parentStatus) != 0) {
            return OSErrFromErrno(errno);
        }
        parent = MakeFSRef(parentSlot, parentStatus);
    }
    if (catalogInfo != nullptr) {
        *catalogInfo = CatalogInfoFor(resolved.path, resolved.status, whichInfo);
    }
    if (outName != nullptr) {
        *outName = name;
    }
    if (parentRef != nullptr) {
        *parentRef = parent;
    }
    return noErr;
}
