#include <cstdio>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "platform/AutoreleasePool.h"
#include "platform/FSRefTable.h"
#include "tests/platform/FilesTestSupport.h"

namespace {

class FSRefTest : public ::testing::Test {
protected:
    std::string Real(const std::string& relative) const { return real_ + "/" + relative; }
    TempDir dir_;
    const std::string real_ = std::filesystem::canonical(dir_.path()).string();
};

TEST_F(FSRefTest, PathsResolveLikeRealpathKeepingALeafLinkWhenAsked) {
    WriteFile(dir_ / "folder/file.txt", "x");
    symlink("folder", (dir_ / "link").c_str());
    symlink("nowhere", (dir_ / "dangling").c_str());
    const OptionBits leaf = kFSPathMakeRefDoNotFollowLeafSymlink;
    const std::tuple<std::string, OptionBits, std::string, bool> rows[] = {
        {dir_ / "link/../folder/./file.txt", 0, Real("folder/file.txt"), false},
        {dir_ / "link", 0, Real("folder"), true},
        {dir_ / "link", leaf, Real("link"), false},
        {dir_ / "dangling", leaf, Real("dangling"), false},
        {dir_ / "link/file.txt", leaf, Real("folder/file.txt"), false},
        {"/", leaf, "/", true},
        {dir_ / "link/", leaf, Real("folder"), true},
    };
    FSRef ref{};
    for (const auto& [path, options, expected, folder] : rows) {
        Boolean isDirectory = !folder;
        ASSERT_EQ(FSPathMakeRefWithOptions(path.c_str(), options, &ref, &isDirectory), noErr) << path;
        EXPECT_EQ(PathOf(ref), expected) << path;
        EXPECT_EQ(static_cast<bool>(isDirectory), folder) << path;
    }
    std::string buffer(Real("folder").size() + 1, '\xAA');
    EXPECT_EQ(FSRefMakePath(&ref, buffer.data(), static_cast<std::uint32_t>(buffer.size() - 1)), errFSNameTooLong)
        << "no room for the terminator";
    ASSERT_EQ(FSRefMakePath(&ref, buffer.data(), static_cast<std::uint32_t>(buffer.size())), noErr);
    EXPECT_EQ(std::string(buffer.c_str()), Real("folder"));
    EXPECT_EQ(FSPathMakeRef((dir_ / "missing").c_str(), &ref, nullptr), fnfErr);
    EXPECT_EQ(FSPathMakeRef(nullptr, &ref, nullptr), paramErr);
}

TEST_F(FSRefTest, IdentityHoldsOnlyWhileThePathLeadsToTheSameObject) {
    for (const char* name : {"kept", "deleted", "replaced", "other"}) {
        WriteFile(dir_ / name, "");
    }
    ASSERT_EQ(link((dir_ / "kept").c_str(), (dir_ / "hard").c_str()), 0);
    const FSRef kept = EntryRef(dir_ / "kept");
    const FSRef deleted = EntryRef(dir_ / "deleted");
    const FSRef replaced = EntryRef(dir_ / "replaced");
    EXPECT_EQ(Compare(kept, EntryRef(dir_ / "hard")), noErr) << "two names of one object";
    EXPECT_EQ(Compare(kept, replaced), errFSRefsDifferent);
    ASSERT_EQ(unlink((dir_ / "deleted").c_str()), 0);
    ASSERT_EQ(std::rename((dir_ / "other").c_str(), (dir_ / "replaced").c_str()), 0);
    EXPECT_TRUE(FSIsFSRefValid(&kept));
    EXPECT_FALSE(FSIsFSRefValid(&deleted));
    EXPECT_FALSE(FSIsFSRefValid(&replaced)) << "another object under the same path";
    EXPECT_EQ(PathOf(replaced), "");
    EXPECT_EQ(Compare(replaced, EntryRef(dir_ / "replaced")), fnfErr);
    const FSRef zero{};
    EXPECT_FALSE(FSIsFSRefValid(&zero));
    EXPECT_FALSE(FSIsFSRefValid(nullptr));
}

TEST_F(FSRefTest, PoolReleasesTheReferencesMadeInIt) {
    for (const char* name : {"before", "outer", "inner"}) {
        WriteFile(dir_ / name, "");
    }
    const FSRef before = EntryRef(dir_ / "before");
    const std::uint32_t sizeBefore = FSRefTableSize();
    FSRef outer{};
    FSRef inner{};
    {
        AutoreleasePool outerPool;
        outer = EntryRef(dir_ / "outer");
        {
            AutoreleasePool innerPool;
            inner = EntryRef(dir_ / "inner");
        }
        EXPECT_FALSE(FSIsFSRefValid(&inner));
        EXPECT_TRUE(FSIsFSRefValid(&outer));
        AutoreleasePool reused;
        const FSRef again = EntryRef(dir_ / "inner");
        EXPECT_EQ(again.pathSlot, inner.pathSlot) << "the released slot is handed on";
        EXPECT_FALSE(FSIsFSRefValid(&inner)) << "a released reference stays released";
    }
    EXPECT_FALSE(FSIsFSRefValid(&outer));
    EXPECT_TRUE(FSIsFSRefValid(&before)) << "made with no pool open";
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(EntryRef(dir_ / "before").pathSlot, before.pathSlot);
    }
    EXPECT_EQ(FSRefTableSize(), sizeBefore) << "released slots are reused and one path is recorded once";
}

}  // namespace
