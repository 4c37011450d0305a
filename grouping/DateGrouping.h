// The date strategies: copies of a folder's visible files gathered into year folders, then the files
// of every visible plain subfolder moved into day or month folders inside it.
#pragma once

#include <string_view>

#include "platform/files/FileAttributes.h"
#include "platform/files/Files.h"

namespace corvane {

/// The values of ignoreDays: day folders ("Feb 03, 2001") or month folders ("Feb 2001") in each year.
constexpr signed char kDayFolders = 0;
constexpr signed char kMonthFolders = 1;
/// The copy flag of the year pass when files are copied into their years, as every date command does.
constexpr signed char kCopyIntoYears = 1;

/// The year pass over folder, making year folders in destination, then one pass over every visible
/// plain subfolder of destination (one level, moving) into day folders, or month folders when
/// ignoreDays is set. copy is the year pass's copy flag. Nothing happens without both folders.
void aggregate_files_by_date(const FSRef* folder, const FSRef* destination, std::string_view dateAttributeKey,
                             signed char ignoreDays, signed char copy);

/// One pass over the visible files of folder: each file that has the date goes into the key folder
/// of its date ("%Y" with yearOnly, else "%b %Y" with ignoreDays, else "%b %d, %Y") made in
/// destination, or in folder when destination is null. Failures are logged and skipped.
void _aggregate_files_by_date(const FSRef* folder, const FSRef* destination, std::string_view dateAttributeKey,
                              signed char yearOnly, signed char ignoreDays, signed char copy);

}  // namespace corvane
