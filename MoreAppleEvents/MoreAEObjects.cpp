#include "MoreAppleEvents/MoreAEObjects.h"

#include <new>
#include <optional>
#include <string>

#include "MoreAppleEvents/MoreAEDataModel.h"
#include "platform/events/AERegistry.h"
#include "platform/files/HFSPaths.h"

namespace corvane {

OSErr MoreAEOCreateObjSpecifierFromFSRef(const FSRef* item, AEDesc* objSpec) {
    if (item == nullptr) {
        return paramErr;
    }
    const std::optional<CFURL> url = CFURLCreateFromFSRef(item);
    if (!url) {
        return coreFoundationUnknownErr;
    }
    return MoreAEOCreateObjSpecifierFromCFURLRef(&*url, objSpec);
}

OSErr MoreAEOCreateObjSpecifierFromCFURLRef(const CFURL* url, AEDesc* objSpec) {
    if (url == nullptr) {
        return paramErr;
    }
    const std::optional<std::u16string> hfsPath = CFURLCopyFileSystemPath(*url, kCFURLHFSPathStyle);
    if (!hfsPath) {
        return coreFoundationUnknownErr;
    }
    const bool isDirectory = CFURLHasDirectoryPath(*url);
    std::u16string units;
    try {
        units = *hfsPath;
        // A folder's HFS path ends in ':', as the Finder expects of a container.
        if (isDirectory) {
            units.push_back(u':');
        }
    } catch (const std::bad_alloc&) {
        return memFullErr;
    }
    AEDesc name;
    OSErr err = AECreateDesc(typeUnicodeText, units.data(), static_cast<long>(units.size() * 2), &name);
    if (err == noErr) {
        AEDesc noContainer;
        err = CreateObjSpecifier(isDirectory ? cObject : cFile, &noContainer, formName, &name, false, objSpec);
    }
    MoreAEDisposeDesc(&name);
    return err;
}

}  // namespace corvane
