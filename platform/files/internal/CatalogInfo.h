// Catalog information of an object found on disk, shared by the single and the bulk queries.
// For the File Manager sources only.
#pragma once

#include <cstdint>

#include "platform/files/FSRefResolve.h"
#include "platform/files/Files.h"

namespace corvane {

/// The fields asked for in whichInfo of the resolved object; the others zero.
FSCatalogInfo CatalogInfoFor(const ResolvedRef& item, FSCatalogInfoBitmap whichInfo);

/// The catalog name of the entry recorded at slot (empty for the root folder "/"). bdNamErr when
/// its POSIX name is not valid UTF-8 or longer than 255 units; name is then untouched.
OSErr CatalogNameOf(std::uint32_t slot, HFSUniStr255& name);

}  // namespace corvane
