// The declarations for Dolphin, GNOME Files, Nemo and Thunar and the D-Bus activation file, written
// into a private home: what each says, that writing again changes nothing, and that uninstalling
// removes exactly what was written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "platform/ServicesDeclarations.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace {

const std::vector<std::string> kCommands{
    "Aggregate Files by Extension",         "Aggregate Files by File Type",
    "Aggregate Files by Mime Type",         "Aggregate Files by Modification Date",
    "Aggregate Files by Creation Date",     "Aggregate Files by Modification Date Ignoring Days",
    "Aggregate Files by Creation Date Ignoring Days"};

class ServicesDeclarations : public ::testing::Test {
protected:
    void SetUp() override {
        environment.set("HOME", dir / "home");
        environment.set("XDG_DATA_HOME", dir / "home/data");
        environment.set("XDG_CONFIG_HOME", dir / "home/config");
        environment.set("XDG_CONFIG_DIRS", dir / "etc");
    }
    bool install() {
        std::string why;
        const bool done = InstallServicesDeclarations("/opt/My Apps/corvane", kCommands, &why);
        EXPECT_TRUE(done) << why;
        return done;
    }
    std::string data(const std::string& relative) { return dir / ("home/data/" + relative); }
    std::string ucaPath() { return dir / "home/config/Thunar/uca.xml"; }

    TempDir dir;
    ScopedEnvironment environment;
};

bool ToolPresent(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

TEST_F(ServicesDeclarations, EachFileManagerOffersEveryCommandOnFolders) {
    ASSERT_TRUE(install());
    const std::string dolphin = ReadFile(data("kio/servicemenus/corvane.desktop"));
    const std::string nemo = ReadFile(data("nemo/actions/corvane-aggregate-files-by-extension.nemo_action"));
    for (const auto& [file, line] : std::vector<std::pair<std::string, std::string>>{
             {dolphin, "MimeType=inode/directory;\n"},
             {dolphin, "Exec=\"/opt/My Apps/corvane\" request \"Aggregate Files by Extension\" %F\n"},
             {nemo, "Selection=notnone\n"},
             {nemo, "Extensions=dir;\n"}}) {
        EXPECT_NE(file.find(line), std::string::npos) << line;
    }
    std::size_t actions = 0;
    for (std::size_t at = 0; (at = dolphin.find("[Desktop Action ", at)) != std::string::npos; ++at) {
        ++actions;
    }
    EXPECT_EQ(actions, 7u);
    EXPECT_EQ(ReadFile(data("dbus-1/services/com.fernwick.Corvane.service")),
              "[D-BUS Service]\nName=com.fernwick.Corvane\nExec='/opt/My Apps/corvane' serve\n");
}

TEST_F(ServicesDeclarations, WritingAgainChangesNoFile) {
    // Identity and time of every file: unchanged when nothing was rewritten.
    auto stamps = [&] {
        std::map<std::string, std::string> all;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir / "home")) {
            struct stat info {};
            lstat(entry.path().c_str(), &info);
            all[entry.path()] = std::to_string(info.st_ino) + ":" + std::to_string(info.st_mtim.tv_sec) + "." +
                                std::to_string(info.st_mtim.tv_nsec) + ":" + std::to_string(info.st_mode);
        }
        return all;
    };
    ASSERT_TRUE(install());
    const auto before = stamps();
    ASSERT_TRUE(install());
    EXPECT_EQ(stamps(), before);
}

TEST_F(ServicesDeclarations, TheUsersUcaFileKeepsItsActionsWhereItLives) {
    WriteFile(dir / "dotfiles/uca.xml", "<?xml encoding=\"UTF-8\" version=\"1.0\"?>\n<actions><action><name>Mine</name>"
                                        "<unique-id>9</unique-id><command>x %F</command></action></actions>\n");
    std::filesystem::create_directories(dir / "home/config/Thunar");
    std::filesystem::create_symlink(dir / "dotfiles/uca.xml", ucaPath());
    ASSERT_TRUE(install());
    EXPECT_TRUE(std::filesystem::is_symlink(ucaPath()));
    const std::string uca = ReadFile(dir / "dotfiles/uca.xml");
    EXPECT_NE(uca.find("<name>Mine</name>"), std::string::npos);
    EXPECT_NE(uca.find("corvane-aggregate-files-by-extension"), std::string::npos);
    if (ToolPresent("xmllint")) {
        EXPECT_EQ(std::system(("xmllint --noout '" + ucaPath() + "'").c_str()), 0);
    }
}

TEST_F(ServicesDeclarations, UninstallRemovesExactlyWhatWasWritten) {
    WriteFile(ucaPath(), "<actions><action><name>Mine</name><unique-id>9</unique-id></action></actions>");
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
    EXPECT_NE(ReadFile(ucaPath()).find("<name>Mine</name>"), std::string::npos);
    EXPECT_EQ(ReadFile(ucaPath()).find("corvane"), std::string::npos);

    std::filesystem::remove(data("nautilus/scripts/Corvane/My own script"));
    ASSERT_TRUE(install());
    ASSERT_TRUE(UninstallServicesDeclarations(kCommands, &why)) << why;
    EXPECT_EQ(ListNames(dir / "home/data/nautilus/scripts"), std::vector<std::string>{}) << "our emptied folder goes";
    ASSERT_TRUE(UninstallServicesDeclarations(kCommands, &why)) << "nothing left to remove is no failure: " << why;
}

TEST_F(ServicesDeclarations, RefusesAProgramPathNoMenuCanCarry) {
    for (const std::string program : {"/opt/100%/corvane", "/opt/a\nb/corvane", "relative/corvane"}) {
        std::string why;
        EXPECT_FALSE(InstallServicesDeclarations(program, kCommands, &why)) << program;
        EXPECT_FALSE(why.empty());
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "home/data")) << "nothing was written";
}

TEST_F(ServicesDeclarations, DesktopFileValidateObjectsOnlyToKdesServiceKeys) {
    if (!ToolPresent("desktop-file-validate")) {
        GTEST_SKIP() << "desktop-file-validate is not installed (Debian: desktop-file-utils)";
    }
    ASSERT_TRUE(install());
    const std::string command = "desktop-file-validate '" + data("kio/servicemenus/corvane.desktop") + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string report;
    for (int c; (c = std::fgetc(pipe)) != EOF;) {
        report += static_cast<char>(c);
    }
    pclose(pipe);
    std::istringstream lines(report);
    for (std::string line; std::getline(lines, line);) {
        const bool aboutServiceKeys = line.find("\"Service\"") != std::string::npos &&
                                      (line.find("\"MimeType\"") != std::string::npos ||
                                       line.find("\"Actions\"") != std::string::npos ||
                                       line.find("\"Type\"") != std::string::npos);
        EXPECT_TRUE(aboutServiceKeys) << line;
    }
}
