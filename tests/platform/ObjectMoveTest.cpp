#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "support/TempDir.h"
#include "tests/platform/FilesTestSupport.h"

namespace fs = std::filesystem;

namespace {

OSErr Move(const std::string& source, const std::string& folder, const std::u16string* name = nullptr,
           FSRef* target = nullptr) {
    const FSRef item = EntryRef(source);
    const FSRef into = EntryRef(folder);
    return FSMoveObjectSync(&item, &into, name, target, 0);
}

class ObjectMoveTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "from");
        fs::create_directories(dir_ / "to");
    }
    TempDir dir_;
};

TEST_F(ObjectMoveTest, MovesWithinAFileSystem) {
    WriteFile(dir_ / "from/file", "data");
    FSRef target{};
    const std::u16string name = u"renamed/here";
    ASSERT_EQ(Move(dir_ / "from/file", dir_ / "to", &name, &target), noErr);
    EXPECT_EQ(ReadFile(dir_ / "to/renamed:here"), "data");
    EXPECT_FALSE(fs::exists(dir_ / "from/file"));
    const FSRef expected = EntryRef(dir_ / "to/renamed:here");
    EXPECT_EQ(FSCompareFSRefs(&target, &expected), noErr);
}

TEST_F(ObjectMoveTest, NeverReplaces) {
    WriteFile(dir_ / "from/file", "new");
    WriteFile(dir_ / "to/file", "old");
    WriteFile(dir_ / "from/pkg.app/inner", "new");
    fs::create_directories(dir_ / "to/pkg.app");
    EXPECT_EQ(Move(dir_ / "from/file", dir_ / "to"), dupFNErr);
    EXPECT_EQ(Move(dir_ / "from/pkg.app", dir_ / "to"), dupFNErr) << "not even an empty folder";
    EXPECT_EQ(ReadFile(dir_ / "to/file"), "old");
    EXPECT_EQ(ReadFile(dir_ / "from/file"), "new");
    EXPECT_TRUE(ListNames(dir_ / "to/pkg.app").empty());
    EXPECT_EQ(ReadFile(dir_ / "from/pkg.app/inner"), "new");
}

TEST_F(ObjectMoveTest, LinkAndFifoMoveAsThemselves) {
    WriteFile(dir_ / "target", "target");
    symlink((dir_ / "target").c_str(), (dir_ / "from/link").c_str());
    mkfifo((dir_ / "from/fifo").c_str(), 0644);
    ASSERT_EQ(Move(dir_ / "from/link", dir_ / "to"), noErr);
    ASSERT_EQ(Move(dir_ / "from/fifo", dir_ / "to"), noErr) << "a rename opens nothing";
    EXPECT_TRUE(fs::is_symlink(dir_ / "to/link"));
    EXPECT_TRUE(fs::is_fifo(dir_ / "to/fifo"));
    EXPECT_EQ(ReadFile(dir_ / "target"), "target");
    EXPECT_TRUE(ListNames(dir_ / "from").empty());
}

TEST_F(ObjectMoveTest, FolderIntoItselfIsRefused) {
    WriteFile(dir_ / "from/pkg.app/inner/file", "");
    EXPECT_EQ(Move(dir_ / "from/pkg.app", dir_ / "from/pkg.app/inner"), paramErr);
    EXPECT_EQ(ListNames(dir_ / "from/pkg.app/inner"), (std::vector<std::string>{"file"}));
}

TEST_F(ObjectMoveTest, AcrossFileSystemsTheSourceGoesOnceTheCopyIsComplete) {
    const TmpfsMount other(dir_ / "other", "4m");
    if (!other.mounted()) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    }
    WriteFile(dir_ / "from/file", "data");
    WriteFile(dir_ / "from/pkg.app/Contents/inner", "inner");
    symlink("file", (dir_ / "from/link").c_str());
    const bool xattrs = UserXattrsSupported(dir_.path()) && UserXattrsSupported(dir_ / "other");
    if (xattrs) {
        SetXattr(dir_ / "from/file", "user.xdg.comment", "moved along");
    }
    FSRef target{};
    ASSERT_EQ(Move(dir_ / "from/file", dir_ / "other", nullptr, &target), noErr);
    ASSERT_EQ(Move(dir_ / "from/pkg.app", dir_ / "other"), noErr);
    ASSERT_EQ(Move(dir_ / "from/link", dir_ / "other"), noErr);
    EXPECT_EQ(ReadFile(dir_ / "other/file"), "data");
    EXPECT_EQ(ReadFile(dir_ / "other/pkg.app/Contents/inner"), "inner");
    EXPECT_EQ(fs::read_symlink(dir_ / "other/link"), "file");
    if (xattrs) {
        EXPECT_EQ(GetXattr(dir_ / "other/file", "user.xdg.comment"), "moved along");
    }
    EXPECT_TRUE(FSIsFSRefValid(&target));
    EXPECT_TRUE(ListNames(dir_ / "from").empty());
    EXPECT_FALSE(HasTemporaries(dir_ / "other"));
}

TEST_F(ObjectMoveTest, AcrossFileSystemsFailuresKeepTheSource) {
    const TmpfsMount small(dir_ / "small", "256k");
    if (!small.mounted()) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    }
    const std::string big(1 << 20, 'b');
    WriteFile(dir_ / "from/big", big);
    WriteFile(dir_ / "from/pkg.app/big", big);
    WriteFile(dir_ / "from/taken", "new");
    WriteFile(dir_ / "small/taken", "old");
    EXPECT_EQ(Move(dir_ / "from/big", dir_ / "small"), dskFulErr);
    EXPECT_EQ(Move(dir_ / "from/pkg.app", dir_ / "small"), dskFulErr);
    EXPECT_EQ(Move(dir_ / "from/taken", dir_ / "small"), dupFNErr);
    EXPECT_EQ(ListNames(dir_ / "small"), (std::vector<std::string>{"taken"}));
    EXPECT_EQ(ReadFile(dir_ / "small/taken"), "old");
    EXPECT_EQ(ReadFile(dir_ / "from/big"), big);
    EXPECT_EQ(ReadFile(dir_ / "from/pkg.app/big"), big);
    EXPECT_EQ(ReadFile(dir_ / "from/taken"), "new");
}

TEST_F(ObjectMoveTest, FoldersTheUserMayNotWrite) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to switch to an unprivileged user";
    }
    chmod(dir_.path().c_str(), 0755);
    WriteFile(dir_ / "from/file", "data");
    chown((dir_ / "to").c_str(), 65534, 65534);
    const std::string folder = dir_.path();
    EXPECT_EQ(RunAsNobody([&folder] {
                  const bool out = Move(folder + "/from/file", folder + "/to") == afpAccessDenied;
                  const bool in = Move(folder + "/to", folder + "/from") == afpAccessDenied;
                  return out && in ? 0 : 1;
              }),
              0);
    EXPECT_EQ(ReadFile(dir_ / "from/file"), "data");
    EXPECT_TRUE(ListNames(dir_ / "to").empty());
}

}  // namespace
