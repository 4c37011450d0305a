// Every reader and writer of configuration uses the same base directories, also when HOME is unset or
// the XDG variables are unusable; then `defaults` and `install-services` write under the user database's home.

#include <pwd.h>
#include <unistd.h>

#include <set>

#include "desktop/ServicesDeclarations.h"
#include "platform/prefs/Preferences.h"
#include "platform/types/InternetConfig.h"
#include "platform/types/TypeDatabase.h"
#include "support/RunProgram.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

using namespace corvane;

namespace fs = std::filesystem;

namespace {

std::string UserDatabaseHome() {
    const passwd* user = getpwuid(getuid());
    const std::string home = user != nullptr && user->pw_dir != nullptr && user->pw_dir[0] == '/' ? user->pw_dir : "/";
    return home.ends_with('/') ? home.substr(0, home.size() - 1) : home;
}

class BaseDirectoryUsers : public testing::Test {
protected:
    TempDir dir;
    ScopedEnvironment environment;
};

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

// Only the names are asked for here, so the user's real home is never written.
TEST_F(BaseDirectoryUsers, EveryFileIsNamedUnderTheSameHome) {
    const struct {
        std::string home;  // empty: unset
        std::string xdgValue;
        std::string expectedHome;
    } cases[] = {
        {dir / "home", "", dir / "home"},
        {dir / "home", "relative/folder", dir / "home"},
        {"", "", UserDatabaseHome()},
        {"", "relative/folder", UserDatabaseHome()},
    };
    for (const auto& [home, xdgValue, expectedHome] : cases) {
        SCOPED_TRACE("HOME \"" + home + "\", XDG homes \"" + xdgValue + "\"");
        environment.set("HOME", home);
        environment.set("XDG_CONFIG_HOME", xdgValue);
        environment.set("XDG_DATA_HOME", xdgValue);
        EXPECT_EQ(PreferencesFilePath(kCorvanePreferenceDomain),
                  expectedHome + "/.config/corvane/" + kCorvanePreferenceDomain + ".plist");
        EXPECT_EQ(ThunarActionsFilePath(), expectedHome + "/.config/Thunar/uca.xml");
        for (const ServicesDeclarationFile& file : ServicesDeclarationFiles("/opt/corvane", kCommands)) {
            EXPECT_TRUE(file.path.starts_with(expectedHome + "/.local/share/")) << file.path;
        }
    }
}

TEST_F(BaseDirectoryUsers, TheUsersMappingAndMimeTypesAreReadFromTheHomeWhenTheVariablesAreRelative) {
    environment.set("HOME", dir / "home");
    environment.set("XDG_CONFIG_HOME", "config");
    environment.set("XDG_DATA_HOME", "data");
    environment.set("XDG_DATA_DIRS", dir / "system");
    const std::string mapping = dir / "home/.config/corvane/extension-mapping.plist";
    WriteFile(mapping, "<plist><array/></plist>");
    WriteFile(dir / "home/.local/share/mime/globs2", "50:application/x-corvane-probe:*.probe\n");
    EXPECT_EQ(ICMappingFilePath(), std::optional<std::string>(mapping));
    ASSERT_EQ(LoadTypeDatabase(), noErr);
    EXPECT_EQ(UTTypeCopyPreferredTagWithClass(
                  UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, "probe"), kUTTagClassMIMEType),
              std::optional<std::string>("application/x-corvane-probe"));
}

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
