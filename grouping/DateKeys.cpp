#include "grouping/DateKeys.h"

#include "grouping/KeyFolders.h"
#include "platform/prefs/UserDefaults.h"

namespace corvane {

namespace {

std::optional<std::string> DateKey(const FSRef* item, std::string_view dateAttributeKey, const char* format) {
    const std::optional<std::string> path = stringWithFSRef(item);
    if (!path) {
        return std::nullopt;
    }
    FileAttributes attributes;
    if (FileAttributesAtPath(*path, &attributes) != noErr) {
        return std::nullopt;
    }
    const std::optional<std::time_t> date = FileAttributeDate(attributes, dateAttributeKey);
    if (!date) {
        return std::nullopt;
    }
    return MakeFormattedDateString(&*date, format);
}

}  // namespace

std::optional<std::string> stringWithFSRef(const FSRef* item) {
    if (item == nullptr) {
        return std::nullopt;
    }
    return PathOfRef(item, kDatePathBufferSize);
}

std::optional<std::string> MakeFormattedDateString(const std::time_t* date, const char* format) {
    if (date == nullptr || format == nullptr) {
        return std::nullopt;
    }
    const UserDefaultsDictionary* defaults = gUserDefaultsDictionary ? &*gUserDefaultsDictionary : nullptr;
    return FormatLocalDate(*date, format, defaults);
}

std::optional<std::string> FSGetYear(const FSRef* item, std::string_view dateAttributeKey) {
    return DateKey(item, dateAttributeKey, "%Y");
}

std::optional<std::string> FSGetMonthDayYear(const FSRef* item, std::string_view dateAttributeKey) {
    return DateKey(item, dateAttributeKey, "%b %d, %Y");
}

std::optional<std::string> FSGetMonthYear(const FSRef* item, std::string_view dateAttributeKey) {
    return DateKey(item, dateAttributeKey, "%b %Y");
}

}  // namespace corvane
