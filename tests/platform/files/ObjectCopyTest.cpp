#include <fcntl.h>
#include <sys/stat.h>

#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "platform/files/internal/ObjectCopy.h"
#include "support/FilesTestSupport.h"
#include "support/WithheldFeatures.h"

using namespace corvane;

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

// The entry's own permission bits and modification time.
std::tuple<unsigned, time_t, long> Status(const std::string& path) {
    struct stat status {};
    lstat(path.c_str(), &status);
    return {status.st_mode & 07777, status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
}

OSErr Copy(const std::string& source, const std::string& folder) {
    const FSRef item = EntryRef(source);
    const FSRef into = EntryRef(folder);
    return FSCopyObjectSync(&item, &into, nullptr, nullptr, 0);
}

// Every test runs with all features, without each one, and without any: the fallbacks run here too.
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
        int runs = 0;
        SetBeforePublishHook([&] {
            ++runs;
            if (folder) {
                fs::create_directory(taken);
            } else {
                WriteFile(taken, "arrived first");
            }
        });
        EXPECT_EQ(Copy(dir_ / (std::string("from/") + name), dir_ / "to"), dupFNErr) << name;
        SetBeforePublishHook({});
        EXPECT_EQ(runs, 1) << name;
        EXPECT_TRUE(folder ? fs::is_empty(taken) : !fs::is_symlink(taken) && ReadFile(taken) == "arrived first")
            << name << " was replaced";
    }
    EXPECT_EQ(ListNames(dir_ / "to"), (Names{"file", "link", "pkg.app"})) << "no temporary left";
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
    EXPECT_EQ(ListNames(dir_ / "to"), (Names{"Tool.app", "current", "empty", "tool"})) << "no temporary left";
    EXPECT_EQ(ReadFile(dir_ / "to/tool") + ReadFile(dir_ / "to/empty"), data);
    const std::string copy = dir_ / "to/Tool.app";
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

TEST_P(ObjectCopyTest, SpecialFilesAreNeverOpened) {
    WriteFile(dir_ / "from/pkg.app/file", "");
    ASSERT_EQ(mkfifo((dir_ / "from/pkg.app/fifo").c_str(), 0644), 0);
    // Opening a FIFO without a writer blocks: in a child, a hang ends in a signal, not a stuck test.
    const pid_t child = fork();
    if (child == 0) {
        alarm(30);
        _exit(Copy(dir_ / "from/pkg.app", dir_ / "to") == paramErr ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the copy blocked, crashed or went ahead";
    EXPECT_TRUE(ListNames(dir_ / "to").empty());
}

TEST_P(ObjectCopyTest, OutOfSpaceLeavesNothingBehind) {
    const TmpfsMount small(dir_ / "small", "256k");
    if (!small.mounted) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    }
    const std::string big(1 << 20, 'b');
    WriteFile(dir_ / "from/big", big);
    WriteFile(dir_ / "from/pkg.app/big", big);
    EXPECT_EQ(Copy(dir_ / "from/big", dir_ / "small"), dskFulErr);
    EXPECT_EQ(Copy(dir_ / "from/pkg.app", dir_ / "small"), dskFulErr);
    EXPECT_TRUE(ListNames(dir_ / "small").empty()) << "no partial copy, no temporary";
    EXPECT_EQ(ReadFile(dir_ / "from/big") + ReadFile(dir_ / "from/pkg.app/big"), big + big);
}

TEST_P(ObjectCopyTest, FolderTheUserMayNotWrite) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to switch to an unprivileged user";
    }
    chmod(dir_.path().c_str(), 0755);
    WriteFile(dir_ / "from/file", "data");
    EXPECT_EQ(RunAsNobody([&] { return Copy(dir_ / "from/file", dir_ / "to") == afpAccessDenied ? 0 : 1; }), 0);
    EXPECT_TRUE(ListNames(dir_ / "to").empty());
}

INSTANTIATE_TEST_SUITE_P(, ObjectCopyTest, ::testing::ValuesIn(EveryFeatureSetting()), SettingName);

// FAT: no permissions beyond writability, no extended attributes, no links, no RENAME_NOREPLACE.
TEST(ObjectCopyOntoFat, KeepsWhatTheFileSystemCanHoldAndSaysOnceWhatNot) {
    const TempDir dir;
    WithholdFileSystemFeatures(kModes | kUserAttributes | kHardLinks | kRenameNoReplace | kUnnamedTemporaries);
    fs::create_directories(dir / "to");
    for (const char* name : {"a", "b"}) {
        WriteFile(dir / (std::string("from/") + name), name);
        if (UserXattrsSupported(dir.path())) {
            SetXattr(dir / (std::string("from/") + name), "user.tag", "red");
        }
        chmod((dir / (std::string("from/") + name)).c_str(), 0444);
    }
    const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    utimensat(AT_FDCWD, (dir / "from/a").c_str(), times, 0);
    const FSRef into = EntryRef(dir / "to");
    EXPECT_EQ(Copy(dir / "from/a", dir / "to"), noErr);
    const unsigned firstTold = FSTakeUnkeptAttributes(&into);
    EXPECT_EQ(Copy(dir / "from/b", dir / "to"), noErr);
    const unsigned secondTold = FSTakeUnkeptAttributes(&into);
    WithholdFileSystemFeatures(0);
    EXPECT_EQ(firstTold, kFSUnkeptPermissions | (UserXattrsSupported(dir.path()) ? kFSUnkeptExtendedAttributes : 0U));
    EXPECT_EQ(secondTold, 0U) << "told once per file system";
    EXPECT_EQ(ListNames(dir / "to"), (Names{"a", "b"}));
    EXPECT_EQ(ReadFile(dir / "to/a") + ReadFile(dir / "to/b"), "ab");
    EXPECT_EQ(std::get<1>(Status(dir / "to/a")), 1000000000) << "the modification time is kept";
    EXPECT_EQ(GetXattr(dir / "to/a", "user.tag"), std::nullopt);
}

}  // namespace
