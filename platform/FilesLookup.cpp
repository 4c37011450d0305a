#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "platform/CatalogInfo.h"
#include "platform/Errors.h"
#include "platform/FSRefResolve.h"
#include "platform/Files.h"
#include "platform/UnicodeText.h"

namespace {

// The resolved parent folder and the POSIX name of a catalog name inside it.
OSErr ResolveParentAndName(const FSRef* parent, UniCharCount nameLength, const UniChar* name,
                           ResolvedRef& folder, std::string& posixName) {
    if (name == nullptr && nameLength != 0) {
        return paramErr;
    }
    if (const OSErr status = ResolveFSRef(parent, folder); status != noErr) {
        return status;
    }
    if (!S_ISDIR(folder.status.st_mode)) {
        return errFSNotAFolder;
    }
    auto converted = PosixNameFromCatalogName(std::u16string_view(name, nameLength));
    if (!converted) {
        return bdNamErr;
    }
    posixName = std::move(*converted);
    return noErr;
}

}  // namespace

OSErr FSMakeFSRefUnicode(const FSRef* parent, UniCharCount nameLength, const UniChar* name,
                         TextEncoding /*textEncodingHint*/, FSRef* newRef) {
    if (newRef == nullptr) {
        return paramErr;
    }
    ResolvedRef folder;
    std::string posixName;
    if (const OSErr status = ResolveParentAndName(parent, nameLength, name, folder, posixName); status != noErr) {
        return status;
    }
    struct stat status {};
    return MakeChildFSRef(folder, posixName, newRef, status);
}

OSErr FSCreateDirectoryUnicode(const FSRef* parent, UniCharCount nameLength, const UniChar* name,
                               FSCatalogInfoBitmap whichInfo, const FSCatalogInfo* /*catalogInfo*/,
                               FSRef* newRef, std::uint32_t* newDirID) {
    if (whichInfo != kFSCatInfoNone) {
        return paramErr;
    }
    ResolvedRef folder;
    std::string posixName;
    if (const OSErr status = ResolveParentAndName(parent, nameLength, name, folder, posixName); status != noErr) {
        return status;
    }
    const std::string path = ChildPath(folder.path, posixName);
    if (mkdir(path.c_str(), 0777) != 0) {
        return OSErrFromErrno(errno);
    }
    FSRef made{};
    struct stat status {};
    if (const OSErr error = MakeChildFSRef(folder, posixName, &made, status); error != noErr) {
        return error;
    }
    if (newRef != nullptr) {
        *newRef = made;
    }
    if (newDirID != nullptr) {
        *newDirID = CatalogInfoFor(path, status, kFSCatInfoNodeID).nodeID;
    }
    return noErr;
}
