// The date keys of the date strategies: an item's modification or creation date as year, month or
// day text in the user's locale and the local time zone.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files/FileAttributes.h"
#include "platform/files/Files.h"

namespace corvane {

/// The size of the buffer that an item's path is made into for reading its dates.
constexpr std::size_t kDatePathBufferSize = 4098;

/// The item's POSIX path, or none when item is null or no path fits the buffer.
std::optional<std::string> stringWithFSRef(const FSRef* item);

/// date formatted with format in the local time zone, with the month names of gUserDefaultsDictionary
/// when it is present (else the C locale's); none when date or format is null or formatting fails.
std::optional<std::string> MakeFormattedDateString(const std::time_t* date, const char* format);

/// The item's date under dateAttributeKey (NSFileModificationDate or NSFileCreationDate), following
/// symbolic links, as "%Y" (2007), "%b %d, %Y" (Mar 05, 2007) or "%b %Y" (Mar 2007). None when the
/// item has no path, no such date, or the text cannot be made.
std::optional<std::string> FSGetYear(const FSRef* item, std::string_view dateAttributeKey);
std::optional<std::string> FSGetMonthDayYear(const FSRef* item, std::string_view dateAttributeKey);
std::optional<std::string> FSGetMonthYear(const FSRef* item, std::string_view dateAttributeKey);

}  // namespace corvane
