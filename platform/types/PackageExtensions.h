// Which folder name extensions make a folder a package, from the list shipped beside the program.
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "platform/base/MacErrors.h"

namespace corvane {

/// The extensions of a list text: one a line, '#' starts a comment, blanks around an entry and a
/// leading '.' are dropped, letters are lowered.
std::set<std::string, std::less<>> ParsePackageExtensions(std::string_view text);

/// The list text used when the data file cannot be found: the shipped list, built in.
std::string_view BuiltInPackageExtensions();

/// Reads the list from the data file "package-extensions" in place of the one in use. fnfErr when no
/// such file is found, another status with its path and why (a phrase that follows its name) when it
/// is there but cannot be read; in both cases the list built in is used.
OSErr LoadPackageExtensions(std::string* path, std::string* why);

/// Whether a folder with this extension (any letter case) is a package, by the list loaded last; the
/// list is loaded on first use when it has not been yet.
bool IsPackageExtension(std::string_view extension);

}  // namespace corvane
