#include "app/CommandTable.h"

#include <array>

#include "grouping/DateGrouping.h"
#include "grouping/KeyGrouping.h"

namespace corvane {

GroupingMode gCorvaneType = GroupingMode::byExtension;

namespace {

// A key command names its strategy; a date command names the date its files are grouped by and whether
// the folders inside each year are days or months.
struct Command {
    std::string_view text;
    GroupingMode mode;
    void (*keyStrategy)(const FSRef* folder);
    std::string_view dateKey;
    signed char ignoreDays;
};

constexpr std::array<Command, 7> kCommands{{
    {"Aggregate Files by Extension", GroupingMode::byExtension, aggregate_files_by_extension, {}, kDayFolders},
    {"Aggregate Files by File Type", GroupingMode::byFileType, aggregate_files_by_file_type, {}, kDayFolders},
    {"Aggregate Files by Mime Type", GroupingMode::byMimeType, aggregate_files_by_mime_type, {}, kDayFolders},
    {"Aggregate Files by Modification Date", GroupingMode::byModificationDate, nullptr, NSFileModificationDate,
     kDayFolders},
    {"Aggregate Files by Creation Date", GroupingMode::byCreationDate, nullptr, NSFileCreationDate, kDayFolders},
    {"Aggregate Files by Modification Date Ignoring Days", GroupingMode::byModificationDateIgnoringDays, nullptr,
     NSFileModificationDate, kMonthFolders},
    {"Aggregate Files by Creation Date Ignoring Days", GroupingMode::byCreationDateIgnoringDays, nullptr,
     NSFileCreationDate, kMonthFolders},
}};

}  // namespace

const std::vector<std::string>& CommandStrings() {
    static const std::vector<std::string> strings = [] {
        std::vector<std::string> texts;
        for (const Command& command : kCommands) {
            texts.emplace_back(command.text);
        }
        return texts;
    }();
    return strings;
}

std::optional<GroupingMode> GroupingModeForCommand(std::string_view command) {
    for (const Command& entry : kCommands) {
        if (entry.text == command) {
            return entry.mode;
        }
    }
    return std::nullopt;
}

void RunGroupingStrategy(GroupingMode mode, const FSRef* folder) {
    for (const Command& entry : kCommands) {
        if (entry.mode != mode) {
            continue;
        }
        if (entry.keyStrategy != nullptr) {
            entry.keyStrategy(folder);
        } else {
            aggregate_files_by_date(folder, folder, entry.dateKey, entry.ignoreDays, kCopyIntoYears);
        }
        return;
    }
}

}  // namespace corvane
