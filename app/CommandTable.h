// The seven command strings, the grouping mode each selects and the strategy each mode runs: one table.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/Files.h"

namespace corvane {

/// The grouping modes, numbered as the commands have always been numbered.
enum class GroupingMode : int {
    byExtension = 1,
    byFileType = 2,
    byMimeType = 3,
    byModificationDate = 4,
    byCreationDate = 5,
    byModificationDateIgnoringDays = 6,
    byCreationDateIgnoringDays = 7,
};

/// The grouping mode of the command being run; byExtension at process start, never reset between commands.
extern GroupingMode gCorvaneType;

/// The mode of a command string, matched exactly (letter case counts); none for any other string.
std::optional<GroupingMode> GroupingModeForCommand(std::string_view command);

/// The seven command strings in the order the menus and the usage offer them.
const std::vector<std::string>& CommandStrings();

/// Runs the strategy of mode on folder.
void RunGroupingStrategy(GroupingMode mode, const FSRef* folder);

}  // namespace corvane
