// The declarations for Dolphin, GNOME Files, Nemo and Thunar and the D-Bus activation file, written
// into a private home: what each says, that writing again changes nothing, and that uninstalling
// removes exactly what was written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/ServicesDeclarations.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace {

const std::vector<std::string> kCommands{"Aggregate Files by Extension", "Aggregate Files by Mime Type"};
const std::string kProgram = "/opt/My Apps/corvane";

class ServicesDeclarations : public ::testing::Test {
protected:
    void SetUp() override {
        environment.set("HOME", dir / "home");
        environment.set("XDG_DATA_HOME", dir / "home/data");
        environment.set("XDG_CONFIG_HOME", dir / "home/config");
        environment.set("XDG_CONFIG_DIRS", dir / "etc");
    }
    bool install(const std::string& program = kProgram) {
        std::string why;
        const bool done = InstallServicesDeclarations(program, kCommands, &why);
        EXPECT_TRUE(done) << why;
        return done;
    }
    std::string data(const std::string& relative) { return dir / ("home/data/" + relative); }
    std::string ucaPath() { return dir / "home/config/Thunar/uca.xml"; }

    TempDir dir;
    ScopedEnvironment environment;
};

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

// Identity and time of every file below folder: unchanged when nothing was rewritten.
std::map<std::string, std::string> Stamps(const std::string& folder) {
    std::map<std::string, std::string> stamps;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        struct stat info {};
        lstat(entry.path().c_str(), &info);
        stamps[entry.path().string()] = std::to_string(info.st_ino) + ":" + std::to_string(info.st_mtim.tv_nsec) +
                                         ":" + std::to_string(info.st_mtim.tv_sec) + ":" + std::to_string(info.st_mode);
    }
    return stamps;
}

bool ToolPresent(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Output(const std::string& command) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    std::string out;
    char buffer[512];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        out.append(buffer, got);
    }
    pclose(pipe);
    return out;
}

}  // namespace

TEST_F(ServicesDeclarations, WritesEveryFileWhereEachFileManagerLooks) {
    ASSERT_TRUE(install());
    const std::string desktop = ReadFile(data("kio/servicemenus/corvane.desktop"));
    EXPECT_EQ(ModeOf(data("kio/servicemenus/corvane.desktop")), 0755u) << "Dolphin runs only executable menus";
    EXPECT_NE(desktop.find("Type=Service\n"), std::string::npos);
    EXPECT_NE(desktop.find("MimeType=inode/directory;\n"), std::string::npos);
    EXPECT_NE(desktop.find("Actions=AggregateFilesByExtension;AggregateFilesByMimeType;\n"), std::string::npos);
    EXPECT_NE(desktop.find("[Desktop Action AggregateFilesByMimeType]\nName=Aggregate Files by Mime Type\n"),
              std::string::npos);
    EXPECT_NE(desktop.find("Exec=\"/opt/My Apps/corvane\" request \"Aggregate Files by Extension\" %F\n"),
              std::string::npos);

    const std::string script = data("nautilus/scripts/Corvane/Aggregate Files by Mime Type");
    EXPECT_EQ(ModeOf(script), 0755u);
    EXPECT_NE(ReadFile(script).find("exec '/opt/My Apps/corvane' request 'Aggregate Files by Mime Type' \"$@\"\n"),
              std::string::npos);
    EXPECT_EQ(ReadFile(script).rfind("#!/bin/sh\n", 0), 0u);

    const std::string nemo = ReadFile(data("nemo/actions/corvane-aggregate-files-by-extension.nemo_action"));
    EXPECT_NE(nemo.find("Exec='/opt/My Apps/corvane' request 'Aggregate Files by Extension' %F\n"), std::string::npos);
    for (const char* line : {"Selection=notnone\n", "Extensions=dir;\n", "Quote=double\n", "[Nemo Action]\n"}) {
        EXPECT_NE(nemo.find(line), std::string::npos) << line;
    }

    EXPECT_EQ(ReadFile(data("dbus-1/services/com.fernwick.Corvane.service")),
              "[D-BUS Service]\nName=com.fernwick.Corvane\nExec='/opt/My Apps/corvane' serve\n");

    const std::string uca = ReadFile(ucaPath());
    EXPECT_NE(uca.find("<unique-id>corvane-aggregate-files-by-mime-type</unique-id>"), std::string::npos);
    EXPECT_NE(uca.find("<command>'/opt/My Apps/corvane' request 'Aggregate Files by Mime Type' %F</command>"),
              std::string::npos);
    EXPECT_NE(uca.find("<directories />"), std::string::npos);
}

