#include "fileops/ItemTests.h"

#include "platform/base/UnicodeText.h"
#include "platform/files/LaunchServices.h"

namespace corvane {

bool ItemIsPlainFolder(const FSRef* item) {
    LSItemInfoRecord info{};
    if (LSCopyItemInfoForRef(item, kLSRequestAllFlags, &info) != noErr) {
        return false;
    }
    return (info.flags & kLSItemInfoIsContainer) != 0 && (info.flags & kLSItemInfoIsPackage) == 0;
}

bool IsInvisible(const FSRef* item) {
    FinderInfo info{};
    Boolean isDirectory = false;
    if (FSGetFinderInfo(item, &info, nullptr, &isDirectory) == noErr && !isDirectory &&
        (info.finderFlags & kIsInvisible) != 0) {
        return true;
    }
    const std::optional<std::string> name = FSGetName(item);
    return name && name->starts_with('.');
}

OSErr FSGetFinderInfo(const FSRef* item, FinderInfo* info, ExtendedFinderInfo* extendedInfo, Boolean* isDirectory) {
    FSCatalogInfoBitmap request = kFSCatInfoNone;
    if (info != nullptr) {
        request |= kFSCatInfoFinderInfo;
    }
    if (extendedInfo != nullptr) {
        request |= kFSCatInfoFinderXInfo;
    }
    if (isDirectory != nullptr) {
        request |= kFSCatInfoNodeFlags;
    }
    FSCatalogInfo catalog{};
    const OSErr result = FSGetCatalogInfo(item, request, &catalog, nullptr, nullptr);
    if (result != noErr) {
        return result;
    }
    if (info != nullptr) {
        *info = catalog.finderInfo;
    }
    if (extendedInfo != nullptr) {
        *extendedInfo = catalog.extFinderInfo;
    }
    if (isDirectory != nullptr) {
        *isDirectory = (catalog.nodeFlags & kFSNodeIsDirectoryMask) != 0;
    }
    return noErr;
}

OSErr FSGetFileDirName(const FSRef* item, HFSUniStr255* name) {
    if (name == nullptr) {
        return paramErr;
    }
    return FSGetCatalogInfo(item, kFSCatInfoNone, nullptr, name, nullptr);
}

std::optional<std::string> FSGetName(const FSRef* item) {
    HFSUniStr255 name{};
    if (FSGetFileDirName(item, &name) != noErr) {
        return std::nullopt;
    }
    return UTF8FromUTF16(std::u16string_view(name.unicode, name.length));
}

}  // namespace corvane
