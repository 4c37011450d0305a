// Between FSRef values and the objects they name: checking a reference against its folder, and
// making references for objects found there. For the File Manager sources only.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files/Files.h"

namespace corvane {

/// A file time as nanoseconds since the epoch, as the references and item states keep it.
inline std::int64_t NanosecondsOf(const timespec& time) {
    return std::int64_t{time.tv_sec} * 1000000000 + time.tv_nsec;
}

/// An object that a valid reference names, as it is now: the entry `name` of the open folder `at`.
/// A root is its own folder's entry ".".
struct ResolvedRef {
    int at;
    std::string name;
    struct stat status;
    std::uint32_t slot;
};

/// noErr and the object while ref is valid; paramErr for a null pointer, fnfErr for a reference that
/// is null, released, or whose entry no longer holds its object.
OSErr ResolveFSRef(const FSRef* ref, ResolvedRef& resolved);

/// Where the object of a reference was seen, without looking: its folder and name, and a status
/// holding only its identity, kind, size and modification time as the reference saw them. For a
/// caller whose next step opens the entry and checks it is that object anyway. fnfErr for a
/// released reference.
OSErr LocateFSRef(const FSRef* ref, ResolvedRef& located);

/// The entry that FSPathMakeRefWithOptions finds for path, as it finds it.
OSErr ResolvePath(const char* path, OptionBits options, ResolvedRef& entry);

/// Where path's final entry is, as ResolvePath finds it but without reading that entry below a
/// root: its folder and name, an empty status and no slot. For a caller whose next call on the
/// entry reads it anyway.
OSErr LocatePath(const char* path, ResolvedRef& entry);

/// The held descriptor of the folder that a reference names, without looking at its name again:
/// the folder object itself, wherever it is now. paramErr for a null pointer, fnfErr for a released
/// reference or a folder that is gone, errFSNotAFolder for anything but a folder.
OSErr FolderOfRef(const FSRef* ref, int& fd);

/// The reference for the object with this status recorded at slot.
FSRef MakeFSRef(std::uint32_t slot, const struct stat& status);

/// The reference of the entry `name` inside the folder at slot, open at folder; the entry itself (a
/// link stays the link). status receives its status. Fails with the fstatat's status, or memFullErr.
OSErr MakeChildFSRef(std::uint32_t slot, int folder, std::string_view name, FSRef* ref, struct stat& status);

/// Whether the object of the reference was a directory when the reference was made.
inline bool RefIsDirectory(const FSRef& ref) { return S_ISDIR(ref.fileType); }

}  // namespace corvane
