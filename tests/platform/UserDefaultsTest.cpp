#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/ScopedEnvironment.h"

namespace {

bool LocaleInstalled(const char* name) {
    const locale_t locale = newlocale(LC_TIME_MASK, name, static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) {
        return false;
    }
    freelocale(locale);
    return true;
}

// The defaults of a given locale, the environment put back at once.
UserDefaultsDictionary DefaultsFor(const char* localeName) {
    ScopedEnvironment environment;
    environment.set("LC_ALL", localeName);
    return UserDefaultsDictionary::Take();
}

constexpr std::time_t kMarch5th2007Noon = 1173096000;       // 2007-03-05 12:00 UTC
constexpr std::time_t kDecember31st2007Late = 1199143800;   // 2007-12-31 23:30 UTC
constexpr std::time_t kDecember15th2007Noon = 1197720000;  // 2007-12-15 12:00 UTC

TEST(UserDefaultsTake, LocaleNameComesFromTheFirstVariableSet) {
    if (!LocaleInstalled("de_DE.UTF-8")) {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/setup generates it)";
    }
    const struct {
        const char* all;  // nullptr: not set
        const char* time;
        const char* lang;
        std::string expected;
    } rows[] = {
        {"de_DE.UTF-8", "C", "C", "de_DE.UTF-8"},         // LC_ALL first
        {"", "de_DE.UTF-8", "C", "de_DE.UTF-8"},          // an empty LC_ALL does not count
        {nullptr, nullptr, "de_DE.UTF-8", "de_DE.UTF-8"},
        {nullptr, nullptr, nullptr, "C"},                 // nothing set
        {"xx_YY.UTF-8", "de_DE.UTF-8", nullptr, "C"},     // not installed: the C locale, not the next one
    };
    for (const auto& row : rows) {
        ScopedEnvironment environment;
        for (const auto& [name, value] : {std::pair{"LC_ALL", row.all}, {"LC_TIME", row.time}, {"LANG", row.lang}}) {
            environment.set(name, value != nullptr ? value : "");
            if (value != nullptr && *value == '\0') {
                setenv(name, "", 1);  // set, but empty
            }
        }
        const UserDefaultsDictionary defaults = UserDefaultsDictionary::Take();
        EXPECT_EQ(defaults.localeName(), row.expected) << (row.all ? row.all : "-") << " " << (row.time ? row.time : "-");
        EXPECT_NE(defaults.timeLocale(), static_cast<locale_t>(nullptr));
    }
}

TEST(UserDefaultsTake, SnapshotIsNotTouchedByLaterChanges) {
    ScopedEnvironment environment;
    environment.set("LC_ALL", "C");
    TakeUserDefaultsSnapshot();
    ASSERT_TRUE(gUserDefaultsDictionary);
    {
        environment.set("LC_ALL", "de_DE.UTF-8");
        EXPECT_EQ(gUserDefaultsDictionary->localeName(), "C");
    }
    gUserDefaultsDictionary.reset();
}

TEST(FormatLocalDate, FormatsInTheLocalTimeZone) {
    const struct {
        const char* zone;
        std::time_t date;
        const char* format;
        const char* expected;
    } rows[] = {
        {"UTC", kMarch5th2007Noon, "%b %d, %Y", "Mar 05, 2007"},
        {"UTC", kMarch5th2007Noon, "%b %Y", "Mar 2007"},
        {"UTC", kDecember31st2007Late, "%Y", "2007"},
        {"UTC", kDecember31st2007Late, "%b %d, %Y", "Dec 31, 2007"},
        {"JST-9", kDecember31st2007Late, "%Y", "2008"},  // already the new year nine hours east
        {"JST-9", kDecember31st2007Late, "%b %d, %Y", "Jan 01, 2008"},
        {"UTC", kMarch5th2007Noon, "100%% %b", "100% Mar"},
    };
    for (const auto& row : rows) {
        ScopedEnvironment environment;
        environment.set("TZ", row.zone);
        EXPECT_EQ(FormatLocalDate(row.date, row.format, nullptr), row.expected) << row.zone << " " << row.format;
    }
}

TEST(FormatLocalDate, NamedZoneFromTheTimeZoneDatabase) {
    ScopedEnvironment environment;
    environment.set("TZ", "Asia/Tokyo");
    tzset();
    std::tm probe{};
    localtime_r(&kDecember31st2007Late, &probe);
    if (probe.tm_gmtoff != 9 * 3600) {
        GTEST_SKIP() << "no time zone data for Asia/Tokyo on this machine";
    }
    EXPECT_EQ(FormatLocalDate(kDecember31st2007Late, "%Y", nullptr), "2008");
}

TEST(FormatLocalDate, MonthNamesOfTheUsersLocale) {
    ScopedEnvironment environment;
    environment.set("TZ", "UTC");
    const UserDefaultsDictionary c = DefaultsFor("C");
    EXPECT_EQ(FormatLocalDate(kMarch5th2007Noon, "%b %d, %Y", &c), "Mar 05, 2007");
    EXPECT_EQ(FormatLocalDate(kMarch5th2007Noon, "%b %Y", &c), "Mar 2007");

    const UserDefaultsDictionary missing = DefaultsFor("xx_YY.UTF-8");
    EXPECT_EQ(FormatLocalDate(kMarch5th2007Noon, "%b %Y", &missing), "Mar 2007") << "C names when not installed";

    if (!LocaleInstalled("de_DE.UTF-8")) {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/setup generates it)";
    }
    const UserDefaultsDictionary german = DefaultsFor("de_DE.UTF-8");
    EXPECT_EQ(FormatLocalDate(kMarch5th2007Noon, "%b %d, %Y", &german), "Mär 05, 2007");
    EXPECT_EQ(FormatLocalDate(kDecember15th2007Noon, "%b %Y", &german), "Dez 2007");
}

TEST(FormatLocalDate, PaddedMonthNamesAreTrimmed) {
    if (!LocaleInstalled("ja_JP.UTF-8")) {
        GTEST_SKIP() << "ja_JP.UTF-8, whose month names carry a leading blank, is not installed";
    }
    ScopedEnvironment environment;
    environment.set("TZ", "UTC");
    const UserDefaultsDictionary japanese = DefaultsFor("ja_JP.UTF-8");
    const std::optional<std::string> text = FormatLocalDate(kMarch5th2007Noon, "%b %Y", &japanese);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "3月 2007");
}

}  // namespace
