#include "grouping/DateGrouping.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/files/AutoreleasePool.h"
#include "platform/prefs/UserDefaults.h"
#include "support/LogCapture.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

using namespace corvane;

namespace {

using Names = std::vector<std::string>;

constexpr std::time_t kMarch5th2007Noon = 1173096000;     // 2007-03-05 12:00 UTC
constexpr std::time_t kJanuary10th2006Noon = 1136894400;  // 2006-01-10 12:00 UTC

// A folder to tidy; dates in UTC with the C locale's month names.
class DateGroupingTest : public testing::Test {
protected:
    DateGroupingTest() {
        environment_.set("TZ", "UTC");
        gUserDefaultsDictionary.reset();
    }
    void MakeFile(const std::string& name, std::time_t date) {
        WriteFile(In(name), name);
        const timespec times[2] = {{date, 0}, {date, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, In(name).c_str(), times, 0), 0) << name;
    }
    void Run(std::string_view key, signed char ignoreDays) {
        FSRef folder{};
        ASSERT_EQ(FSPathMakeRef(folder_.c_str(), &folder, nullptr), noErr);
        aggregate_files_by_date(&folder, &folder, key, ignoreDays, kCopyIntoYears);
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
    MakeFile("b.txt", kMarch5th2007Noon + 15 * 86400);
    MakeFile("c.txt", kJanuary10th2006Noon);
    std::filesystem::create_symlink(In("c.txt"), In("link.txt"));
    std::filesystem::create_symlink(temp_ / "nowhere", In("dangling.txt"));
    Run(NSFileModificationDate, kDayFolders);
    const Names expected = {"2006", "2007", "a.txt", "b.txt", "c.txt", "dangling.txt", "link.txt"};
    EXPECT_EQ(ListNames(folder_), expected) << "the sources stay; a dangling link is not grouped";
    EXPECT_EQ(ListNames(In("2007")), (Names{"Mar 05, 2007", "Mar 20, 2007"})) << "the copies moved on";
    EXPECT_EQ(ListNames(In("2006/Jan 10, 2006")), (Names{"c.txt", "link.txt"})) << "a link dated by its target";
    EXPECT_EQ(ReadFile(In("2007/Mar 05, 2007/a.txt")), "a.txt");
}

TEST_F(DateGroupingTest, ExistingSubfoldersAreRegroupedWithoutAYearLevel) {
    MakeFile("Photos/p.jpg", kJanuary10th2006Noon);
    MakeFile("Photos/q.jpg", kJanuary10th2006Noon + 86400);
    MakeFile("Photos/Inner/r.jpg", kMarch5th2007Noon);
    MakeFile(".Private/s.jpg", kMarch5th2007Noon);
    Run(NSFileModificationDate, kMonthFolders);
    EXPECT_EQ(ListNames(folder_), (Names{".Private", "Photos"})) << "no files here, so no year folder";
    EXPECT_EQ(ListNames(In("Photos")), (Names{"Inner", "Jan 2006"})) << "moved, not copied, by month";
    EXPECT_EQ(ListNames(In("Photos/Jan 2006")), (Names{"p.jpg", "q.jpg"}));
    EXPECT_EQ(ListNames(In("Photos/Inner")), Names{"r.jpg"}) << "one level only";
    EXPECT_EQ(ListNames(In(".Private")), Names{"s.jpg"}) << "invisible folders are left alone";
}

TEST_F(DateGroupingTest, CreationDatesComeFromBirthTimes) {
    MakeFile("a.txt", kMarch5th2007Noon);
    FileAttributes attributes;
    ASSERT_EQ(FileAttributesAtPath(In("a.txt"), &attributes), noErr);
    if (!attributes.creationDate) {
        GTEST_SKIP() << "this file system keeps no birth times";
    }
    Run(NSFileCreationDate, kMonthFolders);
    const std::string year = FormatLocalDate(*attributes.creationDate, "%Y", nullptr).value_or("?");
    EXPECT_EQ(ListNames(folder_), (Names{year, "a.txt"})) << "the birth year, not 2007";
}

}  // namespace
