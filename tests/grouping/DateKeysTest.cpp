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

constexpr std::time_t kMarch5th2007Noon = 1173096000;      // 2007-03-05 12:00 UTC
constexpr std::time_t kJanuary10th2006Noon = 1136894400;   // 2006-01-10 12:00 UTC

void SetModificationDate(const std::string& path, std::time_t date, int flags = 0) {
    const timespec times[2] = {{date, 0}, {date, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, flags), 0) << path;
}

// Items in a temporary folder, dates read in UTC with the C locale's month names.
class DateKeysTest : public testing::Test {
protected:
    DateKeysTest() {
        environment_.set("TZ", "UTC");
        gUserDefaultsDictionary.reset();
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

TEST_F(DateKeysTest, ThreeFormats) {
    WriteFile(temp_ / "a.txt", "a");
    SetModificationDate(temp_ / "a.txt", kMarch5th2007Noon);
    const FSRef file = RefOf("a.txt");

    EXPECT_EQ(FSGetYear(&file, NSFileModificationDate), "2007");
    EXPECT_EQ(FSGetMonthDayYear(&file, NSFileModificationDate), "Mar 05, 2007");
    EXPECT_EQ(FSGetMonthYear(&file, NSFileModificationDate), "Mar 2007");
}

TEST_F(DateKeysTest, LinksAreDatedByTheirTargets) {
    WriteFile(temp_ / "target.txt", "t");
    SetModificationDate(temp_ / "target.txt", kMarch5th2007Noon);
    std::filesystem::create_symlink(temp_ / "target.txt", temp_ / "link.txt");
    SetModificationDate(temp_ / "link.txt", kJanuary10th2006Noon, AT_SYMLINK_NOFOLLOW);
    std::filesystem::create_symlink(temp_ / "nowhere", temp_ / "dangling.txt");

    const FSRef link = RefOf("link.txt");
    const FSRef dangling = RefOf("dangling.txt");
    EXPECT_EQ(FSGetMonthDayYear(&link, NSFileModificationDate), "Mar 05, 2007");
    EXPECT_EQ(FSGetYear(&dangling, NSFileModificationDate), std::nullopt);
}

TEST_F(DateKeysTest, MissingPiecesGiveNoText) {
    const std::time_t date = kMarch5th2007Noon;
    EXPECT_EQ(MakeFormattedDateString(nullptr, "%Y"), std::nullopt);
    EXPECT_EQ(MakeFormattedDateString(&date, nullptr), std::nullopt);
    EXPECT_EQ(MakeFormattedDateString(&date, "%Y"), "2007");
    EXPECT_EQ(stringWithFSRef(nullptr), std::nullopt);

    WriteFile(temp_ / "gone.txt", "g");
    const FSRef gone = RefOf("gone.txt");
    std::filesystem::remove(temp_ / "gone.txt");
    EXPECT_EQ(stringWithFSRef(&gone), std::nullopt);
    EXPECT_EQ(FSGetYear(&gone, NSFileModificationDate), std::nullopt);
}

}  // namespace
