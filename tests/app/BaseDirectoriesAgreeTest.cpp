// With HOME unset, `corvane defaults` and `corvane install-services` both find the home in the user
// database and write under the same base directories.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/RunProgram.h"
#include "support/TempDir.h"

using namespace corvane;

namespace fs = std::filesystem;

namespace {

class BaseDirectoriesAgree : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir / "home");
        WriteFile(dir / "passwd", "root:x:0:0:root:" + (dir / "home") + ":/bin/sh\n");
        const ProgramResult probe = run("getent", {"passwd", "0"});
        if (probe.exitStatus != 0 || probe.out.find(":" + (dir / "home") + ":") == std::string::npos) {
            GTEST_SKIP() << "unshare cannot give the program a user database of the test's own (Debian: util-linux): "
                         << probe.err;
        }
    }

    // In namespaces of its own, the program sees a user database whose only user has the test's home, and a
    // read-only root where only the test's folder can be written, so a wrong home cannot reach the machine's.
    ProgramResult run(const std::string& program, const std::vector<std::string>& arguments) {
        const std::map<std::string, std::string> unset{
            {"HOME", ""}, {"XDG_CONFIG_HOME", ""}, {"XDG_DATA_HOME", ""}, {"XDG_CONFIG_DIRS", ""}};
        const std::vector<std::string> launcher{
            "unshare", "--user", "--map-root-user", "--mount", "sh", "-c",
            R"(mount --bind "$0" /etc/passwd && mount --bind "$1" "$1" && mount -o remount,bind,ro / && shift && exec "$@")",
            dir / "passwd", dir.path().string()};
        return RunCorvane(arguments, unset, launcher, program);
    }

    TempDir dir;
};

}  // namespace

TEST_F(BaseDirectoriesAgree, DefaultsAndInstallServicesWriteUnderTheUserDatabaseHome) {
    const ProgramResult defaults = run(CORVANE_BINARY, {"defaults", "write", "RecurseFolders", "-bool", "true"});
    ASSERT_EQ(defaults.exitStatus, 0) << defaults.err;
    const ProgramResult install = run(CORVANE_BINARY, {"install-services"});
    ASSERT_EQ(install.exitStatus, 0) << install.err;

    // Where each wrote: every file under the home, by the folder that holds it within its base directory.
    std::set<std::string> folders;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir / "home")) {
        if (entry.is_regular_file()) {
            const fs::path relative = fs::relative(entry.path(), dir / "home");
            auto part = relative.begin();
            const fs::path base = *part;
            folders.insert((base / *++part).string());
        }
    }
    EXPECT_EQ(folders, (std::set<std::string>{".config/Thunar", ".config/corvane", ".local/share"}));
    EXPECT_TRUE(fs::is_regular_file(dir / "home/.config/corvane/com.fernwick.Corvane.plist"));
    EXPECT_TRUE(fs::is_regular_file(dir / "home/.local/share/dbus-1/services/com.fernwick.Corvane.service"));
    const ProgramResult read = run(CORVANE_BINARY, {"defaults", "read", "RecurseFolders"});
    EXPECT_EQ(read.out, "1\n") << read.err;
}