TEST_F(ServicesDeclarations, BackslashesSurviveTheKeyFileAndExecLayers) {
    ASSERT_TRUE(install("/opt/odd\\dir/corvane"));
    EXPECT_NE(ReadFile(data("kio/servicemenus/corvane.desktop")).find("Exec=\"/opt/odd\\\\\\\\dir/corvane\" request"),
              std::string::npos)
        << "key-file escape on top of the Exec quoting: four backslashes";
    EXPECT_NE(ReadFile(data("nemo/actions/corvane-aggregate-files-by-extension.nemo_action"))
                  .find("Exec='/opt/odd\\\\dir/corvane' request"),
              std::string::npos);
}

TEST_F(ServicesDeclarations, WritingAgainChangesNoFile) {
    ASSERT_TRUE(install());
    const auto before = Stamps(dir / "home");
    ASSERT_TRUE(install());
    EXPECT_EQ(Stamps(dir / "home"), before);
}

TEST_F(ServicesDeclarations, WritingForAnotherProgramRewritesInPlace) {
    ASSERT_TRUE(install());
    ASSERT_TRUE(install("/usr/bin/corvane"));
    EXPECT_NE(ReadFile(data("dbus-1/services/com.fernwick.Corvane.service")).find("Exec=/usr/bin/corvane serve"),
              std::string::npos);
    const std::string uca = ReadFile(ucaPath());
    EXPECT_EQ(uca.find("My Apps"), std::string::npos);
    EXPECT_EQ(ListNames(dir / "home/data/nemo/actions").size(), kCommands.size()) << "no stale or temporary files";
}

TEST_F(ServicesDeclarations, ANewUcaFileStartsFromTheSystemsActions) {
    WriteFile(dir / "etc/Thunar/uca.xml",
              "<?xml encoding=\"UTF-8\" version=\"1.0\"?>\n<actions><action><name>Open Terminal Here</name>"
              "<unique-id>1-1</unique-id><command>exo-open %f</command><directories/></action></actions>\n");
    ASSERT_TRUE(install());
    const std::string uca = ReadFile(ucaPath());
    EXPECT_NE(uca.find("Open Terminal Here"), std::string::npos);
    EXPECT_NE(uca.find("corvane-aggregate-files-by-extension"), std::string::npos);
}

TEST_F(ServicesDeclarations, AUcaFileBehindALinkIsUpdatedWhereItLives) {
    WriteFile(dir / "dotfiles/uca.xml", "<actions><action><name>Mine</name><unique-id>9</unique-id></action></actions>");
    std::filesystem::create_directories(dir / "home/config/Thunar");
    std::filesystem::create_symlink(dir / "dotfiles/uca.xml", ucaPath());
    ASSERT_TRUE(install());
    EXPECT_TRUE(std::filesystem::is_symlink(ucaPath()));
    const std::string uca = ReadFile(dir / "dotfiles/uca.xml");
    EXPECT_NE(uca.find("<name>Mine</name>"), std::string::npos);
    EXPECT_NE(uca.find("corvane-aggregate-files-by-extension"), std::string::npos);
}

