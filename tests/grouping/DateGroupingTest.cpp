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

// A folder to tidy; dates in UTC with the C locale's month names unless a test says otherwise.
class DateGroupingTest : public testing::Test {
protected:
    DateGroupingTest() { environment_.set("TZ", "UTC"); }
    ~DateGroupingTest() override { gUserDefaultsDictionary.reset(); }
    void MakeFile(const std::string& name, std::time_t date) {
        WriteFile(In(name), name);
        SetModificationDate(In(name), date);
    }
    void Run(std::string_view key, signed char ignoreDays) {
        FSRef folder{};
        ASSERT_EQ(FSPathMakeRef(folder_.c_str(), &folder, nullptr), noErr);
        aggregate_files_by_date(&folder, &folder, key, ignoreDays, 1);
    }
    std::string In(const std::string& relative) const { return folder_ + "/" + relative; }

    TempDir temp_;
    const std::string folder_ = temp_ / "folder";
    ScopedEnvironment environment_;
    AutoreleasePool pool_;
    LogCapture log_;
};

TEST_F(DateGroupingTest, YearPassCopiesThenSubfolderPassMovesIntoDays) {
    MakeFile("a.txt", kMarch5th2007Noon);
    MakeFile("b.txt", kMarch20th2007Noon);
    MakeFile("c.txt", kJanuary10th2006Noon);
    MakeFile(".hidden", kMarch5th2007Noon);
    WriteFile(temp_ / "target.txt", "t");
    SetModificationDate(temp_ / "target.txt", kJune15th2005Noon);
    std::filesystem::create_symlink(temp_ / "target.txt", In("link.txt"));
    SetModificationDate(In("link.txt"), kMarch5th2007Noon, AT_SYMLINK_NOFOLLOW);
    std::filesystem::create_symlink(temp_ / "nowhere", In("dangling.txt"));
    Run(NSFileModificationDate, 0);
    const Names expected = {".hidden", "2005", "2006", "2007", "a.txt", "b.txt", "c.txt", "dangling.txt", "link.txt"};
    EXPECT_EQ(ListNames(folder_), expected) << "the sources stay; invisible and dangling items are not grouped";
    EXPECT_EQ(ListNames(In("2007")), (Names{"Mar 05, 2007", "Mar 20, 2007"})) << "the copies moved on";
    EXPECT_EQ(ListNames(In("2007/Mar 05, 2007")), Names{"a.txt"});
    EXPECT_EQ(ListNames(In("2006/Jan 10, 2006")), Names{"c.txt"});
    EXPECT_EQ(ReadFile(In("2007/Mar 20, 2007/b.txt")), "b.txt");
    EXPECT_TRUE(std::filesystem::is_symlink(In("2005/Jun 15, 2005/link.txt"))) << "dated by its target";
    const Names& lines = log_.lines();
    const auto copied = std::find(lines.begin(), lines.end(), "Moving: " + In("a.txt"));
    EXPECT_NE(std::find(copied, lines.end(), "Moving: " + In("2007/a.txt")), lines.end()) << "copied, then moved";

    Run(NSFileModificationDate, 0);
    EXPECT_EQ(ListNames(folder_), expected) << "year folders reused";
    EXPECT_EQ(ListNames(In("2007/Mar 05, 2007")).size(), 2u) << "the second copy under a name made unique";
}

TEST_F(DateGroupingTest, ExistingSubfoldersAreRegroupedWithoutAYearLevel) {
    MakeFile("Photos/p.jpg", kJanuary10th2006Noon);
    MakeFile("Photos/q.jpg", kJanuary10th2006Noon + 86400);
    MakeFile("Photos/Inner/r.jpg", kMarch5th2007Noon);
    MakeFile(".Private/s.jpg", kMarch5th2007Noon);
    Run(NSFileModificationDate, 1);
    EXPECT_EQ(ListNames(folder_), (Names{".Private", "Photos"})) << "no files here, so no year folder";
    EXPECT_EQ(ListNames(In("Photos")), (Names{"Inner", "Jan 2006"})) << "moved, not copied, by month";
    EXPECT_EQ(ListNames(In("Photos/Jan 2006")), (Names{"p.jpg", "q.jpg"}));
    EXPECT_EQ(ListNames(In("Photos/Inner")), Names{"r.jpg"}) << "one level only";
    EXPECT_EQ(ListNames(In(".Private")), Names{"s.jpg"}) << "invisible folders are left alone";
}

TEST_F(DateGroupingTest, KeysFollowTheTimeZoneAndTheUsersLocale) {
    environment_.set("TZ", "Asia/Tokyo");
    tzset();
    std::tm probe{};
    const locale_t german = newlocale(LC_TIME_MASK, "de_DE.UTF-8", static_cast<locale_t>(nullptr));
    if (localtime_r(&kDecember31st2007Late, &probe)->tm_gmtoff != 9 * 3600 || german == nullptr) {
        GTEST_SKIP() << "needs time zone data for Asia/Tokyo and de_DE.UTF-8 (scripts/setup generates it)";
    }
    freelocale(german);
    environment_.set("LC_ALL", "de_DE.UTF-8");
    TakeUserDefaultsSnapshot();
    MakeFile("a.txt", kMarch5th2007Noon);
    MakeFile("late.txt", kDecember31st2007Late);
    Run(NSFileModificationDate, 1);
    EXPECT_EQ(ListNames(folder_), (Names{"2007", "2008", "a.txt", "late.txt"})) << "New Year came earlier in Tokyo";
    EXPECT_EQ(ListNames(In("2007")), Names{"Mär 2007"});
    EXPECT_EQ(ListNames(In("2008")), Names{"Jan 2008"});
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
}

}  // namespace
