// The dates of an item as the file manager's attribute dictionary gave them, read through
// symbolic links.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/base/MacErrors.h"

namespace corvane {

/// Keys of the dates: the last change of the item's data, and its birth.
inline constexpr std::string_view NSFileModificationDate = "NSFileModificationDate";
inline constexpr std::string_view NSFileCreationDate = "NSFileCreationDate";

/// The dates of one item, in seconds since 1970 UTC; a date the file system does not keep is none.
struct FileAttributes {
    std::optional<std::time_t> modificationDate;
    std::optional<std::time_t> creationDate;
};

/// For folders that stand in for real ones (a dry run's view of them): the birth time to give each of
/// their objects (device, inode) instead of its own, which no copy can carry; none for an object whose
/// original has none. An empty table ends the standing in.
using BirthTimeStandIns = std::map<std::pair<std::uint64_t, std::uint64_t>, std::optional<std::time_t>>;
void SetBirthTimeStandIns(BirthTimeStandIns standIns);

/// The dates of the item at path, or of the item a symbolic link there leads to. On failure (fnfErr
/// for a missing item or a link to nothing) attributes is left as it was.
OSErr FileAttributesAtPath(const std::string& path, FileAttributes* attributes);

/// The date under key (NSFileModificationDate or NSFileCreationDate); none for another key or a
/// date the attributes lack.
std::optional<std::time_t> FileAttributeDate(const FileAttributes& attributes, std::string_view key);

}  // namespace corvane
