// Whatever a configuration file is (a FIFO, a link to a device, huge, nested without end, cut short,
// junk), the program neither hangs nor crashes: it names the file in one log line and goes on with
// the defaults.

#include "support/HostileFiles.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

using namespace corvane;

namespace {

using namespace std::chrono_literals;

class HostileConfiguration : public ::testing::Test {
protected:
    void SetUp() override {
        // A complete, sound configuration, so that the only complaint is about the file spoiled.
        WriteFile(dir / "system-data/mime/globs2", "50:text/plain:*.txt\n");
        for (const char* name : {"extension-mapping.plist", "package-extensions"}) {
            std::filesystem::create_directories(dir / "shared");
            std::filesystem::copy_file(std::string(CORVANE_SOURCE_DIR "/packaging/") + name, dir / ("shared/" + std::string(name)));
        }
        WriteFile(dir / "Folder/a.txt", "a");
    }
    std::map<std::string, std::string> environment() {
        return {{"HOME", dir / "home"},          {"XDG_CONFIG_HOME", dir / "config"},
                {"XDG_CONFIG_DIRS", dir / "etc"}, {"XDG_DATA_HOME", dir / "data"},
                {"XDG_DATA_DIRS", dir / "system-data"}, {"CORVANE_DATA_DIR", dir / "shared"}};
    }
    // The log lines besides those of the run itself.
    std::vector<std::string> complaints(const ProgramResult& result) {
        std::vector<std::string> lines;
        for (const std::string& line : result.logLines()) {
            if (!line.starts_with("Aggregating folder ") && !line.starts_with("Moving: ") && !line.starts_with("Moved ")) {
                lines.push_back(line);
            }
        }
        return lines;
    }
    TempDir dir;
};

TEST_F(HostileConfiguration, EachFileReadAtStartUpIsNamedOnceAndTheRunGoesOn) {
    const ProgramResult sound = RunCorvaneWithin(10s, {"run", "Aggregate Files by File Type", dir / "Folder"}, environment());
    ASSERT_EQ(sound.exitStatus, 0) << sound.err;
    ASSERT_EQ(complaints(sound), std::vector<std::string>{}) << "the configuration of the test is sound";

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
            if (place.path.starts_with("shared/")) {
                std::filesystem::rename(dir / place.path, dir / "kept");
            }
            MakeHostileFile(kind, dir / place.path);
            const ProgramResult result =
                RunCorvaneWithin(10s, {"run", "Aggregate Files by File Type", dir / "Folder"}, environment());
            EXPECT_FALSE(result.timedOut) << "the program hangs";
            EXPECT_EQ(result.exitStatus, 0) << result.err;
            const std::vector<std::string> lines = complaints(result);
            ASSERT_EQ(lines.size(), 1u) << result.err;
            EXPECT_TRUE(lines[0].starts_with(place.line + " \"" + dir / place.path + "\": ")) << lines[0];
            std::filesystem::remove(dir / place.path);
            if (place.path.starts_with("shared/")) {
                std::filesystem::rename(dir / "kept", dir / place.path);
            }
        }
    }
}

TEST_F(HostileConfiguration, ThunarActionsThatCannotBeReadStopInstallingWithTheReason) {
    for (const std::string place : {"config/Thunar/uca.xml", "etc/Thunar/uca.xml"}) {
        for (const HostileKind kind : {HostileKind::fifo, HostileKind::device, HostileKind::huge, HostileKind::deepXml}) {
            SCOPED_TRACE(place + " as " + HostileKindName(kind));
            MakeHostileFile(kind, dir / place);
            const ProgramResult result = RunCorvaneWithin(10s, {"install-services"}, environment());
            EXPECT_FALSE(result.timedOut) << "the program hangs";
            EXPECT_EQ(result.exitStatus, 1) << result.err;
            EXPECT_NE(result.err.find(dir / place), std::string::npos) << result.err;
            std::filesystem::remove(dir / place);
        }
    }
}

}  // namespace
