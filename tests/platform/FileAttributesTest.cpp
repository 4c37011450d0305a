#include "platform/FileAttributes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/TempDir.h"

namespace {

constexpr std::time_t kMarch5th2007Noon = 1173096000;
constexpr std::time_t kJanuary10th2006Noon = 1136894400;

void SetModificationDate(const std::string& path, std::time_t date, int flags = 0) {
    const timespec times[2] = {{date, 0}, {date, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, flags), 0) << path;
}

TEST(FileAttributes, SymbolicLinksGiveTheirTargetsDates) {
    TempDir temp;
    WriteFile(temp / "target.txt", "t");
    SetModificationDate(temp / "target.txt", kMarch5th2007Noon);
    std::filesystem::create_symlink(temp / "target.txt", temp / "link.txt");
    SetModificationDate(temp / "link.txt", kJanuary10th2006Noon, AT_SYMLINK_NOFOLLOW);

    FileAttributes attributes;
    ASSERT_EQ(FileAttributesAtPath(temp / "link.txt", &attributes), noErr);
    EXPECT_EQ(FileAttributeDate(attributes, NSFileModificationDate), kMarch5th2007Noon);
    EXPECT_EQ(FileAttributeDate(attributes, "NSFileSize"), std::nullopt) << "only the two date keys answer";
}

TEST(FileAttributes, DanglingLinksAndMissingItemsHaveNoAttributes) {
    TempDir temp;
    std::filesystem::create_symlink(temp / "nowhere", temp / "dangling");
    FileAttributes attributes{kMarch5th2007Noon, kMarch5th2007Noon};

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
    // The modification date can be set back; the birth time cannot.
    SetModificationDate(temp / "new.txt", kMarch5th2007Noon);

    FileAttributes attributes;
    ASSERT_EQ(FileAttributesAtPath(temp / "new.txt", &attributes), noErr);
    const std::optional<std::time_t> created = FileAttributeDate(attributes, NSFileCreationDate);
    if (!created) {
        GTEST_SKIP() << "this file system keeps no birth times";
    }
    // File times come from a coarse clock that may lag time() by a tick.
    EXPECT_GE(*created, before - 1);
    EXPECT_LE(*created, after);
}

}  // namespace
