// File-system paths of file URLs in the original platform's two styles: POSIX, and HFS (a volume
// name, then the components joined by ':'), which is how the Finder is told which item is meant.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/files/CFURL.h"

namespace corvane {

enum CFURLPathStyle { kCFURLPOSIXPathStyle = 0, kCFURLHFSPathStyle = 1 };

/// The one volume of HFS paths: "/" is the volume of this name and every path lies on it, so an
/// HFS path always leads back to the exact POSIX path it came from, whatever that path holds.
inline constexpr char16_t kHFSRootVolumeName[] = u"Root";

/// The URL's path as text of that style. HFS: the volume name, then each component with its ':'
/// written as '/', joined by ':', no trailing ':' ("/" is "Root", "/a:b/c" is "Root:a/b:c"). None
/// when the path is not absolute, not valid UTF-8, or has an empty component or a NUL.
std::optional<std::u16string> CFURLCopyFileSystemPath(const CFURL& url, CFURLPathStyle pathStyle);

/// The file URL of a path of that style, the inverse of CFURLCopyFileSystemPath; the URL is a
/// directory URL when isDirectory is set or an HFS path ends in ':'. None for a path that
/// CFURLCopyFileSystemPath does not give: relative, on another volume, with an empty component
/// (HFS "::", the parent), a NUL or an unpaired surrogate.
std::optional<CFURL> CFURLCreateWithFileSystemPath(std::u16string_view filePath, CFURLPathStyle pathStyle,
                                                   bool isDirectory);

}  // namespace corvane
