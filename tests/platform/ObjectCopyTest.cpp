#include <fcntl.h>
#include <sys/stat.h>

#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ObjectCopy.h"
#include "tests/platform/FilesTestSupport.h"

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;
constexpr const char* kFinderInfo = "user.com.apple.FinderInfo";
constexpr const char* kComment = "user.xdg.comment";

// The entry's own permission bits and modification time.
std::tuple<unsigned, time_t, long> Status(const std::string& path) {
    struct stat status {};
    lstat(path.c_str(), &status);
    return {status.st_mode & 07777, status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
}

void SetTimes(const std::string& path, time_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 500}};
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

OSErr Copy(const std::string& source, const std::string& folder, const std::u16string* name = nullptr,
           FSRef* target = nullptr) {
    const FSRef item = EntryRef(source);
    const FSRef into = EntryRef(folder);
    return FSCopyObjectSync(&item, &into, name, target, 0);
}

class ObjectCopyTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir_ / "to"); }
    TempDir dir_;
    const bool xattrs_ = UserXattrsSupported(dir_.path());
};

TEST_F(ObjectCopyTest, NeverReplacesEvenANameTakenJustBeforePublishing) {
    WriteFile(dir_ / "from/file", "new");
    WriteFile(dir_ / "from/pkg.app/inner", "inner");
    symlink("file", (dir_ / "from/link").c_str());
    WriteFile(dir_ / "to/old/file", "old");
    WriteFile(dir_ / "to/old/link", "old");
    fs::create_directories(dir_ / "to/old/pkg.app");
    for (const std::string name : {"file", "pkg.app", "link"}) {
        EXPECT_EQ(Copy(dir_ / ("from/" + name), dir_ / "to/old"), dupFNErr) << name;
        const std::string taken = dir_ / ("to/" + name);
        int runs = 0;
        SetBeforePublishHook([&] {
            ++runs;
            WriteFile(taken, "arrived first");
        });
        EXPECT_EQ(Copy(dir_ / ("from/" + name), dir_ / "to"), dupFNErr) << name;
        SetBeforePublishHook({});
        EXPECT_EQ(runs, 1) << name;
        EXPECT_EQ(ReadFile(taken), "arrived first") << name;
    }
    EXPECT_EQ(ReadFile(dir_ / "to/old/file") + ReadFile(dir_ / "to/old/link"), "oldold");
    EXPECT_TRUE(ListNames(dir_ / "to/old/pkg.app").empty()) << "not even an empty folder is replaced";
    EXPECT_EQ(ListNames(dir_ / "to"), (Names{"file", "link", "old", "pkg.app"})) << "no temporary left";
    EXPECT_EQ(ReadFile(dir_ / "from/pkg.app/inner"), "inner");
}

TEST_F(ObjectCopyTest, FilesLinksAndPackagesArriveWithPermissionsTimesAndAttributes) {
    const std::string package = dir_ / "from/Tool.app";
    const std::string tool = package + "/Contents/MacOS/tool";
    const std::string data(300000, 'r');
    WriteFile(tool, data);
    chmod(tool.c_str(), 0751);
    symlink("MacOS/tool", (package + "/Contents/current").c_str());
    symlink("nowhere", (dir_ / "from/dangling").c_str());
    WriteFile(package + "/Contents/locked/readme", "read me");
    chmod((package + "/Contents/locked").c_str(), 0555);
    if (xattrs_) {
        SetXattr(package, kComment, "package comment");
        SetXattr(tool, kFinderInfo, std::string(32, '\x01'));
    }
    for (const std::string& entry : {tool, package + "/Contents/current", package + "/Contents", package}) {
        SetTimes(entry, 1000000000);
    }
    FSRef target{};
    const std::u16string name = u"image/jpeg";
    ASSERT_EQ(Copy(tool, dir_ / "to", &name, &target), noErr);
    EXPECT_EQ(Compare(target, EntryRef(dir_ / "to/image:jpeg")), noErr);
    ASSERT_EQ(Copy(dir_ / "from/dangling", dir_ / "to"), noErr);
    ASSERT_EQ(Copy(package, dir_ / "to"), noErr);
    const std::string copy = dir_ / "to/Tool.app";
    EXPECT_EQ(ListNames(dir_ / "to"), (Names{"Tool.app", "dangling", "image:jpeg"})) << "no temporary left";
    EXPECT_EQ(ReadFile(dir_ / "to/image:jpeg"), data);
    EXPECT_EQ(Status(dir_ / "to/image:jpeg"), Status(tool));
    EXPECT_EQ(fs::read_symlink(dir_ / "to/dangling"), "nowhere");
    EXPECT_EQ(fs::read_symlink(copy + "/Contents/current"), "MacOS/tool");
    EXPECT_EQ(ReadFile(copy + "/Contents/MacOS/tool"), data);
    EXPECT_EQ(ReadFile(copy + "/Contents/locked/readme"), "read me");
    for (const char* entry : {"", "/Contents", "/Contents/MacOS/tool", "/Contents/current", "/Contents/locked"}) {
        EXPECT_EQ(Status(copy + entry), Status(package + entry)) << entry;
    }
    if (xattrs_) {
        EXPECT_EQ(GetXattr(copy, kComment), "package comment");
        EXPECT_EQ(GetXattr(dir_ / "to/image:jpeg", kFinderInfo), std::string(32, '\x01'));
        EXPECT_EQ(GetXattr(copy + "/Contents/MacOS/tool", kFinderInfo), std::string(32, '\x01'));
    }
    EXPECT_EQ(ReadFile(tool), data);
}

