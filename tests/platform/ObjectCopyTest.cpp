#include <fcntl.h>
#include <sys/stat.h>

#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ObjectCopy.h"
#include "support/FilesTestSupport.h"

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

class ObjectCopyTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir_ / "to"); }
    TempDir dir_;
};

TEST_F(ObjectCopyTest, NeverReplacesEvenANameTakenJustBeforePublishing) {
    WriteFile(dir_ / "from/file", "new");
    WriteFile(dir_ / "from/pkg.app/inner", "inner");
    symlink("file", (dir_ / "from/link").c_str());
    for (const std::string name : {"file", "pkg.app", "link"}) {
        const std::string taken = dir_ / ("to/" + name);
        int runs = 0;
        SetBeforePublishHook([&] {
            ++runs;
            WriteFile(taken, "arrived first");
        });
        EXPECT_EQ(Copy(dir_ / ("from/" + name), dir_ / "to"), dupFNErr) << name;
        SetBeforePublishHook({});
        EXPECT_EQ(ReadFile(taken) + std::to_string(runs), "arrived first1") << name;
    }
    EXPECT_EQ(ListNames(dir_ / "to"), (Names{"file", "link", "pkg.app"})) << "no temporary left";
}

TEST_F(ObjectCopyTest, FilesLinksAndPackagesArriveWithPermissionsTimesAndAttributes) {
    const std::string package = dir_ / "from/Tool.app";
    const std::string tool = package + "/Contents/tool";
    const std::string data(300000, 'r');
    WriteFile(tool, data);
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
    ASSERT_EQ(Copy(package, dir_ / "to"), noErr);
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

TEST_F(ObjectCopyTest, SpecialFilesAreNeverOpened) {
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

TEST_F(ObjectCopyTest, OutOfSpaceLeavesNothingBehind) {
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

TEST_F(ObjectCopyTest, FolderTheUserMayNotWrite) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to switch to an unprivileged user";
    }
    chmod(dir_.path().c_str(), 0755);
    WriteFile(dir_ / "from/file", "data");
    EXPECT_EQ(RunAsNobody([&] { return Copy(dir_ / "from/file", dir_ / "to") == afpAccessDenied ? 0 : 1; }), 0);
    EXPECT_TRUE(ListNames(dir_ / "to").empty());
}

}  // namespace
