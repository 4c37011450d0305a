// Between FSRef values and the objects they name: checking a reference against the disk, and making
// references for objects found at a path. For the File Manager sources only.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Files.h"

/// An object that a valid reference names, as it is now.
struct ResolvedRef {
    std::string path;
    struct stat status;
    std::uint32_t slot;
};

/// noErr and the object while ref is valid; paramErr for a null pointer, fnfErr for a reference that
/// is null, released, or whose path no longer leads to its object.
OSErr ResolveFSRef(const FSRef* ref, ResolvedRef& resolved);

/// The reference for the object with this status recorded at slot.
FSRef MakeFSRef(std::uint32_t slot, const struct stat& status);

/// The reference of the entry `name` inside the resolved folder, the entry itself (a link stays the
/// link); status receives its lstat. Fails with the lstat's status, or memFullErr.
OSErr MakeChildFSRef(const ResolvedRef& folder, std::string_view name, FSRef* ref, struct stat& status);

/// folder's path joined with an entry name.
std::string ChildPath(const std::string& folderPath, std::string_view name);
