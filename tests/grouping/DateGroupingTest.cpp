#include "grouping/DateGrouping.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "platform/AutoreleasePool.h"
#include "platform/UserDefaults.h"
#include "support/LogCapture.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace {

using Names = std::vector<std::string>;

constexpr std::time_t kMarch5th2007Noon = 1173096000;      // 2007-03-05 12:00 UTC
constexpr std::time_t kMarch20th2007Noon = 1174392000;     // 2007-03-20 12:00 UTC
constexpr std::time_t kJanuary10th2006Noon = 1136894400;   // 2006-01-10 12:00 UTC
constexpr std::time_t kDecember31st2007Late = 1199143800;  // 2007-12-31 23:30 UTC
constexpr std::time_t kJune15th2005Noon = 1118836800;      // 2005-06-15 12:00 UTC

void SetModificationDate(const std::string& path, std::time_t date, int flags = 0) {
    const timespec times[2] = {{date, 0}, {date, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, flags), 0) << path;
}

// A folder to tidy in a temporary folder; dates in UTC with the C locale's month names unless a test
// says otherwise.
class DateGroupingTest : public testing::Test {
protected:
    DateGroupingTest() { environment_.set("TZ", "UTC"); }
    ~DateGroupingTest() override { gUserDefaultsDictionary.reset(); }

    void MakeFile(const std::string& name, std::time_t date) {
        WriteFile(folder_ + "/" + name, name);
        SetModificationDate(folder_ + "/" + name, date);
    }

    void Run(std::string_view key, signed char ignoreDays) {
        FSRef folder{};
        ASSERT_EQ(FSPathMakeRef(folder_.c_str(), &folder, nullptr), noErr);
        aggregate_files_by_date(&folder, &folder, key, ignoreDays, 1);
    }

    std::string In(const std::string& relative) const { return folder_ + "/" + relative; }

    TempDir temp_;
    std::string folder_ = temp_ / "folder";
    ScopedEnvironment environment_;
    AutoreleasePool pool_;
    LogCapture log_;
};

TEST_F(DateGroupingTest, YearPassCopiesThenSubfolderPassMovesIntoDays) {
    MakeFile("a.txt", kMarch5th2007Noon);
    MakeFile("b.txt", kMarch20th2007Noon);
    MakeFile("c.txt", kJanuary10th2006Noon);
    MakeFile(".hidden", kMarch5th2007Noon);

    Run(NSFileModificationDate, 0);

    EXPECT_EQ(ListNames(folder_), (Names{".hidden", "2006", "2007", "a.txt", "b.txt", "c.txt"}))
        << "the sources stay; the invisible file is not grouped";
    EXPECT_EQ(ListNames(In("2007")), (Names{"Mar 05, 2007", "Mar 20, 2007"})) << "the copies moved on";
    EXPECT_EQ(ListNames(In("2007/Mar 05, 2007")), Names{"a.txt"});
    EXPECT_EQ(ListNames(In("2007/Mar 20, 2007")), Names{"b.txt"});
    EXPECT_EQ(ListNames(In("2006/Jan 10, 2006")), Names{"c.txt"});
    EXPECT_EQ(ReadFile(In("2007/Mar 05, 2007/a.txt")), "a.txt");
    const std::vector<std::string>& lines = log_.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Moving: " + In("a.txt")), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Moving: " + In("2007/a.txt")), lines.end());
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& line) { return line.starts_with("Moving: "); }),
              6) << "three copies, then three moves";
}

TEST_F(DateGroupingTest, IgnoringDaysGivesMonthFolders) {
    MakeFile("a.txt", kMarch5th2007Noon);
    MakeFile("b.txt", kMarch20th2007Noon);

    Run(NSFileModificationDate, 1);

    EXPECT_EQ(ListNames(In("2007")), Names{"Mar 2007"});
    EXPECT_EQ(ListNames(In("2007/Mar 2007")), (Names{"a.txt", "b.txt"}));
}

TEST_F(DateGroupingTest, ExistingSubfoldersAreRegroupedWithoutAYearLevel) {
    MakeFile("Photos/p.jpg", kJanuary10th2006Noon);
    MakeFile("Photos/Inner/q.jpg", kMarch5th2007Noon);
    MakeFile(".Private/r.jpg", kMarch5th2007Noon);

    Run(NSFileModificationDate, 0);

    EXPECT_EQ(ListNames(folder_), (Names{".Private", "Photos"})) << "no files here, so no year folder";
    EXPECT_EQ(ListNames(In("Photos")), (Names{"Inner", "Jan 10, 2006"})) << "moved, not copied";
    EXPECT_EQ(ListNames(In("Photos/Jan 10, 2006")), Names{"p.jpg"});
    EXPECT_EQ(ListNames(In("Photos/Inner")), Names{"q.jpg"}) << "one level only";
    EXPECT_EQ(ListNames(In(".Private")), Names{"r.jpg"}) << "invisible folders are left alone";
}

