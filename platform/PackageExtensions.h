// Which folder name extensions make a folder a package, from the list shipped beside the program.
#pragma once

#include <set>
#include <string>
#include <string_view>

/// The extensions of a list text: one a line, '#' starts a comment, blanks around an entry and a
/// leading '.' are dropped, letters are lowered.
std::set<std::string, std::less<>> ParsePackageExtensions(std::string_view text);

/// The list text used when the data file cannot be found: the shipped list, built in.
std::string_view BuiltInPackageExtensions();

/// Whether a folder with this extension (any letter case) is a package. The list is read once per
/// process from the data file "package-extensions"; without it the same list built in is used.
bool IsPackageExtension(std::string_view extension);
