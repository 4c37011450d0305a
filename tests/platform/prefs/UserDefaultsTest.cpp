// The user's locale as the environment names it, and dates in the local time zone with its month names.
#include "platform/prefs/UserDefaults.h"

#include <gtest/gtest.h>

#include "support/ScopedEnvironment.h"

using namespace corvane;

namespace {

constexpr std::time_t kMarch5th2007Noon = 1173096000;      // 2007-03-05 12:00 UTC
constexpr std::time_t kDecember31st2007Late = 1199143800;  // 2007-12-31 23:30 UTC

bool LocaleInstalled(const char* name) {
    const locale_t locale = newlocale(LC_TIME_MASK, name, static_cast<locale_t>(nullptr));
    return locale != static_cast<locale_t>(nullptr) && (freelocale(locale), true);
}

TEST(UserDefaultsTake, LocaleNameComesFromTheFirstVariableSetAndIsKept) {
    if (!LocaleInstalled("de_DE.UTF-8")) {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/setup generates it)";
    }
    const std::tuple<const char*, const char*, const char*, std::string> rows[] = {
        {"de_DE.UTF-8", "C", "C", "de_DE.UTF-8"}, {"", "", "de_DE.UTF-8", "de_DE.UTF-8"},  // LC_ALL, LC_TIME, LANG
        {"", "", "", "C"}, {"xx_YY.UTF-8", "de_DE.UTF-8", "", "C"},  // not installed: C, not the next variable
    };
    ScopedEnvironment environment;
    for (const auto& [all, time, lang, expected] : rows) {
        environment.set("LC_ALL", all);
        environment.set("LC_TIME", time);
        environment.set("LANG", lang);
        EXPECT_EQ(UserDefaultsDictionary::Take().localeName(), expected) << all << "|" << time << "|" << lang;
    }
    TakeUserDefaultsSnapshot();
    environment.set("LC_ALL", "de_DE.UTF-8");
    EXPECT_EQ(gUserDefaultsDictionary->localeName(), "C") << "later changes do not reach the snapshot";
    gUserDefaultsDictionary.reset();
}

TEST(FormatLocalDate, InTheLocalTimeZoneWithTheUsersMonthNames) {
    const std::tuple<const char*, const char*, std::time_t, const char*, const char*> rows[] = {
        {"UTC", "C", kDecember31st2007Late, "%Y %b %d", "2007 Dec 31"},
        {"Asia/Tokyo", "C", kDecember31st2007Late, "%Y %b %d", "2008 Jan 01"},
        {"UTC", "de_DE.UTF-8", kMarch5th2007Noon, "%b %d, %Y", "Mär 05, 2007"},
        {"UTC", "ja_JP.UTF-8", kMarch5th2007Noon, "%b %Y", "3月 2007"},  // its month names carry a leading blank
    };
    std::string missing;
    for (const auto& [zone, locale, date, format, expected] : rows) {
        ScopedEnvironment environment;
        environment.set("TZ", zone);
        environment.set("LC_ALL", locale);
        tzset();
        std::tm local{};
        if (!LocaleInstalled(locale) || localtime_r(&date, &local)->tm_gmtoff != (*zone == 'A' ? 9 * 3600 : 0)) {
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
