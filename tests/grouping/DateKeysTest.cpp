#include "grouping/DateKeys.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/files/AutoreleasePool.h"
#include "platform/prefs/UserDefaults.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

using namespace corvane;

namespace {

constexpr std::time_t kMarch5th2007Noon = 1173096000;     // 2007-03-05 12:00 UTC
constexpr std::time_t kJanuary10th2006Noon = 1136894400;  // 2006-01-10 12:00 UTC

FSRef RefOf(const std::string& path) {
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRefWithOptions(path.c_str(), kFSPathMakeRefDoNotFollowLeafSymlink, &ref, nullptr), noErr);
    return ref;
}

TEST(DateKeysTest, ThreeFormatsOfAFileOrOfALinksTargetAndNoneWithoutADate) {
    const TempDir temp;
    ScopedEnvironment environment;
    environment.set("TZ", "UTC");
    gUserDefaultsDictionary.reset();
    const AutoreleasePool pool;
    WriteFile(temp / "a.txt", "a");
    WriteFile(temp / "gone.txt", "g");
    std::filesystem::create_symlink(temp / "a.txt", temp / "link.txt");
    std::filesystem::create_symlink(temp / "nowhere", temp / "dangling.txt");
    const timespec march[2] = {{kMarch5th2007Noon, 0}, {kMarch5th2007Noon, 0}};
    const timespec january[2] = {{kJanuary10th2006Noon, 0}, {kJanuary10th2006Noon, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (temp / "a.txt").c_str(), march, 0), 0);
    ASSERT_EQ(utimensat(AT_FDCWD, (temp / "link.txt").c_str(), january, AT_SYMLINK_NOFOLLOW), 0);
    for (const char* name : {"a.txt", "link.txt"}) {
        const FSRef item = RefOf(temp / name);
        EXPECT_EQ(FSGetYear(&item, NSFileModificationDate), "2007") << name;
        EXPECT_EQ(FSGetMonthDayYear(&item, NSFileModificationDate), "Mar 05, 2007") << name;
        EXPECT_EQ(FSGetMonthYear(&item, NSFileModificationDate), "Mar 2007") << name;
    }
    const FSRef dangling = RefOf(temp / "dangling.txt");
    const FSRef gone = RefOf(temp / "gone.txt");
    std::filesystem::remove(temp / "gone.txt");
    EXPECT_EQ(FSGetMonthYear(&dangling, NSFileModificationDate), std::nullopt);
    EXPECT_EQ(FSGetYear(&gone, NSFileModificationDate), std::nullopt);
    EXPECT_EQ(stringWithFSRef(&gone), std::nullopt);
    EXPECT_EQ(MakeFormattedDateString(nullptr, "%Y"), std::nullopt);
}

}  // namespace
