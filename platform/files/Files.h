// The File Manager of the original platform over POSIX: references to items, catalog information,
// listing, lookup and creation by catalog name, and copy and move that never replace anything.
// Everything below a folder reached from outside (a root) is worked on through open folder
// descriptors, one name at a time, never through a symbolic link. Called from one thread at a time.
// Every call that touches an object checks that the reference still names it (fnfErr otherwise);
// names and paths come from what this process last saw.
#pragma once

#include <cstdint>
#include <string>

#include "platform/base/MacErrors.h"

namespace corvane {

/// Names an existing object by its identity (device, inode) plus the slot of the table at which
/// this process last saw it, and the kind of object it was then (S_IFMT bits), with its size and
/// modification time then. Trivially copyable; all zero bytes is the null reference.
struct FSRef {
    std::uint64_t device;
    std::uint64_t inode;
    std::int64_t sizeWhenSeen;
    std::int64_t modifiedNanosecondsWhenSeen;
    std::uint32_t pathSlot;
    std::uint32_t generation;
    std::uint32_t fileType;
    std::uint8_t reserved[36];
};
static_assert(sizeof(FSRef) == 80);

/// A catalog name: the POSIX name with '/' and ':' swapped, as UTF-16, at most 255 units.
struct HFSUniStr255 {
    std::uint16_t length;
    UniChar unicode[255];
};

/// The Finder's 16 bytes about a file, fields in host order.
struct FinderInfo {
    OSType fileType;
    OSType fileCreator;
    std::uint16_t finderFlags;
    std::int16_t location[2];
    std::uint16_t reservedField;
};
static_assert(sizeof(FinderInfo) == 16);

struct ExtendedFinderInfo {
    std::int16_t reserved1[4];
    std::uint16_t extendedFinderFlags;
    std::int16_t reserved2;
    std::int32_t putAwayFolderID;
};
static_assert(sizeof(ExtendedFinderInfo) == 16);

constexpr std::uint16_t kIsInvisible = 0x4000;
constexpr std::uint16_t kHasBundle = 0x2000;

using FSCatalogInfoBitmap = std::uint32_t;
constexpr FSCatalogInfoBitmap kFSCatInfoNone = 0;
constexpr FSCatalogInfoBitmap kFSCatInfoNodeFlags = 0x2;
constexpr FSCatalogInfoBitmap kFSCatInfoNodeID = 0x10;
constexpr FSCatalogInfoBitmap kFSCatInfoFinderInfo = 0x800;
constexpr FSCatalogInfoBitmap kFSCatInfoFinderXInfo = 0x1000;

constexpr std::uint16_t kFSNodeIsDirectoryMask = 0x10;
/// The node ID of a volume's root folder, and of nothing else.
constexpr std::uint32_t fsRtDirID = 2;

struct FSCatalogInfo {
    std::uint16_t nodeFlags;
    std::uint32_t nodeID;
    FinderInfo finderInfo;
    ExtendedFinderInfo extFinderInfo;
};

using OptionBits = std::uint32_t;
constexpr OptionBits kFSPathMakeRefDefaultOptions = 0;
constexpr OptionBits kFSPathMakeRefDoNotFollowLeafSymlink = 1;

constexpr OSErr errFSRefsDifferent = -1420;

/// Reference to the object that the UTF-8 path names. A path inside a live root is found name by
/// name from the root's descriptor and never through a symbolic link (a final link names the link);
/// any other path is resolved once by the file system, following links, and the folder it names (or
/// the folder holding what it names) becomes a root, held open while the pool that is open lives.
/// Only roots made inside a pool (the folders of a request) take in the paths below them.
/// isDirectory, when given, says whether that object is a directory.
OSErr FSPathMakeRef(const char* path, FSRef* ref, Boolean* isDirectory);

/// As FSPathMakeRef; with kFSPathMakeRefDoNotFollowLeafSymlink a final symbolic link of a path
/// outside every root names the link itself, not its target.
OSErr FSPathMakeRefWithOptions(const char* path, OptionBits options, FSRef* ref, Boolean* isDirectory);

/// The object's POSIX path as zero-terminated UTF-8 into path. A path that does not fit with its
/// terminator in maxPathSize bytes gives errFSNameTooLong; an invalid reference fnfErr.
OSErr FSRefMakePath(const FSRef* ref, char* path, std::uint32_t maxPathSize);

/// True while the entry recorded for the reference still holds the same (device, inode) and the
/// reference's pool has not been released.
Boolean FSIsFSRefValid(const FSRef* ref);

/// noErr exactly when both references name the same object; errFSRefsDifferent otherwise, fnfErr
/// when either was released.
OSErr FSCompareFSRefs(const FSRef* ref1, const FSRef* ref2);

/// The fields asked for in whichInfo, the catalog name (outName) and the parent folder (parentRef),
/// each only when given. With no fields asked for, the name and the parent are the ones this process
/// last saw, and only a released reference fails; any field is read from the object itself. The
/// parent of a volume root is the volume root's own parent directory, and "/" is its own parent
/// with the empty name. bdNamErr when the name is asked for and the POSIX name
/// is not valid UTF-8; on any failure nothing is written.
OSErr FSGetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                       HFSUniStr255* outName, FSRef* parentRef);

