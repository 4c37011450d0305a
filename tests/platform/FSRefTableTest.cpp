#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "platform/AutoreleasePool.h"
#include "platform/FSRefTable.h"
#include "platform/Files.h"
#include "support/TempDir.h"
#include "tests/platform/FilesTestSupport.h"

namespace {

std::string PathOf(const FSRef& ref) {
    char path[4098];
    return FSRefMakePath(&ref, path, sizeof path) == noErr ? std::string(path) : std::string();
}

OSErr Compare(const FSRef& a, const FSRef& b) { return FSCompareFSRefs(&a, &b); }

FSRef FollowedRef(const std::string& path) {
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRef(path.c_str(), &ref, nullptr), noErr) << path;
    return ref;
}

class FSRefTest : public ::testing::Test {
protected:
    std::string Real(const std::string& relative) const {
        char* resolved = realpath(dir_.path().c_str(), nullptr);
        std::string path = std::string(resolved) + "/" + relative;
        free(resolved);
        return path;
    }
    TempDir dir_;
};

TEST_F(FSRefTest, PathRefResolvesLikeRealpath) {
    WriteFile(dir_ / "folder/file.txt", "x");
    symlink("folder", (dir_ / "link").c_str());
    FSRef ref{};
    Boolean isDirectory = false;
    ASSERT_EQ(FSPathMakeRef((dir_ / "link/../folder/./file.txt").c_str(), &ref, &isDirectory), noErr);
    EXPECT_FALSE(isDirectory);
    EXPECT_EQ(PathOf(ref), Real("folder/file.txt"));

    ASSERT_EQ(FSPathMakeRef((dir_ / "link").c_str(), &ref, &isDirectory), noErr);
    EXPECT_TRUE(isDirectory) << "a link to a folder is followed";
    EXPECT_EQ(PathOf(ref), Real("folder"));

    EXPECT_EQ(FSPathMakeRef((dir_ / "missing").c_str(), &ref, nullptr), fnfErr);
    EXPECT_EQ(FSPathMakeRef(nullptr, &ref, nullptr), paramErr);
}

TEST_F(FSRefTest, DoNotFollowLeafSymlinkNamesTheLink) {
    WriteFile(dir_ / "folder/file.txt", "x");
    symlink("folder", (dir_ / "link").c_str());
    symlink("nowhere", (dir_ / "dangling").c_str());
    FSRef ref{};
    Boolean isDirectory = true;
    ASSERT_EQ(FSPathMakeRefWithOptions((dir_ / "link").c_str(), kFSPathMakeRefDoNotFollowLeafSymlink, &ref,
                                       &isDirectory),
              noErr);
    EXPECT_FALSE(isDirectory);
    EXPECT_EQ(PathOf(ref), Real("link"));
    EXPECT_EQ(Compare(ref, FollowedRef(dir_ / "folder")), errFSRefsDifferent);

    EXPECT_EQ(PathOf(EntryRef(dir_ / "dangling")), Real("dangling")) << "a dangling link still exists";
    EXPECT_EQ(PathOf(EntryRef(dir_ / "link/file.txt")), Real("folder/file.txt")) << "only the leaf stays";
    EXPECT_EQ(PathOf(EntryRef(dir_ / "link/")), Real("folder")) << "a trailing slash asks for the folder";
    EXPECT_EQ(PathOf(EntryRef("/")), "/");
}

TEST_F(FSRefTest, MakePathNeedsRoomForTheTerminator) {
    WriteFile(dir_ / "abc", "");
    const FSRef ref = EntryRef(dir_ / "abc");
    const std::string expected = Real("abc");
    std::string buffer(expected.size() + 1, '\xAA');
    EXPECT_EQ(FSRefMakePath(&ref, buffer.data(), static_cast<std::uint32_t>(expected.size())), errFSNameTooLong);
    ASSERT_EQ(FSRefMakePath(&ref, buffer.data(), static_cast<std::uint32_t>(buffer.size())), noErr);
    EXPECT_EQ(std::string(buffer.c_str()), expected);
}

