// Launch Services' item flags: whether an item is a plain file, a container (a folder or a volume)
// and, for a folder, a package shown to the user as a single item.
#pragma once

#include <cstdint>

#include "platform/files/Files.h"

namespace corvane {

using LSRequestedInfo = std::uint32_t;
constexpr LSRequestedInfo kLSRequestAllFlags = 0x10;

using LSItemInfoFlags = std::uint32_t;
constexpr LSItemInfoFlags kLSItemInfoIsPlainFile = 0x1;
constexpr LSItemInfoFlags kLSItemInfoIsPackage = 0x2;
constexpr LSItemInfoFlags kLSItemInfoIsContainer = 0x8;
constexpr LSItemInfoFlags kLSItemInfoIsSymlink = 0x20;

struct LSItemInfoRecord {
    LSItemInfoFlags flags;
};

/// The item's flags when whichInfo asks for kLSRequestAllFlags (else flags 0): a directory is a
/// container, and a package too when its Finder flags carry kHasBundle or its extension is a
/// package extension; a link, even to a folder, is a link and no container; a regular file is a
/// plain file. paramErr without info; fnfErr for an invalid reference, info then untouched.
OSErr LSCopyItemInfoForRef(const FSRef* ref, LSRequestedInfo whichInfo, LSItemInfoRecord* info);

}  // namespace corvane
