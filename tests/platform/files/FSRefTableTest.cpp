#include <cstdio>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "platform/files/AutoreleasePool.h"
#include "platform/files/internal/FSRefTable.h"
#include "support/FilesTestSupport.h"

using namespace corvane;

namespace {

TEST(FSRefTest, PathsResolveLikeRealpathKeepingALeafLinkWhenAsked) {
    const TempDir dir;
    const std::string real = std::filesystem::canonical(dir.path()).string();
    WriteFile(dir / "folder/file.txt", "x");
    symlink("folder", (dir / "link").c_str());
    symlink("nowhere", (dir / "dangling").c_str());
    const OptionBits leaf = kFSPathMakeRefDoNotFollowLeafSymlink;
    const std::tuple<std::string, OptionBits, std::string, bool> rows[] = {
        {dir / "link/../folder/./file.txt", 0, real + "/folder/file.txt", false},
        {dir / "link", 0, real + "/folder", true},         {dir / "link", leaf, real + "/link", false},
        {dir / "dangling", leaf, real + "/dangling", false}, {"/", leaf, "/", true},
        {dir / "link/file.txt", leaf, real + "/folder/file.txt", false}, {dir / "link/", leaf, real + "/folder", true},
    };
    FSRef ref{};
    for (const auto& [path, options, expected, folder] : rows) {
        Boolean isDirectory = !folder;
        ASSERT_EQ(FSPathMakeRefWithOptions(path.c_str(), options, &ref, &isDirectory), noErr) << path;
        EXPECT_EQ(PathOf(ref), expected) << path;
        EXPECT_EQ(static_cast<bool>(isDirectory), folder) << path;
    }
    std::string buffer(real.size() + 7, '\xAA');
    EXPECT_EQ(FSRefMakePath(&ref, buffer.data(), real.size() + 7), errFSNameTooLong) << "no room for the terminator";
}

TEST(FSRefTest, IdentityHoldsOnlyWhileThePathLeadsToTheSameObject) {
    const TempDir dir;
    for (const char* name : {"kept", "deleted", "replaced", "other"}) {
        WriteFile(dir / name, "");
    }
    ASSERT_EQ(link((dir / "kept").c_str(), (dir / "hard").c_str()), 0);
    const FSRef kept = EntryRef(dir / "kept");
    const FSRef deleted = EntryRef(dir / "deleted");
    const FSRef replaced = EntryRef(dir / "replaced");
    EXPECT_EQ(Compare(kept, EntryRef(dir / "hard")), noErr) << "two names of one object";
    EXPECT_EQ(Compare(kept, replaced), errFSRefsDifferent);
    ASSERT_EQ(unlink((dir / "deleted").c_str()), 0);
    ASSERT_EQ(std::rename((dir / "other").c_str(), (dir / "replaced").c_str()), 0);
    EXPECT_TRUE(FSIsFSRefValid(&kept));
    EXPECT_FALSE(FSIsFSRefValid(&deleted));
    EXPECT_FALSE(FSIsFSRefValid(&replaced)) << "another object under the same path";
}

TEST(FSRefTest, PoolReleasesTheReferencesMadeInIt) {
    const TempDir dir;
    for (const char* name : {"before", "outer", "inner"}) {
        WriteFile(dir / name, "");
    }
    const FSRef before = EntryRef(dir / "before");
    const std::uint32_t sizeBefore = FSRefTableSize();
    FSRef outer{};
    FSRef inner{};
    {
        AutoreleasePool outerPool;
        outer = EntryRef(dir / "outer");
        {
            AutoreleasePool innerPool;
            inner = EntryRef(dir / "inner");
        }
        EXPECT_FALSE(FSIsFSRefValid(&inner));
        EXPECT_TRUE(FSIsFSRefValid(&outer));
        EXPECT_EQ(EntryRef(dir / "inner").pathSlot, inner.pathSlot) << "the released slot is handed on";
        EXPECT_FALSE(FSIsFSRefValid(&inner)) << "a released reference stays released";
    }
    EXPECT_FALSE(FSIsFSRefValid(&outer));
    EXPECT_TRUE(FSIsFSRefValid(&before)) << "made with no pool open";
    EXPECT_EQ(EntryRef(dir / "before").pathSlot, before.pathSlot);
    EXPECT_EQ(FSRefTableSize(), sizeBefore) << "released slots are reused and one path is recorded once";
}

}  // namespace
