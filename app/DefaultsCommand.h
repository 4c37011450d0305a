// `corvane defaults`: reads and writes the preference domain, typed as the defaults tool does it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace corvane {

/// Exit status for `defaults read [KEY]`: 0, or 1 when the key does not exist.
int DefaultsRead(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

/// Exit status for `defaults write KEY -bool|-int|-string VALUE`: 0, 1 when the file cannot be
/// written, 2 for a usage error.
int DefaultsWrite(const std::vector<std::string>& arguments, std::ostream& err);

/// Exit status for `defaults delete KEY`: 0, 1 when the key does not exist or the file cannot be written.
int DefaultsDelete(const std::vector<std::string>& arguments, std::ostream& err);

}  // namespace corvane
