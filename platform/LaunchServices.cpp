#include "platform/LaunchServices.h"

#include <sys/stat.h>

#include "platform/CatalogInfo.h"
#include "platform/FSRefResolve.h"
#include "platform/PackageExtensions.h"

namespace {

bool IsPackage(const ResolvedRef& folder) {
    const FSCatalogInfo info = CatalogInfoFor(folder.path, folder.status, kFSCatInfoFinderInfo);
    if ((info.finderInfo.finderFlags & kHasBundle) != 0) {
        return true;
    }
    const std::string_view name = std::string_view(folder.path).substr(folder.path.rfind('/') + 1);
    const std::size_t dot = name.rfind('.');
    return dot != std::string_view::npos && dot != 0 && IsPackageExtension(name.substr(dot + 1));
}

}  // namespace

OSErr LSCopyItemInfoForRef(const FSRef* ref, LSRequestedInfo whichInfo, LSItemInfoRecord* info) {
    if (info == nullptr) {
        return paramErr;
    }
    ResolvedRef resolved;
    if (const OSErr status = ResolveFSRef(ref, resolved); status != noErr) {
        return status;
    }
    LSItemInfoFlags flags = 0;
    if ((whichInfo & kLSRequestAllFlags) != 0) {
        const mode_t type = resolved.status.st_mode & S_IFMT;
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
