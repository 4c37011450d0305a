#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/files/internal/ObjectCopy.h"
#include "support/FilesTestSupport.h"
#include "support/WithheldFeatures.h"

using namespace corvane;

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

OSErr Move(const std::string& source, const std::string& folder, const std::u16string* name = nullptr,
           FSRef* target = nullptr) {
    const FSRef item = EntryRef(source);
    const FSRef into = EntryRef(folder);
    return FSMoveObjectSync(&item, &into, name, target, 0);
}

// Every test runs with all features, without each one, and without any: the fallbacks run here too.
using ObjectMoveTest = WithheldFeaturesTest;

TEST_P(ObjectMoveTest, WithinAFileSystemEverythingMovesAsItselfWithoutReplacing) {
    const TempDir dir;
    WriteFile(dir / "from/file", "data");
    WriteFile(dir / "from/pkg.app/inner/file", "inner");
    symlink("file", (dir / "from/link").c_str());
    mkfifo((dir / "from/fifo").c_str(), 0644);
    fs::create_directories(dir / "to/pkg.app");
    WriteFile(dir / "to/taken", "there");
    const std::u16string taken = u"taken";
    EXPECT_EQ(Move(dir / "from/file", dir / "to", &taken), dupFNErr);
    EXPECT_EQ(Move(dir / "from/pkg.app", dir / "to"), dupFNErr) << "not even an empty folder is replaced";
    EXPECT_EQ(Move(dir / "from/pkg.app", dir / "from/pkg.app/inner"), paramErr);
    FSRef target{};
    const std::u16string name = u"renamed/here";
    ASSERT_EQ(Move(dir / "from/file", dir / "to", &name, &target), noErr);
    EXPECT_EQ(Compare(target, EntryRef(dir / "to/renamed:here")), noErr);
    EXPECT_EQ(Move(dir / "from/link", dir / "to"), noErr);
    // Without a rename that never replaces and without links, a file moves as a copy; a FIFO is
    // never opened to be copied.
    const bool onlyCopies = (GetParam().features & (kRenameNoReplace | kHardLinks)) == (kRenameNoReplace | kHardLinks);
    if (onlyCopies) {
        EXPECT_EQ(Move(dir / "from/fifo", dir / "to"), paramErr);
        EXPECT_TRUE(fs::is_fifo(dir / "from/fifo"));
        fs::rename(dir / "from/fifo", dir / "to/fifo");
    } else {
        EXPECT_EQ(Move(dir / "from/fifo", dir / "to"), noErr) << "a rename opens nothing";
    }
    EXPECT_TRUE(fs::is_symlink(dir / "to/link") && fs::is_fifo(dir / "to/fifo"));
    const std::u16string moved = u"moved.app";
    EXPECT_EQ(Move(dir / "from/pkg.app", dir / "to", &moved), noErr);
    EXPECT_TRUE(ListNames(dir / "from").empty());
    EXPECT_EQ(ListNames(dir / "to"), (Names{"fifo", "link", "moved.app", "pkg.app", "renamed:here", "taken"}))
        << "no placeholder or temporary left";
    EXPECT_TRUE(ListNames(dir / "to/pkg.app").empty());
    EXPECT_EQ(ReadFile(dir / "to/taken") + ReadFile(dir / "to/renamed:here"), "theredata");
    EXPECT_EQ(ReadFile(dir / "to/moved.app/inner/file"), "inner");
}

TEST_P(ObjectMoveTest, AcrossFileSystemsTheSourceGoesOnlyOnceItsCopyIsComplete) {
    const TempDir dir;
    const TmpfsMount other(dir / "other", "256k");
    if (!other.mounted) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    }
    const std::string big(1 << 20, 'b');
    WriteFile(dir / "from/big", big);
    WriteFile(dir / "from/pkg.app/Contents/inner", "inner");
    symlink("pkg.app", (dir / "from/link").c_str());
    WriteFile(dir / "from/raced", "new");
    FSRef target{};
    ASSERT_EQ(Move(dir / "from/pkg.app", other.folder, nullptr, &target), noErr);
    EXPECT_EQ(Compare(target, EntryRef(dir / "other/pkg.app")), noErr) << "the reference names the copy";
    ASSERT_EQ(Move(dir / "from/link", other.folder), noErr);
    EXPECT_EQ(Move(dir / "from/big", other.folder), dskFulErr);
    int runs = 0;
    SetBeforePublishHook([&] {
        ++runs;
        WriteFile(dir / "other/raced", "arrived first");
    });
    EXPECT_EQ(Move(dir / "from/raced", other.folder), dupFNErr);
    SetBeforePublishHook({});
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(ListNames(other.folder), (Names{"link", "pkg.app", "raced"})) << "no temporary left";
    EXPECT_EQ(ReadFile(dir / "other/pkg.app/Contents/inner") + ReadFile(dir / "other/raced"), "innerarrived first");
    EXPECT_EQ(fs::read_symlink(dir / "other/link"), "pkg.app");
    EXPECT_EQ(ListNames(dir / "from"), (Names{"big", "raced"}));
    EXPECT_EQ(ReadFile(dir / "from/big") + ReadFile(dir / "from/raced"), big + "new");
}

INSTANTIATE_TEST_SUITE_P(, ObjectMoveTest, ::testing::ValuesIn(EveryFeatureSetting()), SettingName);

}  // namespace
