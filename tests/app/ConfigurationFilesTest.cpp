// Configuration files: every reader and writer uses the same base directories, whatever HOME and the XDG
// variables say; and a hostile file there (a FIFO, a device, huge, nested, cut short, junk) is named and passed.

#include "support/HostileFiles.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

using namespace corvane;

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

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
    // HOME is unset and the XDG homes relative, which makes them unusable.
    ProgramResult run(const std::string& program, const std::vector<std::string>& arguments) {
        const std::map<std::string, std::string> unusable{{"HOME", ""},
                                                          {"XDG_CONFIG_HOME", "relative/config"},
                                                          {"XDG_DATA_HOME", "relative/data"},
                                                          {"XDG_CONFIG_DIRS", ""}};
        const std::vector<std::string> launcher{
            "unshare", "--user", "--map-root-user", "--mount", "sh", "-c",
            R"(mount --bind "$0" /etc/passwd && mount --bind "$1" "$1" && )"
            R"(mount -o remount,bind,ro / && shift && exec "$@")",
            dir / "passwd", dir.path().string()};
        return RunCorvane(arguments, unusable, launcher, program);
    }

    TempDir dir;
};

// A complete, sound configuration, so that the only complaint is about the file spoiled.
class HostileConfiguration : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir / "system-data/mime/globs2", "50:text/plain:*.txt\n");
        for (const std::string name : {"extension-mapping.plist", "package-extensions"}) {
            share(name);
        }
        WriteFile(dir / "Folder/a.txt", "a");
    }
    void share(const std::string& name) {
        fs::create_directories(dir / "shared");
        fs::copy_file(CORVANE_SOURCE_DIR "/packaging/" + name, dir / ("shared/" + name));
    }
    ProgramResult corvane(const std::vector<std::string>& arguments) {
        return RunCorvaneWithin(10s, arguments,
                                {{"HOME", dir / "home"}, {"XDG_CONFIG_HOME", dir / "config"},
                                 {"XDG_CONFIG_DIRS", dir / "etc"}, {"XDG_DATA_HOME", dir / "data"},
                                 {"XDG_DATA_DIRS", dir / "system-data"}, {"CORVANE_DATA_DIR", dir / "shared"}});
    }
    TempDir dir;
};

}  // namespace

TEST_F(BaseDirectoriesAgree, EveryFileIsWrittenAndReadUnderTheUserDatabaseHome) {
    const ProgramResult defaults = run(CORVANE_BINARY, {"defaults", "write", "RecurseFolders", "-bool", "true"});
    ASSERT_EQ(defaults.exitStatus, 0) << defaults.err;
    const ProgramResult install = run(CORVANE_BINARY, {"install-services"});
    ASSERT_EQ(install.exitStatus, 0) << install.err;

    // Each wrote within its own base directory, and nowhere else.
    EXPECT_EQ(ListNames(dir / "home"), (Names{".config", ".local"}));
    EXPECT_EQ(ListNames(dir / "home/.config"), (Names{"Thunar", "corvane"}));
    EXPECT_EQ(ListNames(dir / "home/.local"), Names{"share"});
    EXPECT_TRUE(fs::is_regular_file(dir / "home/.local/share/dbus-1/services/com.fernwick.Corvane.service"));
    const ProgramResult read = run(CORVANE_BINARY, {"defaults", "read", "RecurseFolders"});
    EXPECT_EQ(read.out, "1\n") << read.err;
    // The commands read the user's extension mapping and MIME types there too.
    WriteFile(dir / "home/.config/corvane/extension-mapping.plist", "<plist><array><dict><key>extension</key>"
              "<string>.probe</string><key>file type</key><string>PRBE</string></dict></array></plist>");
    WriteFile(dir / "home/.local/share/mime/globs2", "50:application/x-corvane-probe:*.probe\n");
    WriteFile(dir / "Folder/a.probe", "p");
    for (const char* command : {"Aggregate Files by File Type", "Aggregate Files by Mime Type"}) {
        run(CORVANE_BINARY, {"run", command, dir / "Folder"});
    }
    EXPECT_EQ(ListNames(dir / "Folder"), (Names{"PRBE", "a.probe", "application:x-corvane-probe"}));
}

TEST_F(HostileConfiguration, EachFileReadAtStartUpIsNamedOnceAndTheRunGoesOn) {
    struct Place {
        std::string path;
        std::string line;
        std::vector<HostileKind> kinds;
    };
    // A text file of lines is only refused whole when none of its lines is of use.
    const std::vector<HostileKind> noRegularFile{HostileKind::fifo, HostileKind::device, HostileKind::huge};
    std::vector<HostileKind> noGlobs = noRegularFile;
    noGlobs.push_back(HostileKind::junk);
    const std::vector<Place> places{
        {"config/corvane/com.fernwick.Corvane.plist", "Preferences", AllHostileKinds()},
        {"config/corvane/extension-mapping.plist", "Extension mapping", AllHostileKinds()},
        {"shared/extension-mapping.plist", "Extension mapping", AllHostileKinds()},
        {"data/mime/globs2", "MIME type database", noGlobs},
        {"shared/package-extensions", "Package extensions", noRegularFile},
    };
    for (const Place& place : places) {
        for (const HostileKind kind : place.kinds) {
            SCOPED_TRACE(place.path + " as " + HostileKindName(kind));
            fs::remove(dir / place.path);
            MakeHostileFile(kind, dir / place.path);
            const ProgramResult result = corvane({"run", "Aggregate Files by File Type", dir / "Folder"});
            EXPECT_FALSE(result.timedOut) << "the program hangs";
            EXPECT_EQ(result.exitStatus, 0) << result.err;
            std::vector<std::string> lines = result.logLines();
            std::erase_if(lines, [](const std::string& line) {
                return line.starts_with("Aggregating folder ") || line.starts_with("Moving: ") ||
                       line.starts_with("Moved ");
            });
            ASSERT_EQ(lines.size(), 1u) << result.err;
            EXPECT_TRUE(lines[0].starts_with(place.line + " \"" + dir / place.path + "\": ")) << lines[0];
        }
        fs::remove(dir / place.path);
        if (place.path.starts_with("shared/")) {
            share(place.path.substr(7));
        }
    }
}

TEST_F(HostileConfiguration, ThunarActionsThatCannotBeReadStopInstallingWithTheReason) {
    for (const std::string place : {"config/Thunar/uca.xml", "etc/Thunar/uca.xml"}) {
        for (const HostileKind kind :
             {HostileKind::fifo, HostileKind::device, HostileKind::huge, HostileKind::deepXml}) {
            SCOPED_TRACE(place + " as " + HostileKindName(kind));
            MakeHostileFile(kind, dir / place);
            const ProgramResult result = corvane({"install-services"});
            EXPECT_FALSE(result.timedOut) << "the program hangs";
            EXPECT_EQ(result.exitStatus, 1) << result.err;
            EXPECT_NE(result.err.find(dir / place), std::string::npos) << result.err;
            fs::remove(dir / place);
        }
    }
}
