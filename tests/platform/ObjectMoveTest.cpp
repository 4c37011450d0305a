#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ObjectCopy.h"
#include "tests/platform/FilesTestSupport.h"

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

OSErr Move(const std::string& source, const std::string& folder, const std::u16string* name = nullptr,
           FSRef* target = nullptr) {
    const FSRef item = EntryRef(source);
    const FSRef into = EntryRef(folder);
    return FSMoveObjectSync(&item, &into, name, target, 0);
}

class ObjectMoveTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir_ / "to"); }
    TempDir dir_;
};

TEST_F(ObjectMoveTest, WithinAFileSystemEverythingMovesAsItselfWithoutReplacing) {
    WriteFile(dir_ / "from/file", "data");
    WriteFile(dir_ / "from/pkg.app/inner/file", "inner");
    symlink("file", (dir_ / "from/link").c_str());
    mkfifo((dir_ / "from/fifo").c_str(), 0644);
    WriteFile(dir_ / "from/taken", "new");
    WriteFile(dir_ / "to/taken", "old");
    fs::create_directories(dir_ / "to/pkg.app");
    FSRef target{};
    const std::u16string name = u"renamed/here";
    ASSERT_EQ(Move(dir_ / "from/file", dir_ / "to", &name, &target), noErr);
    EXPECT_EQ(Compare(target, EntryRef(dir_ / "to/renamed:here")), noErr);
    EXPECT_EQ(ReadFile(dir_ / "to/renamed:here"), "data");
    EXPECT_EQ(Move(dir_ / "from/link", dir_ / "to"), noErr);
    EXPECT_EQ(Move(dir_ / "from/fifo", dir_ / "to"), noErr) << "a rename opens nothing";
    EXPECT_TRUE(fs::is_symlink(dir_ / "to/link") && fs::is_fifo(dir_ / "to/fifo"));
    EXPECT_EQ(Move(dir_ / "from/taken", dir_ / "to"), dupFNErr);
    EXPECT_EQ(Move(dir_ / "from/pkg.app", dir_ / "to"), dupFNErr) << "not even an empty folder is replaced";
    EXPECT_EQ(Move(dir_ / "from/pkg.app", dir_ / "from/pkg.app/inner"), paramErr);
    EXPECT_EQ(ReadFile(dir_ / "to/taken"), "old");
    EXPECT_TRUE(ListNames(dir_ / "to/pkg.app").empty());
    EXPECT_EQ(ListNames(dir_ / "from"), (Names{"pkg.app", "taken"}));
    EXPECT_EQ(ReadFile(dir_ / "from/pkg.app/inner/file"), "inner");
}

TEST_F(ObjectMoveTest, AcrossFileSystemsTheSourceGoesOnlyOnceItsCopyIsComplete) {
    const TmpfsMount other(dir_ / "other", "256k");
    if (!other.mounted) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    }
    const std::string big(1 << 20, 'b');
    WriteFile(dir_ / "from/big", big);
    WriteFile(dir_ / "from/file", "data");
    WriteFile(dir_ / "from/pkg.app/Contents/inner", "inner");
    symlink("file", (dir_ / "from/link").c_str());
    WriteFile(dir_ / "from/raced", "new");
    FSRef target{};
    ASSERT_EQ(Move(dir_ / "from/file", other.folder, nullptr, &target), noErr);
    EXPECT_TRUE(FSIsFSRefValid(&target)) << "the reference names the copy";
    ASSERT_EQ(Move(dir_ / "from/pkg.app", other.folder), noErr);
    ASSERT_EQ(Move(dir_ / "from/link", other.folder), noErr);
    EXPECT_EQ(Move(dir_ / "from/big", other.folder), dskFulErr);
    int runs = 0;
    SetBeforePublishHook([&] {
        ++runs;
        WriteFile(dir_ / "other/raced", "arrived first");
    });
    EXPECT_EQ(Move(dir_ / "from/raced", other.folder), dupFNErr);
    SetBeforePublishHook({});
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(ListNames(other.folder), (Names{"file", "link", "pkg.app", "raced"})) << "no temporary left";
    EXPECT_EQ(ReadFile(dir_ / "other/file") + ReadFile(dir_ / "other/pkg.app/Contents/inner"), "datainner");
    EXPECT_EQ(fs::read_symlink(dir_ / "other/link"), "file");
    EXPECT_EQ(ReadFile(dir_ / "other/raced"), "arrived first");
    EXPECT_EQ(ListNames(dir_ / "from"), (Names{"big", "raced"}));
    EXPECT_EQ(ReadFile(dir_ / "from/big") + ReadFile(dir_ / "from/raced"), big + "new");
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
                  return out && Move(folder + "/to", folder + "/from") == afpAccessDenied ? 0 : 1;
              }),
              0);
    EXPECT_EQ(ReadFile(dir_ / "from/file"), "data");
    EXPECT_TRUE(ListNames(dir_ / "to").empty());
}

}  // namespace
