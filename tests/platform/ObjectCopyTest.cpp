#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "platform/ObjectCopy.h"
#include "support/TempDir.h"
#include "tests/platform/FilesTestSupport.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kFinderInfo = "user.com.apple.FinderInfo";
constexpr const char* kComment = "user.xdg.comment";

struct stat LinkStatus(const std::string& path) {
    struct stat status {};
    lstat(path.c_str(), &status);
    return status;
}

void SetTimes(const std::string& path, time_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 500}};
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

std::string ReadLink(const std::string& path) {
    std::error_code error;
    return fs::read_symlink(path, error).string();
}

OSErr Copy(const std::string& source, const std::string& folder, const std::u16string* name = nullptr,
           FSRef* target = nullptr) {
    const FSRef item = EntryRef(source);
    const FSRef into = EntryRef(folder);
    return FSCopyObjectSync(&item, &into, name, target, 0);
}

// Runs a hook just before the copy is published, and counts that it ran.
class PublishHook {
public:
    explicit PublishHook(std::function<void()> action) {
        SetBeforePublishHook([this, action] {
            ++runs_;
            action();
        });
    }
    ~PublishHook() { SetBeforePublishHook({}); }
    PublishHook(const PublishHook&) = delete;
    PublishHook& operator=(const PublishHook&) = delete;
    int runs() const { return runs_; }

private:
    int runs_ = 0;
};

class ObjectCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "from");
        fs::create_directories(dir_ / "to");
        xattrs_ = UserXattrsSupported(dir_.path());
    }
    TempDir dir_;
    bool xattrs_ = false;
};

