#include "platform/files/internal/CatalogInfo.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/base/Errors.h"
#include "platform/base/UnicodeText.h"
#include "platform/files/internal/FSRefTable.h"
#include "platform/files/internal/FinderInfoXattr.h"

namespace corvane {

namespace {

// The node IDs below 16 are the original platform's reserved ones; an inode never lands there.
constexpr std::uint32_t kFirstOrdinaryNodeID = 16;

bool IsVolumeRoot(const ResolvedRef& folder) {
    // The kernel knows mount roots that share the device of their parent (bind mounts).
    struct statx extended {};
    if (statx(folder.at, folder.name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_INO, &extended) == 0 &&
        (extended.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0) {
        return (extended.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    }
    // An entry's parent is the folder it was found in; a root's is its "..", which is "/" itself.
    struct stat parent {};
    const int found = folder.name == "." ? fstatat(folder.at, "..", &parent, 0) : fstat(folder.at, &parent);
    if (found != 0) {
        return false;
    }
    return parent.st_dev != folder.status.st_dev || parent.st_ino == folder.status.st_ino;
}

std::uint32_t NodeIDFromInode(std::uint64_t inode) {
    const auto folded = static_cast<std::uint32_t>(inode ^ (inode >> 32));
    return folded < kFirstOrdinaryNodeID ? folded | 0x80000000U : folded;
}

// The parent folder's reference: the folder the entry was found in, or for a root the folder that
// holds it, found as any path outside the table is.
OSErr ParentOf(const FSRef& ref, FSRef& parent) {
    const std::uint32_t parentSlot = FSRefTableParent(ref.pathSlot);
    if (parentSlot != kNoSlot) {
        int fd = -1;
        struct stat status {};
        if (const OSErr error = FSRefTableFolderAsSeen(parentSlot, fd, &status); error != noErr) {
            return error;
        }
        parent = MakeFSRef(parentSlot, status);
        return noErr;
    }
    const std::string path = FSRefTablePath(ref.pathSlot);
    const std::size_t slash = path.rfind('/');
    const std::string above = slash == 0 ? "/" : path.substr(0, slash);
    return FSPathMakeRef(above.c_str(), &parent, nullptr);
}

}  // namespace

FSCatalogInfo CatalogInfoFor(const ResolvedRef& item, FSCatalogInfoBitmap whichInfo) {
    FSCatalogInfo info{};
    if ((whichInfo & kFSCatInfoNodeFlags) != 0 && S_ISDIR(item.status.st_mode)) {
        info.nodeFlags = kFSNodeIsDirectoryMask;
    }
    if ((whichInfo & kFSCatInfoNodeID) != 0) {
        info.nodeID = S_ISDIR(item.status.st_mode) && IsVolumeRoot(item) ? fsRtDirID : NodeIDFromInode(item.status.st_ino);
    }
    if ((whichInfo & (kFSCatInfoFinderInfo | kFSCatInfoFinderXInfo)) != 0) {
        FinderInfo finderInfo;
        ExtendedFinderInfo extended;
        ReadFinderInfo(item.at, item.name.c_str(), finderInfo, extended);
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
    if (ref == nullptr || (whichInfo != kFSCatInfoNone && catalogInfo == nullptr)) {
        return paramErr;
    }
    // A name and a parent are what this process last saw; every other field is read from the object,
    // which must still be the one the reference names.
    ResolvedRef resolved{-1, {}, {}, ref->pathSlot};
    if (whichInfo == kFSCatInfoNone) {
        if (!FSRefTableLive(ref->pathSlot, ref->generation)) {
            return fnfErr;
        }
    } else if (const OSErr status = ResolveFSRef(ref, resolved); status != noErr) {
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
        if (const OSErr status = ParentOf(*ref, parent); status != noErr) {
            return status;
        }
    }
    if (catalogInfo != nullptr) {
        *catalogInfo = CatalogInfoFor(resolved, whichInfo);
    }
    if (outName != nullptr) {
        *outName = name;
    }
    if (parentRef != nullptr) {
        *parentRef = parent;
    }
    return noErr;
}

}  // namespace corvane
