// The seven command strings and the grouping mode each selects.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// The grouping mode of the command being run, 1 to 7; 1 at process start, never reset between commands.
extern std::int32_t gCorvaneType;

/// The mode of a command string, matched exactly (letter case counts); none for any other string.
std::optional<std::int32_t> GroupingModeForCommand(std::string_view command);

/// The seven command strings in the order the menus and the usage offer them.
const std::vector<std::string>& CommandStrings();
