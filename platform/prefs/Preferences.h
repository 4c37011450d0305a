// The user's preference domains: a property list per domain under $XDG_CONFIG_HOME/corvane, read with
// its types kept, re-read when another process changed it, written atomically.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace corvane {

/// A value whose type is none of the scalar ones (array, dictionary, data, date); its text is a
/// readable description for the defaults command.
struct PreferenceOther {
    std::string description;
    bool operator==(const PreferenceOther&) const = default;
};

using PreferenceValue = std::variant<bool, std::int64_t, double, std::string, PreferenceOther>;

/// The domain of this application.
inline constexpr const char* kCorvanePreferenceDomain = "com.fernwick.Corvane";

/// The file that holds a domain: $XDG_CONFIG_HOME (else ~/.config) /corvane/<domain>.plist.
std::string PreferencesFilePath(const std::string& domain);

/// Re-reads the domain's file when it changed since the last read. False, with problem (when given)
/// saying why, when that reading finds a file that cannot be used as a property list dictionary: a
/// FIFO, a device, a file over the size or nesting limit, anything that is not such a list. The
/// domain then reads as empty, and the same file is not read (nor reported) again until it changes.
bool CFPreferencesAppSynchronize(const std::string& domain, std::string* problem = nullptr);

/// The value stored under key, as last synchronized (synchronizing first if never read); none when
/// absent.
std::optional<PreferenceValue> CFPreferencesCopyAppValue(const std::string& key, const std::string& domain);

/// Every key of the domain with its value, in key order.
std::vector<std::pair<std::string, PreferenceValue>> CFPreferencesCopyAppValues(const std::string& domain);

/// Stores value under key (none removes it) and writes the domain's file atomically, keeping every
/// other key as it was. Returns false with errorText set when the file cannot be written.
bool CFPreferencesSetAppValue(const std::string& key, const std::optional<PreferenceValue>& value,
                              const std::string& domain, std::string* errorText);

/// The value as the defaults command shows it: 1/0 for booleans, numbers and strings as they are.
std::string DescribePreferenceValue(const PreferenceValue& value);

}  // namespace corvane
