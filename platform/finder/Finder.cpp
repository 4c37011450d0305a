#include "platform/finder/Finder.h"

#include <sys/stat.h>

#include <cerrno>
#include <optional>
#include <string>

#include "platform/base/Errors.h"
#include "platform/base/UnicodeText.h"
#include "platform/events/AERegistry.h"
#include "platform/files/EntryAttributes.h"
#include "platform/files/FSRefResolve.h"
#include "platform/files/HFSPaths.h"

namespace corvane {

namespace {

bool IsObjectSpecifier(const AEDesc& desc) {
    return desc.descriptorType == typeObjectSpecifier && desc.kind == AEDescKind::record;
}

/// The code under key of a specifier, or 0 when it has none.
FourCharCode CodeOf(const AEDesc& specifier, AEKeyword key) {
    FourCharCode code = 0;
    long size = 0;
    if (AEGetParamPtr(&specifier, key, typeType, nullptr, &code, sizeof code, &size) != noErr ||
        size != static_cast<long>(sizeof code)) {
        return 0;
    }
    return code;
}

std::u16string UnitsOf(const AEDesc& text) {
    std::u16string units(static_cast<std::size_t>(AEGetDescDataSize(&text)) / 2, u'\0');
    AEGetDescData(&text, units.data(), static_cast<long>(units.size() * 2));
    return units;
}

/// The item whose comment property the event's direct object names, found as the File Manager
/// finds every item: never through a link on the way, a final link naming the link.
OSErr ResolveCommentItem(const AppleEvent* event, ResolvedRef* entry) {
    AEDesc property;
    if (AEGetParamDesc(event, keyDirectObject, typeWildCard, &property) != noErr || !IsObjectSpecifier(property) ||
        CodeOf(property, keyAEKeyForm) != formPropertyID || CodeOf(property, keyAEDesiredClass) != cProperty ||
        CodeOf(property, keyAEKeyData) != pComment) {
        return errAENoSuchObject;
    }
    AEDesc item;
    if (AEGetParamDesc(&property, keyAEContainer, typeWildCard, &item) != noErr || !IsObjectSpecifier(item) ||
        CodeOf(item, keyAEKeyForm) != formName) {
        return errAENoSuchObject;
    }
    const FourCharCode itemClass = CodeOf(item, keyAEDesiredClass);
    AEDesc container;
    const OSErr containerErr = AEGetParamDesc(&item, keyAEContainer, typeWildCard, &container);
    AEDesc name;
    if ((itemClass != cFile && itemClass != cObject) ||
        (containerErr != errAEDescNotFound && container.descriptorType != typeNull) ||
        AEGetParamDesc(&item, keyAEKeyData, typeUnicodeText, &name) != noErr) {
        return errAENoSuchObject;
    }
    const std::optional<CFURL> url = CFURLCreateWithFileSystemPath(UnitsOf(name), kCFURLHFSPathStyle, false);
    if (!url || ResolvePath(url->path.c_str(), kFSPathMakeRefDoNotFollowLeafSymlink, *entry) != noErr) {
        return errAENoSuchObject;
    }
    const bool isFolder = S_ISDIR(entry->status.st_mode);
    if ((url->isDirectory && !isFolder) || (itemClass == cFile && isFolder)) {
        return errAENoSuchObject;
    }
    return noErr;
}

/// The status of a failed attribute call: a vanished item is no object at all.
OSErr StoreError(int error) { return error == ENOENT || error == ENOTDIR ? errAENoSuchObject : OSErrFromErrno(error); }

// ENODATA: no comment stored; ENOTSUP: this file system stores none. Either way the comment is empty.
bool MeansNoComment(int error) { return error == ENODATA || error == ENOTSUP; }

OSErr ReadComment(const ResolvedRef& entry, std::u16string* comment) {
    const char* name = entry.name.c_str();
    std::string bytes;
    ssize_t got = -1;
    do {
        const ssize_t size = GetEntryAttribute(entry.at, name, kFinderCommentAttribute, nullptr, 0);
        if (size < 0) {
            break;
        }
        bytes.resize(static_cast<std::size_t>(size));
        got = GetEntryAttribute(entry.at, name, kFinderCommentAttribute, bytes.data(), bytes.size());
    } while (got < 0 && errno == ERANGE); // the comment grew between measuring and reading it
    if (got < 0) {
        if (MeansNoComment(errno)) {
            comment->clear();
            return noErr;
        }
        return StoreError(errno);
    }
    bytes.resize(static_cast<std::size_t>(got));
    std::optional<std::u16string> text = UTF16FromUTF8(bytes);
    if (!text) {
        return errAECoercionFail;
    }
    *comment = std::move(*text);
    return noErr;
}

OSErr WriteComment(const ResolvedRef& entry, const std::string& comment) {
    const char* name = entry.name.c_str();
    if (!comment.empty()) {
        return SetEntryAttribute(entry.at, name, kFinderCommentAttribute, comment.data(), comment.size()) == 0
                   ? noErr
                   : StoreError(errno);
    }
    // Links and file systems without user attributes refuse even a removal, though they hold no comment.
    if (GetEntryAttribute(entry.at, name, kFinderCommentAttribute, nullptr, 0) < 0 && MeansNoComment(errno)) {
        return noErr;
    }
    if (RemoveEntryAttribute(entry.at, name, kFinderCommentAttribute) == 0 || errno == ENODATA) {
        return noErr;
    }
    return StoreError(errno);
}

OSErr SetComment(const AppleEvent* event, const ResolvedRef& entry) {
    AEDesc text;
    const OSErr err = AEGetParamDesc(event, keyAEData, typeUnicodeText, &text);
    if (err != noErr) {
        return err;
    }
    const std::optional<std::string> comment = UTF8FromUTF16(UnitsOf(text));
    return comment ? WriteComment(entry, *comment) : errAECoercionFail;
}

OSErr GetComment(const ResolvedRef& entry, AppleEvent* reply) {
    std::u16string comment;
    const OSErr err = ReadComment(entry, &comment);
    if (err != noErr) {
        return err;
    }
    return AEPutParamPtr(reply, keyDirectObject, typeUnicodeText, comment.data(),
                         static_cast<long>(comment.size() * 2));
}

} // namespace

OSErr FinderHandleEvent(const AppleEvent* event, AppleEvent* reply) {
    AEEventClass eventClass = 0;
    AEEventID eventID = 0;
    AEGetAttributePtr(event, keyEventClassAttr, typeType, nullptr, &eventClass, sizeof eventClass, nullptr);
    AEGetAttributePtr(event, keyEventIDAttr, typeType, nullptr, &eventID, sizeof eventID, nullptr);
    if (eventClass != kAECoreSuite || (eventID != kAEGetData && eventID != kAESetData)) {
        return errAEEventNotHandled;
    }
    ResolvedRef entry;
    const OSErr err = ResolveCommentItem(event, &entry);
    if (err != noErr) {
        return err;
    }
    return eventID == kAEGetData ? GetComment(entry, reply) : SetComment(event, entry);
}

void InstallFinder() { AEInstallApplication(kFinderSignature, FinderHandleEvent); }

}  // namespace corvane
