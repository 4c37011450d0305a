// The four-character file type of an item as text: from its Finder information, else from the
// extension mapping that is read once at start-up.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>

#include "platform/base/MacTypes.h"
#include "platform/files/Files.h"

namespace corvane {

/// Extension (without its ".", letter case as in the mapping) to type text; made and filled by
/// InitializeExtensionTypeMap, read-only afterwards.
extern std::unordered_map<std::string, std::string> gExtensionTypeMap;

/// The text of a four-character code: its bytes, first byte first, up to the first zero byte, read as
/// UTF-8. Trailing spaces are kept; a zero first byte gives the empty text; invalid UTF-8 gives none.
std::optional<std::string> TypeTextOfCode(OSType code);

/// Empties gExtensionTypeMap and fills it from the extension mapping in force. Entries without a
/// usable type text or extension are left out; when the mapping could not be read whole, one log
/// line names the file and what was wrong, and the map holds what could be read.
void InitializeExtensionTypeMap();

/// The item's Finder file type as text when it has one; else the type that gExtensionTypeMap gives
/// for its lower-cased extension; none when neither gives a type.
std::optional<std::string> FSGetType(const FSRef* item);

}  // namespace corvane
