// Finds the data files that ship with the program (default extension mapping, package extensions)
// wherever it is installed or built.
#pragma once

#include <optional>
#include <string>

namespace corvane {

/// The path of a shipped data file: $CORVANE_DATA_DIR when set, else the share/corvane folder beside
/// the installed program, else the source tree's packaging/ folder for a program run from its
/// build folder. None when the file is in none of them.
std::optional<std::string> FindDataFile(const std::string& name);

}  // namespace corvane
