// The Finder information of an item as the original platform keeps it on disk: the extended attribute
// user.com.apple.FinderInfo, 32 bytes of big-endian fields.
#pragma once

#include <cstdint>

#include "platform/files/Files.h"

namespace corvane {

/// The name of the extended attribute that holds the 32 bytes.
constexpr const char* kFinderInfoXattrName = "user.com.apple.FinderInfo";

/// The Finder information of the entry `name` of the open folder `folder`, read from the entry itself
/// (a link's own attribute, never its target's); all zero when the attribute is absent, unreadable
/// or malformed.
void ReadFinderInfo(int folder, const char* name, FinderInfo& finderInfo, ExtendedFinderInfo& extended);

}  // namespace corvane
