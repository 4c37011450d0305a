// Copying and moving files, links and packages without ever replacing a name, with every optional
// file-system feature and without each.
#include <fcntl.h>
#include <sys/stat.h>

#include <tuple>

#include "platform/files/internal/ObjectCopy.h"
#include "support/FilesTestSupport.h"
#include "support/WithheldFeatures.h"

using namespace corvane;

namespace fs = std::filesystem;

namespace {

// The entry's own permission bits and modification time.
std::tuple<unsigned, time_t, long> Status(const std::string& path) {
    struct stat status {};
    lstat(path.c_str(), &status);
    return {status.st_mode & 07777, status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
}

OSErr Copy(const std::string& source, const std::string& folder) {
    const FSRef item = EntryRef(source), into = EntryRef(folder);
    return FSCopyObjectSync(&item, &into, nullptr, nullptr, 0);
}

OSErr Move(const std::string& source, const std::string& folder, const std::u16string* name = nullptr,
           FSRef* target = nullptr) {
    const FSRef item = EntryRef(source), into = EntryRef(folder);
    return FSMoveObjectSync(&item, &into, name, target, 0);
}

class ObjectCopyTest : public WithheldFeaturesTest {
protected:
    void SetUp() override {
        WithheldFeaturesTest::SetUp();
        fs::create_directories(dir_ / "to");
    }
    TempDir dir_;
};

TEST_P(ObjectCopyTest, NeverReplacesEvenANameTakenJustBeforePublishing) {
    WriteFile(dir_ / "from/file", "new");
    WriteFile(dir_ / "from/pkg.app/inner", "inner");
    symlink("file", (dir_ / "from/link").c_str());
    // Each name is taken by what a plain rename would replace: a file, or an empty folder.
    for (const auto& [name, folder] : {std::pair{"file", false}, {"pkg.app", true}, {"link", false}}) {
        const std::string taken = dir_ / (std::string("to/") + name);
        SetBeforePublishHook([&] {
            folder ? void(fs::create_directory(taken)) : WriteFile(taken, "arrived first");
        });
        EXPECT_EQ(Copy(dir_ / (std::string("from/") + name), dir_ / "to"), dupFNErr) << name;
        SetBeforePublishHook({});
        EXPECT_TRUE(folder ? fs::is_empty(taken) : !fs::is_symlink(taken) && ReadFile(taken) == "arrived first")
            << name;
    }
    EXPECT_EQ(ListNames(dir_ / "to"), (Names{"file", "link", "pkg.app"}));
}

TEST_P(ObjectCopyTest, FilesLinksAndPackagesArriveWithPermissionsTimesAndAttributes) {
    const std::string package = dir_ / "from/Tool.app";
    const std::string tool = package + "/Contents/tool";
    // More than one read buffer, and varied, so that a lost, short or repeated buffer shows.
    std::string data(300 << 10, '\0');
    for (std::size_t at = 0; at < data.size(); ++at) {
        data[at] = static_cast<char>(at % 251);
    }
    WriteFile(tool, data);
    WriteFile(dir_ / "from/empty", "");
    chmod(tool.c_str(), 0751);
    symlink("tool", (package + "/Contents/current").c_str());
    const bool xattrs = UserXattrsSupported(dir_.path());
    if (xattrs) {
        SetXattr(package, "user.xdg.comment", "package comment");
        SetXattr(tool, "user.com.apple.FinderInfo", std::string(32, '\x01'));
    }
    const struct timespec times[2] = {{1000000000, 0}, {1000000000, 500}};
    for (const std::string& entry : {tool, package + "/Contents/current", package}) {
        utimensat(AT_FDCWD, entry.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    for (const std::string& entry : {package, tool, package + "/Contents/current", dir_ / "from/empty"}) {
        ASSERT_EQ(Copy(entry, dir_ / "to"), noErr) << entry;
    }
    EXPECT_EQ(ListNames(dir_ / "to"), (Names{"Tool.app", "current", "empty", "tool"}));
    const std::string copy = dir_ / "to/Tool.app";
    EXPECT_EQ(ReadFile(dir_ / "to/tool") + ReadFile(dir_ / "to/empty"), data);
    EXPECT_EQ(ReadFile(copy + "/Contents/tool"), data);
    EXPECT_EQ(fs::read_symlink(copy + "/Contents/current"), "tool");
    for (const char* entry : {"", "/Contents/tool", "/Contents/current"}) {
        EXPECT_EQ(Status(copy + entry), Status(package + entry)) << entry;
    }
    if (xattrs) {
        EXPECT_EQ(GetXattr(copy, "user.xdg.comment"), "package comment");
        EXPECT_EQ(GetXattr(copy + "/Contents/tool", "user.com.apple.FinderInfo"), std::string(32, '\x01'));
    }
}

// A FIFO is never opened: without a writer that blocks, so it runs in a child where a hang ends in a
// signal. Nor does a folder the user may not write take anything.
TEST_P(ObjectCopyTest, RefusedCopiesLeaveNothing) {
    WriteFile(dir_ / "from/pkg.app/file", "");
    ASSERT_EQ(mkfifo((dir_ / "from/pkg.app/fifo").c_str(), 0644), 0);
    EXPECT_EQ(RunInChild([&] { return alarm(30), Copy(dir_ / "from/pkg.app", dir_ / "to") == paramErr ? 0 : 1; }), 0);
    if (geteuid() == 0) {  // only root can switch to an unprivileged user
        chmod(dir_.path().c_str(), 0755);
        const std::string file = dir_ / "from/pkg.app/file";
        EXPECT_EQ(RunInChild([&] { return Copy(file, dir_ / "to") == afpAccessDenied ? 0 : 1; }, true), 0);
    }
    EXPECT_TRUE(ListNames(dir_ / "to").empty());
}

TEST_P(ObjectCopyTest, WithinAFileSystemEverythingMovesAsItselfWithoutReplacing) {
    WriteFile(dir_ / "from/file", "data");
    WriteFile(dir_ / "from/pkg.app/inner/file", "inner");
    symlink("file", (dir_ / "from/link").c_str());
    mkfifo((dir_ / "from/fifo").c_str(), 0644);
    fs::create_directories(dir_ / "to/pkg.app");
    WriteFile(dir_ / "to/taken", "there");
    const std::u16string taken = u"taken", name = u"renamed/here", moved = u"moved.app";
    EXPECT_EQ(Move(dir_ / "from/file", dir_ / "to", &taken), dupFNErr);
    EXPECT_EQ(Move(dir_ / "from/pkg.app", dir_ / "to"), dupFNErr) << "not even an empty folder is replaced";
    EXPECT_EQ(Move(dir_ / "from/pkg.app", dir_ / "from/pkg.app/inner"), paramErr);
    FSRef target{};
    ASSERT_EQ(Move(dir_ / "from/file", dir_ / "to", &name, &target), noErr);
    EXPECT_EQ(Compare(target, EntryRef(dir_ / "to/renamed:here")), noErr);
    EXPECT_EQ(Move(dir_ / "from/link", dir_ / "to"), noErr);
    // Without a rename that never replaces and without links a file moves as a copy, which never opens a FIFO.
    if ((GetParam().features & (kRenameNoReplace | kHardLinks)) == (kRenameNoReplace | kHardLinks)) {
        EXPECT_EQ(Move(dir_ / "from/fifo", dir_ / "to"), paramErr);
        fs::rename(dir_ / "from/fifo", dir_ / "to/fifo");
    } else {
        EXPECT_EQ(Move(dir_ / "from/fifo", dir_ / "to"), noErr) << "a rename opens nothing";
    }
    EXPECT_TRUE(fs::is_symlink(dir_ / "to/link") && fs::is_fifo(dir_ / "to/fifo"));
    EXPECT_EQ(Move(dir_ / "from/pkg.app", dir_ / "to", &moved), noErr);
    EXPECT_TRUE(ListNames(dir_ / "from").empty());
    EXPECT_EQ(ListNames(dir_ / "to"), (Names{"fifo", "link", "moved.app", "pkg.app", "renamed:here", "taken"}));
    EXPECT_TRUE(ListNames(dir_ / "to/pkg.app").empty());
    EXPECT_EQ(ReadFile(dir_ / "to/taken") + ReadFile(dir_ / "to/renamed:here"), "theredata");
    EXPECT_EQ(ReadFile(dir_ / "to/moved.app/inner/file"), "inner");
}

// Out of space, a copy or a move leaves nothing behind, and a move takes its source only once its copy is whole.
TEST_P(ObjectCopyTest, AcrossFileSystemsTheSourceGoesOnlyOnceItsCopyIsComplete) {
    const TmpfsMount other(dir_ / "other", "256k");
    if (!other.mounted) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    }
    const std::string big(1 << 20, 'b');
    WriteFile(dir_ / "from/big", big);
    WriteFile(dir_ / "from/huge.app/big", big);
    WriteFile(dir_ / "from/pkg.app/Contents/inner", "inner");
    symlink("pkg.app", (dir_ / "from/link").c_str());
    WriteFile(dir_ / "from/raced", "new");
    FSRef target{};
    ASSERT_EQ(Move(dir_ / "from/pkg.app", other.folder, nullptr, &target), noErr);
    EXPECT_EQ(Compare(target, EntryRef(dir_ / "other/pkg.app")), noErr);
    ASSERT_EQ(Move(dir_ / "from/link", other.folder), noErr);
    EXPECT_EQ(Move(dir_ / "from/big", other.folder), dskFulErr);
    EXPECT_EQ(Copy(dir_ / "from/big", other.folder), dskFulErr);
    EXPECT_EQ(Copy(dir_ / "from/huge.app", other.folder), dskFulErr);
    SetBeforePublishHook([&] { WriteFile(dir_ / "other/raced", "arrived first"); });
    EXPECT_EQ(Move(dir_ / "from/raced", other.folder), dupFNErr);
    SetBeforePublishHook({});
    EXPECT_EQ(ListNames(other.folder), (Names{"link", "pkg.app", "raced"}));
    EXPECT_EQ(ReadFile(dir_ / "other/pkg.app/Contents/inner") + ReadFile(dir_ / "other/raced"), "innerarrived first");
    EXPECT_EQ(fs::read_symlink(dir_ / "other/link"), "pkg.app");
    EXPECT_EQ(ListNames(dir_ / "from"), (Names{"big", "huge.app", "raced"}));
    EXPECT_EQ(ReadFile(dir_ / "from/big") + ReadFile(dir_ / "from/huge.app/big") + ReadFile(dir_ / "from/raced"),
              big + big + "new");
}

INSTANTIATE_TEST_SUITE_P(, ObjectCopyTest, ::testing::ValuesIn(EveryFeatureSetting()), SettingName);

// FAT: no permissions beyond writability, no extended attributes, no links, no RENAME_NOREPLACE.
TEST(ObjectCopyOntoFat, KeepsWhatTheFileSystemCanHoldAndSaysOnceWhatNot) {
    const TempDir dir;
    const bool xattrs = UserXattrsSupported(dir.path());
    for (const char* name : {"a", "b"}) {
        WriteFile(dir / (std::string("from/") + name), name);
        if (xattrs) {
            SetXattr(dir / (std::string("from/") + name), "user.tag", "red");
        }
        chmod((dir / (std::string("from/") + name)).c_str(), 0444);
    }
    SetModified(dir / "from/a", 1000000000);
    fs::create_directories(dir / "to");
    const FSRef into = EntryRef(dir / "to");
    WithholdFileSystemFeatures(kModes | kUserAttributes | kHardLinks | kRenameNoReplace | kUnnamedTemporaries);
    EXPECT_EQ(Copy(dir / "from/a", dir / "to"), noErr);
    const unsigned firstTold = FSTakeUnkeptAttributes(&into);
    EXPECT_EQ(Copy(dir / "from/b", dir / "to"), noErr);
    const unsigned secondTold = FSTakeUnkeptAttributes(&into);
    WithholdFileSystemFeatures(0);
    EXPECT_EQ(firstTold, kFSUnkeptPermissions | (xattrs ? kFSUnkeptExtendedAttributes : 0U));
    EXPECT_EQ(secondTold, 0U) << "told once per file system";
    EXPECT_EQ(ListNames(dir / "to"), (Names{"a", "b"}));
    EXPECT_EQ(ReadFile(dir / "to/a") + ReadFile(dir / "to/b"), "ab");
    EXPECT_EQ(std::get<1>(Status(dir / "to/a")), 1000000000) << "the modification time is kept";
    EXPECT_EQ(GetXattr(dir / "to/a", "user.tag"), std::nullopt);
}

}  // namespace
