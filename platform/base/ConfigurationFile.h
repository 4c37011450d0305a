// The one way configuration and data files are read: without blocking, only regular files, and only
// up to a size and a nesting depth that no real configuration comes near, so nothing a user's
// configuration holds (a FIFO, a link to a device, a huge or endlessly nested file) can hang, crash
// or exhaust the program.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/base/MacErrors.h"

namespace corvane {

/// The largest configuration file read, in bytes: 4 MiB.
inline constexpr off_t kConfigurationFileSizeLimit = 4 * 1024 * 1024;

/// The deepest nesting of elements (XML) or containers (property lists) accepted.
inline constexpr std::size_t kConfigurationNestingLimit = 64;

/// Reads the file at path whole. A symbolic link is followed; what it names must be a regular file of
/// at most kConfigurationFileSizeLimit bytes, and is opened without blocking, so a FIFO or a device
/// is refused before any byte is read. noErr with its bytes; fnfErr when nothing is at path (or a link
/// points nowhere); otherwise the status of the failure, ioErr for a file refused. why (when given)
/// says what was wrong, as a phrase that follows the file's name: "not a regular file but a FIFO".
OSErr ReadConfigurationFile(const std::string& path, std::string& content, std::string* why);

/// Whether the elements of an XML text nest at most limit deep. Comments, processing instructions,
/// CDATA sections, the document type and quoted attribute values are skipped; the text is not
/// otherwise checked, which is left to the parser this protects.
bool XMLNestingWithin(std::string_view xml, std::size_t limit);

}  // namespace corvane