TEST_F(ObjectCopyTest, RefusedCopiesLeaveNothing) {
    WriteFile(dir_ / "from/pkg.app/inner/file", "");
    const FSRef item = EntryRef(dir_ / "from/pkg.app/inner/file");
    const FSRef into = EntryRef(dir_ / "to");
    EXPECT_EQ(FSCopyObjectSync(&item, &into, nullptr, nullptr, 1), paramErr) << "options other than 0";
    EXPECT_EQ(FSCopyObjectSync(&item, &item, nullptr, nullptr, 0), errFSNotAFolder);
    EXPECT_EQ(Copy(dir_ / "from/pkg.app", dir_ / "from/pkg.app/inner"), paramErr);
    EXPECT_EQ(Copy(dir_ / "from/pkg.app", dir_ / "from/pkg.app"), paramErr);
    EXPECT_EQ(ListNames(dir_ / "from/pkg.app/inner"), Names{"file"});
    EXPECT_TRUE(ListNames(dir_ / "to").empty());
}

TEST_F(ObjectCopyTest, SpecialFilesAreNeverOpened) {
    WriteFile(dir_ / "from/pkg.app/file", "");
    ASSERT_EQ(mkfifo((dir_ / "from/fifo").c_str(), 0644), 0);
    ASSERT_EQ(mkfifo((dir_ / "from/pkg.app/fifo").c_str(), 0644), 0);
    const std::string folder = dir_.path();
    // Opening a FIFO without a writer blocks: in a child, a hang ends in a signal, not a stuck test.
    const pid_t child = fork();
    if (child == 0) {
        alarm(30);
        const bool fifo = Copy(folder + "/from/fifo", folder + "/to") == paramErr;
        _exit(fifo && Copy(folder + "/from/pkg.app", folder + "/to") == paramErr ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "the copy blocked or crashed";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(ListNames(dir_ / "to").empty());
}

TEST_F(ObjectCopyTest, OutOfSpaceLeavesNothingBehind) {
    const TmpfsMount small(dir_ / "small", "256k");
    if (!small.mounted) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    }
    const std::string big(1 << 20, 'b');
    WriteFile(dir_ / "from/big", big);
    WriteFile(dir_ / "from/pkg.app/big", big);
    WriteFile(dir_ / "small/kept", "kept");
    EXPECT_EQ(Copy(dir_ / "from/big", dir_ / "small"), dskFulErr);
    EXPECT_EQ(Copy(dir_ / "from/pkg.app", dir_ / "small"), dskFulErr);
    EXPECT_EQ(ListNames(dir_ / "small"), Names{"kept"}) << "no partial copy, no temporary";
    EXPECT_EQ(ReadFile(dir_ / "from/big"), big);
    EXPECT_EQ(ReadFile(dir_ / "from/pkg.app/big"), big);
}

TEST_F(ObjectCopyTest, DestinationWithoutUserAttributesStillGetsTheData) {
    fs::create_directories(dir_ / "plain");
    if (!xattrs_ || mount("ramfs", (dir_ / "plain").c_str(), "ramfs", 0, nullptr) != 0) {
        GTEST_SKIP() << "needs user extended attributes here and root to mount a ramfs";
    }
    WriteFile(dir_ / "from/file", "data");
    SetXattr(dir_ / "from/file", kComment, "cannot follow");
    const OSErr status = Copy(dir_ / "from/file", dir_ / "plain");
    const std::string copied = ReadFile(dir_ / "plain/file");
    umount2((dir_ / "plain").c_str(), MNT_DETACH);
    EXPECT_EQ(status, noErr);
    EXPECT_EQ(copied, "data");
}

TEST_F(ObjectCopyTest, FolderTheUserMayNotWrite) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to switch to an unprivileged user";
    }
    chmod(dir_.path().c_str(), 0755);
    WriteFile(dir_ / "from/file", "data");
    WriteFile(dir_ / "from/pkg.app/file", "data");
    chmod((dir_ / "from/file").c_str(), 0644);
    const std::string folder = dir_.path();
    EXPECT_EQ(RunAsNobody([&folder] {
                  const bool file = Copy(folder + "/from/file", folder + "/to") == afpAccessDenied;
                  return file && Copy(folder + "/from/pkg.app", folder + "/to") == afpAccessDenied ? 0 : 1;
              }),
              0);
    EXPECT_TRUE(ListNames(dir_ / "to").empty());
}

}  // namespace
