#include "platform/prefs/UserDefaults.h"

#include <iconv.h>
#include <langinfo.h>
#include <strings.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/base/AsciiText.h"
#include "platform/base/UnicodeText.h"

namespace corvane {

std::optional<UserDefaultsDictionary> gUserDefaultsDictionary;

namespace {

constexpr std::string_view kBlanks = " \t";

// strftime gives 0 both for an error and for an empty text; a marker at the end tells them apart.
constexpr char kEndMarker = '\x01';

std::string RequestedLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        if (const char* value = std::getenv(variable); value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "C";
}

locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

std::optional<std::string> Strftime(const std::string& format, const std::tm& broken, locale_t locale) {
    const std::string marked = format + kEndMarker;
    std::vector<char> buffer(256);
    while (buffer.size() <= 65536) {
        const std::size_t length = strftime_l(buffer.data(), buffer.size(), marked.c_str(), &broken, locale);
        if (length > 0) {
            return std::string(buffer.data(), length - 1);
        }
        buffer.resize(buffer.size() * 4);
    }
    return std::nullopt;
}

// Some locales pad the abbreviated month (Japanese gives " 3月"); a folder name must not begin or end
// with a blank, so each "%b" is put in as its trimmed text before the rest is formatted.
std::optional<std::string> WithTrimmedMonthNames(std::string_view format, const std::tm& broken, locale_t locale) {
    std::string result;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            result.push_back(format[i]);
            continue;
        }
        const char conversion = format[++i];
        if (conversion != 'b' && conversion != 'h') {
            result.push_back('%');
            result.push_back(conversion);
            continue;
        }
        const std::optional<std::string> month = Strftime("%b", broken, locale);
        if (!month) {
            return std::nullopt;
        }
        for (const char c : TrimmedOf(*month, kBlanks)) {
            result.append(c == '%' ? "%%" : std::string(1, c));
        }
    }
    return result;
}

// Locale texts come in the locale's own character set; the callers want UTF-8.
std::optional<std::string> ToUTF8(const std::string& text, locale_t locale) {
    const char* codeset = nl_langinfo_l(CODESET, locale);
    if (codeset == nullptr || strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "utf8") == 0) {
        return text;
    }
    const iconv_t converter = iconv_open("UTF-8", codeset);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string input = text;
    std::string output(text.size() * 4 + 4, '\0');
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    const std::size_t converted = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (converted == static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    output.resize(output.size() - outLeft);
    return output;
}

}  // namespace

UserDefaultsDictionary::UserDefaultsDictionary(std::string localeName, locale_t locale)
    : localeName_(std::move(localeName)), locale_(locale) {}

UserDefaultsDictionary UserDefaultsDictionary::Take() {
    std::string name = RequestedLocaleName();
    // The character set travels with the time names, so both categories come from the same locale.
    locale_t locale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, name.c_str(), static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) {
        name = "C";
        locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    }
    return UserDefaultsDictionary(std::move(name), locale);
}

UserDefaultsDictionary::UserDefaultsDictionary(UserDefaultsDictionary&& other) noexcept
    : localeName_(std::move(other.localeName_)), locale_(std::exchange(other.locale_, static_cast<locale_t>(nullptr))) {}

UserDefaultsDictionary& UserDefaultsDictionary::operator=(UserDefaultsDictionary&& other) noexcept {
    if (this != &other) {
        if (locale_ != static_cast<locale_t>(nullptr)) {
            freelocale(locale_);
        }
        localeName_ = std::move(other.localeName_);
        locale_ = std::exchange(other.locale_, static_cast<locale_t>(nullptr));
    }
    return *this;
}

UserDefaultsDictionary::~UserDefaultsDictionary() {
    if (locale_ != static_cast<locale_t>(nullptr)) {
        freelocale(locale_);
    }
}

void TakeUserDefaultsSnapshot() { gUserDefaultsDictionary = UserDefaultsDictionary::Take(); }

std::optional<std::string> FormatLocalDate(std::time_t date, std::string_view format,
                                           const UserDefaultsDictionary* defaults) {
    const locale_t locale = defaults != nullptr ? defaults->timeLocale() : CLocale();
    if (locale == static_cast<locale_t>(nullptr)) {
        return std::nullopt;
    }
    // localtime_r alone may keep the zone it saw first; tzset makes a changed TZ count.
    tzset();
    std::tm broken{};
    if (localtime_r(&date, &broken) == nullptr) {
        return std::nullopt;
    }
    const std::optional<std::string> expanded = WithTrimmedMonthNames(format, broken, locale);
    if (!expanded) {
        return std::nullopt;
    }
    const std::optional<std::string> text = Strftime(*expanded, broken, locale);
    if (!text) {
        return std::nullopt;
    }
    std::optional<std::string> utf8 = ToUTF8(*text, locale);
    if (!utf8 || !IsValidUTF8(*utf8)) {
        return std::nullopt;
    }
    return utf8;
}

}  // namespace corvane
