#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "platform/base/Errors.h"
#include "platform/base/UnicodeText.h"
#include "platform/files/FSRefResolve.h"
#include "platform/files/Files.h"
#include "platform/files/internal/CatalogInfo.h"
#include "platform/files/internal/FSRefTable.h"

namespace corvane {

namespace {

// The held descriptor of the parent folder and the POSIX name of a catalog name inside it.
OSErr ParentAndName(const FSRef* parent, UniCharCount nameLength, const UniChar* name, int& folder,
                    std::string& posixName) {
    if (name == nullptr && nameLength != 0) {
        return paramErr;
    }
    if (const OSErr status = FolderOfRef(parent, folder); status != noErr) {
        return status;
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
    int folder = -1;
    std::string posixName;
    if (const OSErr status = ParentAndName(parent, nameLength, name, folder, posixName); status != noErr) {
        return status;
    }
    struct stat status {};
    return MakeChildFSRef(parent->pathSlot, folder, posixName, newRef, status);
}

OSErr FSCreateDirectoryUnicode(const FSRef* parent, UniCharCount nameLength, const UniChar* name,
                               FSCatalogInfoBitmap whichInfo, const FSCatalogInfo* /*catalogInfo*/,
                               FSRef* newRef, std::uint32_t* newDirID) {
    if (whichInfo != kFSCatInfoNone) {
        return paramErr;
    }
    int folder = -1;
    std::string posixName;
    if (const OSErr status = ParentAndName(parent, nameLength, name, folder, posixName); status != noErr) {
        return status;
    }
    if (mkdirat(folder, posixName.c_str(), 0777) != 0) {
        return OSErrFromErrno(errno);
    }
    ResolvedRef made{folder, posixName, {}, kNoSlot};
    FSRef madeRef{};
    if (const OSErr error = MakeChildFSRef(parent->pathSlot, folder, posixName, &madeRef, made.status);
        error != noErr) {
        return error;
    }
    made.slot = madeRef.pathSlot;
    if (newRef != nullptr) {
        *newRef = madeRef;
    }
    if (newDirID != nullptr) {
        *newDirID = CatalogInfoFor(made, kFSCatInfoNodeID).nodeID;
    }
    return noErr;
}

}  // namespace corvane
