#include "platform/files/LaunchServices.h"

#include <sys/stat.h>

#include "platform/files/FSRefResolve.h"
#include "platform/files/internal/CatalogInfo.h"
#include "platform/files/internal/FSRefTable.h"
#include "platform/types/PackageExtensions.h"

namespace corvane {

namespace {

bool IsPackage(const ResolvedRef& folder) {
    const FSCatalogInfo info = CatalogInfoFor(folder, kFSCatInfoFinderInfo);
    if ((info.finderInfo.finderFlags & kHasBundle) != 0) {
        return true;
    }
    const std::string_view name = FSRefTableName(folder.slot);
    const std::size_t dot = name.rfind('.');
    return dot != std::string_view::npos && dot != 0 && IsPackageExtension(name.substr(dot + 1));
}

}  // namespace

OSErr LSCopyItemInfoForRef(const FSRef* ref, LSRequestedInfo whichInfo, LSItemInfoRecord* info) {
    if (info == nullptr || ref == nullptr) {
        return paramErr;
    }
    // What a file or a link is, the reference knows; only a folder's package marks need the disk.
    ResolvedRef resolved;
    if (RefIsDirectory(*ref)) {
        if (const OSErr status = ResolveFSRef(ref, resolved); status != noErr) {
            return status;
        }
    } else if (!FSRefTableLive(ref->pathSlot, ref->generation)) {
        return fnfErr;
    }
    LSItemInfoFlags flags = 0;
    if ((whichInfo & kLSRequestAllFlags) != 0) {
        const mode_t type = ref->fileType & S_IFMT;
        if (type == S_IFREG) {
            flags = kLSItemInfoIsPlainFile;
        } else if (type == S_IFLNK) {
            flags = kLSItemInfoIsSymlink;
        } else if (type == S_IFDIR) {
            flags = kLSItemInfoIsContainer | (IsPackage(resolved) ? kLSItemInfoIsPackage : 0);
        }
    }
    info->flags = flags;
    return noErr;
}

}  // namespace corvane