using FSIterator = struct OpaqueFSIterator*;
using FSIteratorFlags = std::uint32_t;
constexpr FSIteratorFlags kFSIterateFlat = 0;

/// Opens a flat iterator over the direct children of container ('.' and '..' left out);
/// errFSNotAFolder for anything but a folder (a link to one included), paramErr for other flags.
OSErr FSOpenIterator(const FSRef* container, FSIteratorFlags flags, FSIterator* iterator);
OSErr FSCloseIterator(FSIterator iterator);

/// Delivers at most maximumObjects children into refs (and, when given, catalogInfos and names),
/// with errFSNoMoreItems together with or after the last. containerChanged is set when the
/// directory was modified while it was being read. A child whose POSIX name is not valid UTF-8 is
/// delivered with an empty name.
OSErr FSGetCatalogInfoBulk(FSIterator iterator, ItemCount maximumObjects, ItemCount* actualObjects,
                           Boolean* containerChanged, FSCatalogInfoBitmap whichInfo,
                           FSCatalogInfo* catalogInfos, FSRef* refs, HFSUniStr255* names);

/// The child of parent with the given catalog name, the entry itself (a link stays the link).
/// fnfErr when there is none, bdNamErr for a name that no POSIX name maps to.
OSErr FSMakeFSRefUnicode(const FSRef* parent, UniCharCount nameLength, const UniChar* name,
                         TextEncoding textEncodingHint, FSRef* newRef);

/// Creates a folder of that catalog name in parent; dupFNErr when the name is taken, bdNamErr for a
/// name holding ':'. whichInfo must be kFSCatInfoNone (paramErr, and nothing made, otherwise).
OSErr FSCreateDirectoryUnicode(const FSRef* parent, UniCharCount nameLength, const UniChar* name,
                               FSCatalogInfoBitmap whichInfo, const FSCatalogInfo* catalogInfo,
                               FSRef* newRef, std::uint32_t* newDirID);

/// Copies source (a file, a link as a link, or a folder whole) into destDir under destName, or
/// under its own name when destName is null, with extended attributes, permissions and times.
/// dupFNErr when the name is taken: nothing is ever replaced, and on any failure nothing is left
/// under the final name or as a temporary, and the source is untouched. paramErr for options other
/// than 0, for a FIFO, socket or device node (never opened) and for a folder copied into itself.
OSErr FSCopyObjectSync(const FSRef* source, const FSRef* destDir, const std::u16string* destName,
                       FSRef* target, OptionBits options);

/// Moves source into destDir under destName (or its own name) without replacing anything (dupFNErr).
/// Across file systems, and on one that can neither rename without replacing nor link (FAT), a
/// file is copied, and the source is removed only once its copy is complete in place; a file whose
/// source cannot then be removed stays where it was, a folder whose removal stopped halfway keeps
/// its complete copy, and the status says why. paramErr as for FSCopyObjectSync.
OSErr FSMoveObjectSync(const FSRef* source, const FSRef* destDir, const std::u16string* destName,
                       FSRef* target, OptionBits options);

/// How an item stood when it was looked at: its identity, its size and the last change of its data.
struct FSObjectState {
    std::uint64_t device;
    std::uint64_t inode;
    std::int64_t size;
    std::int64_t modifiedNanoseconds;
    bool operator==(const FSObjectState&) const = default;
};

/// The state of the item itself (a link is the link), read from its entry now.
OSErr FSGetObjectState(const FSRef* item, FSObjectState* state);

/// The state of the item when its reference was made, without reading the entry again: for the
/// reference a copy or move hands back, the item as it was placed.
FSObjectState FSObjectStateWhenSeen(const FSRef* item);

/// Removes a file, a link or an empty folder, the entry itself; fBsyErr for a folder that is not
/// empty, fnfErr when the entry no longer holds the item.
OSErr FSDeleteObject(const FSRef* item);

/// Removes from folder what copies and moves of processes that are gone left there (their hidden
/// temporaries, and an entry that one of them was making in place), once per folder and pool. The
/// mover asks before it names anything in a destination, so that a rerun after a crash takes the
/// names the killed run had claimed.
OSErr FSRemoveAbandonedTemporaries(const FSRef* folder);

/// What copies into the file system of folder had to leave out because it cannot store it (FAT:
/// the permissions beyond whether a file may be written, the extended attributes), each thing told
/// once per process and file system: 0 once everything is told.
enum : unsigned { kFSUnkeptPermissions = 1U << 0, kFSUnkeptExtendedAttributes = 1U << 1 };
unsigned FSTakeUnkeptAttributes(const FSRef* folder);

}  // namespace corvane
