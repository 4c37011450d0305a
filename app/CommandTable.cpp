#include "app/CommandTable.h"

#include <array>
#include <utility>

std::int32_t gCorvaneType = 1;

namespace {

// The modes do not follow the order of the strings: the dispatch table relies on exactly these numbers.
constexpr std::array<std::pair<std::string_view, std::int32_t>, 7> kCommands{{
    {"Aggregate Files by Extension", 1},
    {"Aggregate Files by File Type", 2},
    {"Aggregate Files by Mime Type", 3},
    {"Aggregate Files by Modification Date", 4},
    {"Aggregate Files by Creation Date", 5},
    {"Aggregate Files by Modification Date Ignoring Days", 6},
    {"Aggregate Files by Creation Date Ignoring Days", 7},
}};

}  // namespace

const std::vector<std::string>& CommandStrings() {
    static const std::vector<std::string> strings = [] {
        std::vector<std::string> texts;
        for (const auto& command : kCommands) {
            texts.emplace_back(command.first);
        }
        return texts;
    }();
    return strings;
}

std::optional<std::int32_t> GroupingModeForCommand(std::string_view command) {
    for (const auto& [text, mode] : kCommands) {
        if (text == command) {
            return mode;
        }
    }
    return std::nullopt;
}
