// The user's defaults as date formatting needs them: the time locale in force at start-up, and
// dates formatted with its month names in the local time zone.
#pragma once

#include <locale.h>

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

/// The user's time locale, taken once. Owns its locale object.
class UserDefaultsDictionary {
public:
    /// The locale named by the first of LC_ALL, LC_TIME and LANG that is set and not empty; the C
    /// locale when none is, or when the named locale is not installed.
    static UserDefaultsDictionary Take();

    UserDefaultsDictionary(UserDefaultsDictionary&& other) noexcept;
    UserDefaultsDictionary& operator=(UserDefaultsDictionary&& other) noexcept;
    UserDefaultsDictionary(const UserDefaultsDictionary&) = delete;
    UserDefaultsDictionary& operator=(const UserDefaultsDictionary&) = delete;
    ~UserDefaultsDictionary();

    /// The name of the locale in use: the one asked for, or "C" when it was not available.
    const std::string& localeName() const { return localeName_; }

    /// The locale object for strftime_l; never null.
    locale_t timeLocale() const { return locale_; }

private:
    UserDefaultsDictionary(std::string localeName, locale_t locale);

    std::string localeName_;
    locale_t locale_;
};

/// The snapshot taken at start-up; none until TakeUserDefaultsSnapshot() has run.
extern std::optional<UserDefaultsDictionary> gUserDefaultsDictionary;

/// Sets gUserDefaultsDictionary to the user's defaults as they are now. Later changes to the
/// environment do not reach it.
void TakeUserDefaultsSnapshot();

/// date broken down in the local time zone (TZ honoured) and formatted as strftime does, with the
/// names of defaults' locale (the C locale's when defaults is null). A month name from "%b" is
/// trimmed of leading and trailing blanks. The result is UTF-8; none when the date cannot be broken
/// down or the text cannot be made UTF-8.
std::optional<std::string> FormatLocalDate(std::time_t date, std::string_view format,
                                           const UserDefaultsDictionary* defaults);

}  // namespace corvane
