// Internet Config's extension mapping on this platform: a property list of mapping entries, the
// user's own file or the default shipped with the program.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/base/MacErrors.h"

namespace corvane {

/// One mapping entry. A four-character code is written in the property list as a string of up to
/// four bytes, first byte most significant, missing bytes zero ("PDF " keeps its space).
struct ICMapEntry {
    OSType fileType = 0;
    OSType fileCreator = 0;
    std::string extension;  ///< as stored, usually with its leading "."
    std::string MIMEType;
    std::string entryName;
};

/// What kept a mapping file from being read at all.
enum class ICMappingFault {
    none,
    missing,          ///< no file at the path, or a link to nothing
    unreadable,       ///< it exists but cannot be read: not a regular file, over the size limit, ...
    notPropertyList,  ///< its bytes are no XML or binary property list within the nesting limits
    notEntryArray,    ///< a property list whose root is not an array
};

/// The mapping database read from one file: its entries in file order, none for an entry that is not
/// a dictionary of the expected fields. A fault leaves it without entries.
struct ICMappingDatabase {
    std::string path;
    ICMappingFault fault = ICMappingFault::none;
    std::string problem;  ///< for a file unreadable or no property list: why, as a phrase after its name
    std::vector<std::optional<ICMapEntry>> entries;
};

/// The mapping file in force: $XDG_CONFIG_HOME (else ~/.config) /corvane/extension-mapping.plist
/// when anything is there, else the default shipped with the program; none when neither exists.
std::optional<std::string> ICMappingFilePath();

/// Reads the mapping file at path, XML or binary. Never fails as a whole: the fault and the
/// entries that could not be read tell what was wrong.
ICMappingDatabase ICReadMappingFile(const std::string& path);

/// The number of entries, readable or not.
long ICCountMapEntries(const ICMappingDatabase& database);

/// The entry at index (from 1); none for an index outside 1...count or an entry that could not be read.
std::optional<ICMapEntry> ICGetIndMapEntry(const ICMappingDatabase& database, long index);

}  // namespace corvane
