#include "grouping/DateKeys.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/AutoreleasePool.h"
#include "platform/UserDefaults.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace {

constexpr std::time_t kMarch5th2007Noon = 1173096000;     // 2007-03-05 12:00 UTC
constexpr std::time_t kJanuary10th2006Noon = 1136894400;  // 2006-01-10 12:00 UTC

// Items in a temporary folder, dates read in UTC with the C locale's month names.
class DateKeysTest : public testing::Test {
protected:
    DateKeysTest() {
        environment_.set("TZ", "UTC");
        gUserDefaultsDictionary.reset();
    }
    void SetModificationDate(const std::string& name, std::time_t date, int flags = 0) {
        const timespec times[2] = {{date, 0}, {date, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, (temp_ / name).c_str(), times, flags), 0) << name;
    }
    FSRef RefOf(const std::string& name) {
        FSRef ref{};
        EXPECT_EQ(FSPathMakeRefWithOptions((temp_ / name).c_str(), kFSPathMakeRefDoNotFollowLeafSymlink, &ref, nullptr),
                  noErr);
        return ref;
    }
    TempDir temp_;
    ScopedEnvironment environment_;
    AutoreleasePool pool_;
};

TEST_F(DateKeysTest, ThreeFormatsOfAFileOrOfALinksTarget) {
    WriteFile(temp_ / "a.txt", "a");
    SetModificationDate("a.txt", kMarch5th2007Noon);
    std::filesystem::create_symlink(temp_ / "a.txt", temp_ / "link.txt");
    SetModificationDate("link.txt", kJanuary10th2006Noon, AT_SYMLINK_NOFOLLOW);
    std::filesystem::create_symlink(temp_ / "nowhere", temp_ / "dangling.txt");
    for (const char* name : {"a.txt", "link.txt"}) {
        const FSRef item = RefOf(name);
        EXPECT_EQ(FSGetYear(&item, NSFileModificationDate), "2007") << name;
        EXPECT_EQ(FSGetMonthDayYear(&item, NSFileModificationDate), "Mar 05, 2007") << name;
        EXPECT_EQ(FSGetMonthYear(&item, NSFileModificationDate), "Mar 2007") << name;
    }
    const FSRef dangling = RefOf("dangling.txt");
    EXPECT_EQ(FSGetMonthYear(&dangling, NSFileModificationDate), std::nullopt);
}

TEST_F(DateKeysTest, MissingPiecesGiveNoText) {
    const std::time_t date = kMarch5th2007Noon;
    WriteFile(temp_ / "gone.txt", "g");
    const FSRef gone = RefOf("gone.txt");
    std::filesystem::remove(temp_ / "gone.txt");
    EXPECT_EQ(MakeFormattedDateString(nullptr, "%Y"), std::nullopt);
    EXPECT_EQ(MakeFormattedDateString(&date, nullptr), std::nullopt);
    EXPECT_EQ(stringWithFSRef(nullptr), std::nullopt);
    EXPECT_EQ(stringWithFSRef(&gone), std::nullopt);
    EXPECT_EQ(FSGetYear(&gone, NSFileModificationDate), std::nullopt);
}

}  // namespace