TEST_F(FSRefTest, ValidOnlyWhileThePathLeadsToTheSameObject) {
    WriteFile(dir_ / "kept", "1");
    WriteFile(dir_ / "deleted", "2");
    WriteFile(dir_ / "replaced", "3");
    WriteFile(dir_ / "other", "4");
    const FSRef kept = EntryRef(dir_ / "kept");
    const FSRef deleted = EntryRef(dir_ / "deleted");
    const FSRef replaced = EntryRef(dir_ / "replaced");
    ASSERT_EQ(unlink((dir_ / "deleted").c_str()), 0);
    ASSERT_EQ(std::rename((dir_ / "other").c_str(), (dir_ / "replaced").c_str()), 0);

    EXPECT_TRUE(FSIsFSRefValid(&kept));
    EXPECT_FALSE(FSIsFSRefValid(&deleted));
    EXPECT_FALSE(FSIsFSRefValid(&replaced)) << "another object under the same path";
    EXPECT_EQ(PathOf(replaced), "");

    const FSRef now = EntryRef(dir_ / "replaced");
    EXPECT_TRUE(FSIsFSRefValid(&now));
    EXPECT_EQ(FSCompareFSRefs(&replaced, &now), fnfErr);

    const FSRef zero{};
    EXPECT_FALSE(FSIsFSRefValid(&zero));
    EXPECT_FALSE(FSIsFSRefValid(nullptr));
}

TEST_F(FSRefTest, CompareByIdentity) {
    WriteFile(dir_ / "a", "");
    WriteFile(dir_ / "b", "");
    ASSERT_EQ(link((dir_ / "a").c_str(), (dir_ / "hard").c_str()), 0);
    const FSRef a = EntryRef(dir_ / "a");
    EXPECT_EQ(Compare(a, FollowedRef(dir_ / "a")), noErr);
    EXPECT_EQ(Compare(a, EntryRef(dir_ / "hard")), noErr) << "two names of one object";
    EXPECT_EQ(Compare(a, EntryRef(dir_ / "b")), errFSRefsDifferent);
}

TEST_F(FSRefTest, PoolReleasesTheReferencesMadeInIt) {
    WriteFile(dir_ / "before", "");
    WriteFile(dir_ / "outer", "");
    WriteFile(dir_ / "inner", "");
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
            EXPECT_EQ(Compare(EntryRef(dir_ / "before"), before), noErr);
        }
        EXPECT_FALSE(FSIsFSRefValid(&inner)) << "inner pool closed";
        EXPECT_TRUE(FSIsFSRefValid(&outer)) << "outer pool still open";
        {
            AutoreleasePool reused;
            const FSRef again = EntryRef(dir_ / "inner");
            EXPECT_EQ(again.pathSlot, inner.pathSlot) << "the released slot is handed on";
            EXPECT_TRUE(FSIsFSRefValid(&again));
            EXPECT_FALSE(FSIsFSRefValid(&inner)) << "a released reference stays released, same path or not";
        }
    }
    EXPECT_FALSE(FSIsFSRefValid(&outer));
    EXPECT_TRUE(FSIsFSRefValid(&before)) << "made with no pool open";
    EXPECT_EQ(FSRefTableSize(), sizeBefore);
}

TEST_F(FSRefTest, OnePathIsRecordedOnce) {
    WriteFile(dir_ / "file", "");
    const FSRef first = EntryRef(dir_ / "file");
    const std::uint32_t size = FSRefTableSize();
    for (int i = 0; i < 100; ++i) {
        const FSRef again = FollowedRef(dir_ / "file");
        EXPECT_EQ(again.pathSlot, first.pathSlot);
    }
    EXPECT_EQ(FSRefTableSize(), size);
}

}  // namespace