TEST_F(ObjectCopyTest, FileArrivesWithDataPermissionsTimesAndAttributes) {
    const std::string source = dir_ / "from/report.txt";
    WriteFile(source, std::string(300000, 'r'));
    chmod(source.c_str(), 0640);
    if (xattrs_) {
        SetXattr(source, kFinderInfo, std::string(32, '\x01'));
        SetXattr(source, kComment, "the comment");
    }
    SetTimes(source, 1000000000);

    FSRef target{};
    ASSERT_EQ(Copy(source, dir_ / "to", nullptr, &target), noErr);
    const std::string copy = dir_ / "to/report.txt";
    EXPECT_EQ(ReadFile(copy), std::string(300000, 'r'));
    const struct stat copied = LinkStatus(copy);
    EXPECT_EQ(copied.st_mode & 07777, 0640U);
    EXPECT_EQ(copied.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(copied.st_mtim.tv_nsec, 500);
    if (xattrs_) {
        EXPECT_EQ(GetXattr(copy, kFinderInfo), std::string(32, '\x01'));
        EXPECT_EQ(GetXattr(copy, kComment), "the comment");
    }
    const FSRef expected = EntryRef(copy);
    EXPECT_EQ(FSCompareFSRefs(&target, &expected), noErr);
    EXPECT_EQ(ReadFile(source), std::string(300000, 'r'));
    EXPECT_FALSE(HasTemporaries(dir_ / "to"));
}

TEST_F(ObjectCopyTest, NewNameIsACatalogName) {
    WriteFile(dir_ / "from/a", "a");
    const std::u16string name = u"image/jpeg";
    ASSERT_EQ(Copy(dir_ / "from/a", dir_ / "to", &name), noErr);
    EXPECT_EQ(ReadFile(dir_ / "to/image:jpeg"), "a");
    const std::u16string refused = u"a:b";
    EXPECT_EQ(Copy(dir_ / "from/a", dir_ / "to", &refused), bdNamErr);
}

TEST_F(ObjectCopyTest, NeverReplaces) {
    WriteFile(dir_ / "from/same", "new");
    WriteFile(dir_ / "to/same", "old");
    mkdir((dir_ / "from/pkg.app").c_str(), 0755);
    mkdir((dir_ / "to/pkg.app").c_str(), 0755);
    symlink("x", (dir_ / "from/link").c_str());
    WriteFile(dir_ / "to/link", "old");
    EXPECT_EQ(Copy(dir_ / "from/same", dir_ / "to"), dupFNErr);
    EXPECT_EQ(Copy(dir_ / "from/pkg.app", dir_ / "to"), dupFNErr);
    EXPECT_EQ(Copy(dir_ / "from/link", dir_ / "to"), dupFNErr);
    EXPECT_EQ(ReadFile(dir_ / "to/same"), "old");
    EXPECT_EQ(ReadFile(dir_ / "to/link"), "old");
    EXPECT_EQ(ListNames(dir_ / "to"), (std::vector<std::string>{"link", "pkg.app", "same"}));
}

TEST_F(ObjectCopyTest, NameTakenBetweenLookupAndPublish) {
    WriteFile(dir_ / "from/file", "new");
    mkdir((dir_ / "from/pkg.app").c_str(), 0755);
    WriteFile(dir_ / "from/pkg.app/inner", "inner");
    symlink("file", (dir_ / "from/link").c_str());
    for (const char* name : {"file", "pkg.app", "link"}) {
        const std::string taken = dir_ / ("to/" + std::string(name));
        const FSRef item = EntryRef(dir_ / ("from/" + std::string(name)));
        const FSRef into = EntryRef(dir_ / "to");
        const PublishHook hook([&taken] { WriteFile(taken, "arrived first"); });
        EXPECT_EQ(FSCopyObjectSync(&item, &into, nullptr, nullptr, 0), dupFNErr) << name;
        EXPECT_EQ(hook.runs(), 1) << name;
        EXPECT_EQ(ReadFile(taken), "arrived first") << name;
    }
    EXPECT_FALSE(HasTemporaries(dir_ / "to"));
    EXPECT_EQ(ReadFile(dir_ / "from/pkg.app/inner"), "inner");
}

TEST_F(ObjectCopyTest, LinkIsCopiedAsALink) {
    WriteFile(dir_ / "outside/secret", "secret");
    symlink((dir_ / "outside/secret").c_str(), (dir_ / "from/link").c_str());
    symlink("nowhere", (dir_ / "from/dangling").c_str());
    SetTimes(dir_ / "from/link", 1000000000);
    ASSERT_EQ(Copy(dir_ / "from/link", dir_ / "to"), noErr);
    ASSERT_EQ(Copy(dir_ / "from/dangling", dir_ / "to"), noErr);
    EXPECT_TRUE(fs::is_symlink(dir_ / "to/link"));
    EXPECT_EQ(ReadLink(dir_ / "to/link"), dir_ / "outside/secret");
    EXPECT_EQ(LinkStatus(dir_ / "to/link").st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(ReadLink(dir_ / "to/dangling"), "nowhere");
    EXPECT_FALSE(HasTemporaries(dir_ / "to"));
}

TEST_F(ObjectCopyTest, PackageIsCopiedWhole) {
    const std::string package = dir_ / "from/Tool.app";
    WriteFile(package + "/Contents/Info.plist", "plist");
    WriteFile(package + "/Contents/MacOS/tool", "binary");
    chmod((package + "/Contents/MacOS/tool").c_str(), 0755);
    symlink("MacOS/tool", (package + "/Contents/current").c_str());
    WriteFile(package + "/Contents/Resources/locked/readme", "read me");
    chmod((package + "/Contents/Resources/locked").c_str(), 0555);
    if (xattrs_) {
        SetXattr(package, kComment, "package comment");
        SetXattr(package + "/Contents/Info.plist", kFinderInfo, std::string(32, '\x02'));
    }
    SetTimes(package + "/Contents", 1000000000);
    SetTimes(package, 1100000000);

    FSRef target{};
    ASSERT_EQ(Copy(package, dir_ / "to", nullptr, &target), noErr);
    const std::string copy = dir_ / "to/Tool.app";
    EXPECT_EQ(ReadFile(copy + "/Contents/Info.plist"), "plist");
    EXPECT_EQ(ReadFile(copy + "/Contents/MacOS/tool"), "binary");
    EXPECT_EQ(LinkStatus(copy + "/Contents/MacOS/tool").st_mode & 07777, 0755U);
    EXPECT_EQ(ReadLink(copy + "/Contents/current"), "MacOS/tool");
    EXPECT_EQ(ReadFile(copy + "/Contents/Resources/locked/readme"), "read me");
    EXPECT_EQ(LinkStatus(copy + "/Contents/Resources/locked").st_mode & 07777, 0555U);
    EXPECT_EQ(LinkStatus(copy + "/Contents").st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(LinkStatus(copy).st_mtim.tv_sec, 1100000000);
    if (xattrs_) {
        EXPECT_EQ(GetXattr(copy, kComment), "package comment");
        EXPECT_EQ(GetXattr(copy + "/Contents/Info.plist", kFinderInfo), std::string(32, '\x02'));
    }
    EXPECT_TRUE(FSIsFSRefValid(&target));
    EXPECT_FALSE(HasTemporaries(dir_ / "to"));
    EXPECT_EQ(ReadFile(package + "/Contents/MacOS/tool"), "binary");
}

TEST_F(ObjectCopyTest, FolderIntoItselfIsRefused) {
    WriteFile(dir_ / "from/pkg.app/inner/file", "");
    EXPECT_EQ(Copy(dir_ / "from/pkg.app", dir_ / "from/pkg.app/inner"), paramErr);
    EXPECT_EQ(Copy(dir_ / "from/pkg.app", dir_ / "from/pkg.app"), paramErr);
    EXPECT_EQ(ListNames(dir_ / "from/pkg.app/inner"), (std::vector<std::string>{"file"}));
}

TEST_F(ObjectCopyTest, SpecialFilesAreNeverOpened) {
    // A FIFO without a writer blocks whoever opens it for reading: run the copy where a hang
    // ends in a signal instead of a stuck test.
    ASSERT_EQ(mkfifo((dir_ / "from/fifo").c_str(), 0644), 0);
    WriteFile(dir_ / "from/pkg.app/file", "");
    ASSERT_EQ(mkfifo((dir_ / "from/pkg.app/fifo").c_str(), 0644), 0);
    const std::string folder = dir_.path();
    const pid_t child = fork();
    if (child == 0) {
        alarm(30);
        const bool fifo = Copy(folder + "/from/fifo", folder + "/to") == paramErr;
        const bool package = Copy(folder + "/from/pkg.app", folder + "/to") == paramErr;
        _exit(fifo && package ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "the copy blocked or crashed";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(ListNames(dir_ / "to").empty());
}

TEST_F(ObjectCopyTest, OutOfSpaceLeavesNothingBehind) {
    const TmpfsMount small(dir_ / "small", "256k");
    if (!small.mounted()) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    }
    const std::string big(1 << 20, 'b');
    WriteFile(dir_ / "from/big", big);
    WriteFile(dir_ / "from/pkg.app/big", big);
    WriteFile(dir_ / "small/kept", "kept");
    EXPECT_EQ(Copy(dir_ / "from/big", dir_ / "small"), dskFulErr);
    EXPECT_EQ(Copy(dir_ / "from/pkg.app", dir_ / "small"), dskFulErr);
    EXPECT_EQ(ListNames(dir_ / "small"), (std::vector<std::string>{"kept"}));
    EXPECT_EQ(ReadFile(dir_ / "from/big"), big);
    EXPECT_EQ(ReadFile(dir_ / "from/pkg.app/big"), big);
}

TEST_F(ObjectCopyTest, DestinationWithoutUserAttributesStillGetsTheData) {
    if (!xattrs_) {
        GTEST_SKIP() << "no user extended attributes on the source side";
    }
    fs::create_directories(dir_ / "plain");
    if (mount("ramfs", (dir_ / "plain").c_str(), "ramfs", 0, nullptr) != 0) {
        GTEST_SKIP() << "cannot mount a ramfs here (needs root)";
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
                  const bool package = Copy(folder + "/from/pkg.app", folder + "/to") == afpAccessDenied;
                  return file && package ? 0 : 1;
              }),
              0);
    EXPECT_TRUE(ListNames(dir_ / "to").empty());
}

TEST_F(ObjectCopyTest, OnlyTheDefaultOptions) {
    WriteFile(dir_ / "from/file", "");
    const FSRef item = EntryRef(dir_ / "from/file");
    const FSRef into = EntryRef(dir_ / "to");
    EXPECT_EQ(FSCopyObjectSync(&item, &into, nullptr, nullptr, 1), paramErr);
    EXPECT_EQ(FSCopyObjectSync(&item, &item, nullptr, nullptr, 0), errFSNotAFolder);
    EXPECT_TRUE(ListNames(dir_ / "to").empty());
}

}  // namespace
