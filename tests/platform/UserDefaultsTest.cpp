#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/ScopedEnvironment.h"

namespace {

constexpr std::time_t kMarch5th2007Noon = 1173096000;       // 2007-03-05 12:00 UTC
constexpr std::time_t kDecember31st2007Late = 1199143800;   // 2007-12-31 23:30 UTC
constexpr std::time_t kDecember15th2007Noon = 1197720000;  // 2007-12-15 12:00 UTC

bool LocaleInstalled(const char* name) {
    const locale_t locale = newlocale(LC_TIME_MASK, name, static_cast<locale_t>(nullptr));
    return locale != static_cast<locale_t>(nullptr) && (freelocale(locale), true);
}

TEST(UserDefaultsTake, LocaleNameComesFromTheFirstVariableSetAndIsKept) {
    if (!LocaleInstalled("de_DE.UTF-8")) {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/setup generates it)";
    }
    const std::tuple<const char*, const char*, const char*, std::string> rows[] = {
        {"de_DE.UTF-8", "C", "C", "de_DE.UTF-8"},      // LC_ALL, LC_TIME, LANG: LC_ALL first
        {"", "de_DE.UTF-8", "C", "de_DE.UTF-8"},       // an empty LC_ALL does not count
        {nullptr, nullptr, "de_DE.UTF-8", "de_DE.UTF-8"},  // nullptr: not set
        {nullptr, nullptr, nullptr, "C"},
        {"xx_YY.UTF-8", "de_DE.UTF-8", nullptr, "C"},  // not installed: C, not the next variable
    };
    for (const auto& [all, time, lang, expected] : rows) {
        ScopedEnvironment environment;
        for (const auto& [name, value] : {std::pair{"LC_ALL", all}, {"LC_TIME", time}, {"LANG", lang}}) {
            environment.set(name, value != nullptr ? value : "");
            if (value != nullptr && *value == '\0') {
                setenv(name, "", 1);
            }
        }
        EXPECT_EQ(UserDefaultsDictionary::Take().localeName(), expected) << (all ? all : "-") << (time ? time : "-");
    }
    ScopedEnvironment environment;
    environment.set("LC_ALL", "C");
    TakeUserDefaultsSnapshot();
    ASSERT_TRUE(gUserDefaultsDictionary);
    environment.set("LC_ALL", "de_DE.UTF-8");
    EXPECT_EQ(gUserDefaultsDictionary->localeName(), "C") << "later changes do not reach the snapshot";
    gUserDefaultsDictionary.reset();
}

TEST(FormatLocalDate, InTheLocalTimeZoneWithTheUsersMonthNames) {
    const std::tuple<const char*, const char*, std::time_t, const char*, const char*> rows[] = {
        {"UTC", "C", kMarch5th2007Noon, "%b %d, %Y", "Mar 05, 2007"},
        {"UTC", "C", kDecember31st2007Late, "%Y %b %d", "2007 Dec 31"},
        {"JST-9", "C", kDecember31st2007Late, "%Y %b %d", "2008 Jan 01"},  // already the new year nine hours east
        {"Asia/Tokyo", "C", kDecember31st2007Late, "%Y %b %d", "2008 Jan 01"},
        {"UTC", "C", kMarch5th2007Noon, "100%% %b", "100% Mar"},
        {"UTC", "xx_YY.UTF-8", kMarch5th2007Noon, "%b %Y", "Mar 2007"},  // not installed: the C locale's names
        {"UTC", "de_DE.UTF-8", kMarch5th2007Noon, "%b %d, %Y", "Mär 05, 2007"},
        {"UTC", "de_DE.UTF-8", kDecember15th2007Noon, "%b %Y", "Dez 2007"},
        {"UTC", "ja_JP.UTF-8", kMarch5th2007Noon, "%b %Y", "3月 2007"},  // its month names carry a leading blank
    };
    std::string missing;
    for (const auto& [zone, locale, date, format, expected] : rows) {
        ScopedEnvironment environment;
        environment.set("TZ", zone);
        environment.set("LC_ALL", locale);
        tzset();
        std::tm probe{};
        if ((*locale != 'x' && !LocaleInstalled(locale)) ||
            (std::string(zone) == "Asia/Tokyo" && localtime_r(&date, &probe)->tm_gmtoff != 9 * 3600)) {
            missing = missing + " " + zone + " " + locale;
            continue;
        }
        const UserDefaultsDictionary defaults = UserDefaultsDictionary::Take();
        EXPECT_EQ(FormatLocalDate(date, format, *locale == 'C' ? nullptr : &defaults), expected) << zone << locale;
    }
    if (!missing.empty()) {
        GTEST_SKIP() << "no time zone data or locale (scripts/setup generates them) for" << missing;
    }
}

}  // namespace