TEST_F(DateGroupingTest, LinksAreDatedByTheirTargetsAndDanglingOnesSkipped) {
    WriteFile(temp_ / "outside/target.txt", "t");
    SetModificationDate(temp_ / "outside/target.txt", kJune15th2005Noon);
    std::filesystem::create_directories(folder_);
    std::filesystem::create_symlink(temp_ / "outside/target.txt", In("link.txt"));
    SetModificationDate(In("link.txt"), kMarch5th2007Noon, AT_SYMLINK_NOFOLLOW);
    std::filesystem::create_symlink(temp_ / "nowhere", In("dangling.txt"));

    Run(NSFileModificationDate, 0);

    EXPECT_EQ(ListNames(folder_), (Names{"2005", "dangling.txt", "link.txt"}));
    EXPECT_EQ(ListNames(In("2005/Jun 15, 2005")), Names{"link.txt"});
    EXPECT_TRUE(std::filesystem::is_symlink(In("2005/Jun 15, 2005/link.txt"))) << "the link itself is placed";
}

TEST_F(DateGroupingTest, LastHalfHourOfTheYearInTokyoIsNextYear) {
    environment_.set("TZ", "Asia/Tokyo");
    tzset();
    std::tm probe{};
    localtime_r(&kDecember31st2007Late, &probe);
    if (probe.tm_gmtoff != 9 * 3600) {
        GTEST_SKIP() << "no time zone data for Asia/Tokyo on this machine";
    }
    MakeFile("late.txt", kDecember31st2007Late);

    Run(NSFileModificationDate, 0);

    EXPECT_EQ(ListNames(folder_), (Names{"2008", "late.txt"}));
    EXPECT_EQ(ListNames(In("2008")), Names{"Jan 01, 2008"});
}

TEST_F(DateGroupingTest, MonthNamesFollowTheUsersLocale) {
    const locale_t german = newlocale(LC_TIME_MASK, "de_DE.UTF-8", static_cast<locale_t>(nullptr));
    if (german == static_cast<locale_t>(nullptr)) {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/setup generates it)";
    }
    freelocale(german);
    {
        ScopedEnvironment locale;
        locale.set("LC_ALL", "de_DE.UTF-8");
        TakeUserDefaultsSnapshot();
    }
    MakeFile("a.txt", kMarch5th2007Noon);
    MakeFile("z.txt", kDecember31st2007Late);

    Run(NSFileModificationDate, 1);

    EXPECT_EQ(ListNames(In("2007")), (Names{"Dez 2007", "Mär 2007"}));
}

TEST_F(DateGroupingTest, CreationDatesComeFromBirthTimes) {
    MakeFile("a.txt", kMarch5th2007Noon);
    FileAttributes attributes;
    ASSERT_EQ(FileAttributesAtPath(In("a.txt"), &attributes), noErr);

    Run(NSFileCreationDate, 1);

    if (!attributes.creationDate) {
        EXPECT_EQ(ListNames(folder_), Names{"a.txt"}) << "without birth times nothing is grouped";
        GTEST_SKIP() << "this file system keeps no birth times";
    }
    const std::optional<std::string> year = FormatLocalDate(*attributes.creationDate, "%Y", nullptr);
    ASSERT_TRUE(year);
    EXPECT_EQ(ListNames(folder_), (Names{*year, "a.txt"})) << "the birth year, not 2007";
    EXPECT_EQ(ListNames(In(*year)).size(), 1u) << "the copy, born now, in this month's folder";
}

TEST_F(DateGroupingTest, SecondRunReusesYearFolders) {
    MakeFile("a.txt", kMarch5th2007Noon);
    Run(NSFileModificationDate, 0);
    Run(NSFileModificationDate, 0);

    EXPECT_EQ(ListNames(folder_), (Names{"2007", "a.txt"}));
    const Names days = ListNames(In("2007"));
    ASSERT_EQ(days.size(), 1u);
    EXPECT_EQ(days[0], "Mar 05, 2007");
    EXPECT_EQ(ListNames(In("2007/Mar 05, 2007")).size(), 2u) << "the second copy under a name made unique";
}

}  // namespace
