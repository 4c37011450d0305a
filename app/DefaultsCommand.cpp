#include "app/DefaultsCommand.h"

#include <charconv>
#include <optional>

#include "app/UserPreferences.h"
#include "platform/prefs/Preferences.h"

namespace corvane {

namespace {

constexpr int kUsageError = 2;

std::string MissingPair(const std::string& key) {
    return std::string("The domain/default pair of (") + kCorvanePreferenceDomain + ", " + key + ") does not exist\n";
}

std::optional<PreferenceValue> ParseTypedValue(const std::string& type, const std::string& text) {
    if (type == "-bool" || type == "-boolean") {
        if (text == "true" || text == "yes" || text == "YES" || text == "1") {
            return true;
        }
        if (text == "false" || text == "no" || text == "NO" || text == "0") {
            return false;
        }
        return std::nullopt;
    }
    if (type == "-int" || type == "-integer") {
        std::int64_t number = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
            return std::nullopt;
        }
        return number;
    }
    if (type == "-string") {
        return text;
    }
    return std::nullopt;
}

}  // namespace

int DefaultsRead(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.size() > 1) {
        err << "usage: corvane defaults read [KEY]\n";
        return kUsageError;
    }
    SynchronizeUserPreferences();
    if (arguments.size() == 1) {
        const std::optional<PreferenceValue> value = CFPreferencesCopyAppValue(arguments[0], kCorvanePreferenceDomain);
        if (!value) {
            err << MissingPair(arguments[0]);
            return 1;
        }
        out << DescribePreferenceValue(*value) << '\n';
        return 0;
    }
    out << "{\n";
    for (const auto& [key, value] : CFPreferencesCopyAppValues(kCorvanePreferenceDomain)) {
        out << "    " << key << " = " << DescribePreferenceValue(value) << ";\n";
    }
    out << "}\n";
    return 0;
}

int DefaultsWrite(const std::vector<std::string>& arguments, std::ostream& err) {
    const std::optional<PreferenceValue> value =
        arguments.size() == 3 ? ParseTypedValue(arguments[1], arguments[2]) : std::nullopt;
    if (!value || arguments[0].empty()) {
        err << "usage: corvane defaults write KEY -bool true|false\n"
               "       corvane defaults write KEY -int NUMBER\n"
               "       corvane defaults write KEY -string TEXT\n";
        return kUsageError;
    }
    std::string problem;
    if (!CFPreferencesSetAppValue(arguments[0], value, kCorvanePreferenceDomain, &problem)) {
        err << "corvane defaults: " << problem << '\n';
        return 1;
    }
    return 0;
}

int DefaultsDelete(const std::vector<std::string>& arguments, std::ostream& err) {
    if (arguments.size() != 1) {
        err << "usage: corvane defaults delete KEY\n";
        return kUsageError;
    }
    SynchronizeUserPreferences();
    if (!CFPreferencesCopyAppValue(arguments[0], kCorvanePreferenceDomain)) {
        err << MissingPair(arguments[0]);
        return 1;
    }
    std::string problem;
    if (!CFPreferencesSetAppValue(arguments[0], std::nullopt, kCorvanePreferenceDomain, &problem)) {
        err << "corvane defaults: " << problem << '\n';
        return 1;
    }
    return 0;
}

}  // namespace corvane
