// Preferences, the extension mapping, the MIME database and the menu declarations look in the same
// base directories, also when HOME is unset and the XDG variables hold nothing usable.
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "desktop/ServicesDeclarations.h"
#include "platform/prefs/Preferences.h"
#include "platform/types/InternetConfig.h"
#include "platform/types/TypeDatabase.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

using namespace corvane;

namespace {

const std::vector<std::string> kCommands{"Aggregate Files by Extension"};

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