TEST_F(ServicesDeclarations, UninstallRemovesExactlyWhatWasWritten) {
    WriteFile(ucaPath(), "<actions><action><name>Mine</name><unique-id>9</unique-id><command>x %F</command>"
                         "</action></actions>");
    WriteFile(data("kio/servicemenus/other.desktop"), "[Desktop Entry]\n");
    WriteFile(data("nemo/actions/mine.nemo_action"), "[Nemo Action]\n");
    ASSERT_TRUE(install());
    WriteFile(data("nautilus/scripts/Corvane/My own script"), "#!/bin/sh\n");
    std::string why;
    ASSERT_TRUE(UninstallServicesDeclarations(kCommands, &why)) << why;

    EXPECT_EQ(ListNames(dir / "home/data/kio/servicemenus"), std::vector<std::string>{"other.desktop"});
    EXPECT_EQ(ListNames(dir / "home/data/nemo/actions"), std::vector<std::string>{"mine.nemo_action"});
    EXPECT_EQ(ListNames(dir / "home/data/nautilus/scripts/Corvane"), std::vector<std::string>{"My own script"});
    EXPECT_TRUE(ListNames(dir / "home/data/dbus-1/services").empty());
    const std::string uca = ReadFile(ucaPath());
    EXPECT_NE(uca.find("<name>Mine</name>"), std::string::npos);
    EXPECT_EQ(uca.find("corvane"), std::string::npos);

    std::filesystem::remove(data("nautilus/scripts/Corvane/My own script"));
    ASSERT_TRUE(install());
    ASSERT_TRUE(UninstallServicesDeclarations(kCommands, &why)) << why;
    EXPECT_EQ(ListNames(dir / "home/data/nautilus/scripts"), std::vector<std::string>{}) << "our emptied folder goes";
    ASSERT_TRUE(UninstallServicesDeclarations(kCommands, &why)) << "nothing left to remove is no failure: " << why;
}

TEST_F(ServicesDeclarations, UninstallLeavesAUcaFileWithoutOurActionsUntouched) {
    const std::string compact = "<?xml encoding=\"UTF-8\" version=\"1.0\"?>\n<actions><action><name>Mine</name>"
                                "<unique-id>9</unique-id></action></actions>\n";
    WriteFile(ucaPath(), compact);
    std::string why;
    ASSERT_TRUE(UninstallServicesDeclarations(kCommands, &why)) << why;
    EXPECT_EQ(ReadFile(ucaPath()), compact);
}

TEST_F(ServicesDeclarations, AnUnreadableUcaFileIsReportedAndLeftAlone) {
    WriteFile(ucaPath(), "<actions><action>");
    std::string why;
    EXPECT_FALSE(InstallServicesDeclarations(kProgram, kCommands, &why));
    EXPECT_NE(why.find("uca.xml"), std::string::npos) << why;
    EXPECT_EQ(ReadFile(ucaPath()), "<actions><action>");
}

TEST_F(ServicesDeclarations, RefusesAProgramPathNoMenuCanCarry) {
    for (const std::string& program : {std::string("/opt/100%/corvane"), std::string("/opt/a\nb/corvane"),
                                       std::string("relative/corvane")}) {
        std::string why;
        EXPECT_FALSE(InstallServicesDeclarations(program, kCommands, &why)) << program;
        EXPECT_FALSE(why.empty());
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "home/data")) << "nothing was written";
}

TEST_F(ServicesDeclarations, ValidatorsAcceptTheFiles) {
    ASSERT_TRUE(install());
    if (ToolPresent("xmllint")) {
        EXPECT_EQ(std::system(("xmllint --noout '" + ucaPath() + "'").c_str()), 0);
    }
    if (!ToolPresent("desktop-file-validate")) {
        GTEST_SKIP() << "desktop-file-validate is not installed (Debian: desktop-file-utils)";
    }
    // KDE's service menus are Type=Service with MimeType and Actions, which the freedesktop validator
    // knows nothing of; every other complaint is ours.
    std::istringstream report(Output("desktop-file-validate '" + data("kio/servicemenus/corvane.desktop") + "'"));
    for (std::string line; std::getline(report, line);) {
        const bool aboutServiceKeys =
            line.find("\"Service\"") != std::string::npos &&
            (line.find("\"MimeType\"") != std::string::npos || line.find("\"Actions\"") != std::string::npos ||
             line.find("\"Type\"") != std::string::npos);
        EXPECT_TRUE(aboutServiceKeys) << line;
    }
}

TEST(RunningProgram, IsTheAbsolutePathOfThisTest) {
    const std::optional<std::string> program = RunningProgramPath();
    ASSERT_TRUE(program);
    EXPECT_EQ(program->front(), '/');
    EXPECT_TRUE(std::filesystem::equivalent(*program, "/proc/self/exe"));
}
