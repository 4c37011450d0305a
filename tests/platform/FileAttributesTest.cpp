#include "platform/FileAttributes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/TempDir.h"

namespace {

constexpr std::time_t kMarch5th2007Noon = 1173096000;

TEST(FileAttributes, LinksGiveTheirTargetsDatesAndDanglingOnesNone) {
    TempDir temp;
    WriteFile(temp / "target.txt", "t");
    const timespec times[2] = {{kMarch5th2007Noon, 0}, {kMarch5th2007Noon, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (temp / "target.txt").c_str(), times, 0), 0);
    std::filesystem::create_symlink(temp / "target.txt", temp / "link.txt");
    std::filesystem::create_symlink(temp / "nowhere", temp / "dangling");
    FileAttributes attributes;
    ASSERT_EQ(FileAttributesAtPath(temp / "link.txt", &attributes), noErr);
    EXPECT_EQ(FileAttributeDate(attributes, NSFileModificationDate), kMarch5th2007Noon);
    EXPECT_EQ(FileAttributeDate(attributes, "NSFileSize"), std::nullopt) << "only the two date keys answer";

    EXPECT_EQ(FileAttributesAtPath(temp / "dangling", &attributes), fnfErr);
    EXPECT_EQ(FileAttributesAtPath(temp / "absent", &attributes), fnfErr);
    EXPECT_EQ(attributes.modificationDate, kMarch5th2007Noon) << "left as it was";
    EXPECT_EQ(FileAttributesAtPath(temp / "absent", nullptr), paramErr);
}

TEST(FileAttributes, CreationDateIsTheBirthTime) {
    TempDir temp;
    const std::time_t before = std::time(nullptr);
    WriteFile(temp / "new.txt", "n");
    const std::time_t after = std::time(nullptr);
    const timespec times[2] = {{kMarch5th2007Noon, 0}, {kMarch5th2007Noon, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (temp / "new.txt").c_str(), times, 0), 0);
    FileAttributes attributes;
    ASSERT_EQ(FileAttributesAtPath(temp / "new.txt", &attributes), noErr);
    const std::optional<std::time_t> created = FileAttributeDate(attributes, NSFileCreationDate);
    if (!created) {
        GTEST_SKIP() << "this file system keeps no birth times";
    }
    EXPECT_GE(*created, before - 1) << "file times come from a coarse clock that may lag time()";
    EXPECT_LE(*created, after);
}

}  // namespace
