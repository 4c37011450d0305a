#include "fileops/ObjectMover.h"

#include "MoreAppleEvents/MoreAppleEvents.h"
#include "MoreAppleEvents/MoreFinderEvents.h"
#include "fileops/PlacementRecorder.h"
#include "platform/base/Log.h"
#include "platform/base/UnicodeText.h"

namespace corvane {

namespace {

// Copies onto a file system that cannot store permissions or extended attributes keep what it can
// hold, as cp does; that is said once per file system, not for every file.
void TellUnkeptAttributes(const std::string& destinationPath, const FSRef& destination) {
    const unsigned unkept = FSTakeUnkeptAttributes(&destination);
    if (unkept == 0) {
        return;
    }
    const bool both = unkept == (kFSUnkeptPermissions | kFSUnkeptExtendedAttributes);
    const std::string_view what = both ? "permissions and extended attributes"
                                  : unkept == kFSUnkeptPermissions ? "permissions"
                                                                   : "extended attributes";
    NSLog("The file system of \"%@\" cannot store %@: copies there keep their data, dates and what it can hold",
          {destinationPath, what});
}

// The placement itself; the paths, when known, name the item and the destination for the record of it.
OSErr PlaceItem(const FSRef* item, const FSRef* destination, FSRef* newItem, signed char copy,
                const std::string* sourcePath, const std::string* destinationPath) {
    FSRef parent{};
    if (const OSErr result = FSGetParentRef(item, &parent); result != noErr) {
        return result;
    }
    if (FSCompareFSRefs(destination, &parent) == noErr) {
        return noErr;
    }
    // What a killed run left in the destination goes before any name there is judged taken.
    FSRemoveAbandonedTemporaries(destination);
    const std::optional<std::u16string> newName = RenameDuplicateFile(destination, item);
    std::optional<std::u16string> comment;
    if (MoreFEGetCommentCFString(item, &comment, gAEIdleUPP) != noErr) {
        comment.reset();
    }
    const std::u16string* name = newName ? &*newName : nullptr;
    if (PlacementsRecorded()) {
        const std::optional<std::string> finalName = name ? UTF8FromUTF16(*name) : FSGetObjectName(item);
        const std::optional<std::string> from = sourcePath ? std::optional(*sourcePath) : PathOfRef(item);
        const std::optional<std::string> into =
            destinationPath ? std::optional(*destinationPath) : PathOfRef(destination);
        if (finalName && from && into) {
            // The journal holds POSIX paths, in which a catalog name's '/' is a ':'.
            RecordItemPlacing(copy, item, *from, *into, WithSeparatorsSwapped(*finalName));
        }
    }
    OSErr result = copy != 0 ? FSCopyObjectSync(item, destination, name, newItem, 0)
                             : FSMoveObjectSync(item, destination, name, newItem, 0);
    if (result != noErr) {
        NSLogFailure("An error occurred: %d", {std::int64_t{result}});
        return result;
    }
    RecordItemPlaced(newItem);
    if (comment) {
        // The item is in place either way; a comment that did not follow it makes the placement a failure.
        result = MoreFESetCommentCFString(newItem, &*comment, gAEIdleUPP);
    }
    const std::optional<std::string> placedName = GetObjectName(newItem);
    const std::optional<std::string> folderName = GetObjectName(destination);
    if (placedName && folderName) {
        NSLog("Moved \"%@\" to \"%@\"", {*placedName, *folderName});
    }
    return result;
}

}  // namespace

signed char MoveObjectPath(const std::string& sourcePath, const std::string& destinationPath, signed char copy) {
    FSRef source{};
    // The source is the folder entry itself: a symbolic link is placed as a link, never its target.
    if (FSPathMakeRefWithOptions(sourcePath.c_str(), kFSPathMakeRefDoNotFollowLeafSymlink, &source, nullptr) != noErr) {
        return 0;
    }
    FSRef destination{};
    if (const OSErr result = FSPathMakeRef(destinationPath.c_str(), &destination, nullptr); result != noErr) {
        NSLogFailure("An error occurred moving an object. Error number = %d", {std::int64_t{result}});
        return 0;
    }
    FSRef placed{};
    const OSErr result = PlaceItem(&source, &destination, &placed, copy, &sourcePath, &destinationPath);
    TellUnkeptAttributes(destinationPath, destination);
    return result == noErr ? 1 : 0;
}

OSErr MoveObjectRef3(const FSRef* item, const FSRef* destination, FSRef* newItem, signed char copy) {
    return PlaceItem(item, destination, newItem, copy, nullptr, nullptr);
}

}  // namespace corvane
