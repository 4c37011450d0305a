// The Finder information of an item as the original platform keeps it on disk: the extended attribute
// user.com.apple.FinderInfo, 32 bytes of big-endian fields.
#pragma once

#include <cstdint>

#include "platform/Files.h"

/// The name of the extended attribute that holds the 32 bytes.
constexpr const char* kFinderInfoXattrName = "user.com.apple.FinderInfo";

/// The item's Finder information, read from the item itself (a link's own attribute, never its
/// target's); all zero when the attribute is absent, unreadable or malformed.
void ReadFinderInfo(const char* path, FinderInfo& finderInfo, ExtendedFinderInfo& extended);
