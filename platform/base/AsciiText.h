// Text rules that are ASCII by definition: the case folding of file formats and names that fold A-Z
// only, and blanks around a field.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

/// text with A-Z lowered and every other byte as it is.
std::string AsciiLowercase(std::string_view text);

/// text without the leading and trailing bytes found in blanks.
std::string_view TrimmedOf(std::string_view text, std::string_view blanks);

}  // namespace corvane
