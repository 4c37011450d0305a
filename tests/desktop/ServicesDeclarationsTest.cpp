// The menu declarations, activation file and systemd unit written into a private home: as GLib and
// systemd read them, unchanged when written again, and removed exactly by uninstalling.

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <tuple>

#include "desktop/ServicesDeclarations.h"
#include "support/RunProgram.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

using namespace corvane;

namespace fs = std::filesystem;

namespace {

// Each Exec key of the named key files as GLib reads it (as GIO, Nemo and dbus-daemon do): a line of
// tab-separated words per key.
constexpr const char* kExecWords = R"(
import sys
from gi.repository import GLib
for path in sys.argv[1:]:
    keys = GLib.KeyFile()
    keys.load_from_file(path, GLib.KeyFileFlags.NONE)
    for group in keys.get_groups()[0]:
        if "Exec" in keys.get_keys(group)[0]:
            print("\t".join(GLib.shell_parse_argv(keys.get_string(group, "Exec"))[1]))
)";

bool Installed(const std::string& command) {
    return std::system(("command -v " + command + " >/dev/null").c_str()) == 0;
}

class ServicesDeclarations : public ::testing::Test {
protected:
    void SetUp() override {
        environment.set("HOME", dir / "home");
        environment.set("XDG_DATA_HOME", dir / "home/data");
        environment.set("XDG_CONFIG_HOME", dir / "home/config");
        environment.set("XDG_CONFIG_DIRS", dir / "etc");
    }
    bool install(const std::string& program = "/opt/My Apps/corvane") {
        std::string why;
        const bool done = InstallServicesDeclarations(program, kCommands, &why);
        EXPECT_TRUE(done) << why;
        return done;
    }
    bool uninstall() {
        std::string why;
        const bool done = UninstallServicesDeclarations(kCommands, &why);
        EXPECT_TRUE(done) << why;
        return done;
    }
    std::string data(const std::string& relative) { return dir / ("home/data/" + relative); }
    std::string ucaPath() { return dir / "home/config/Thunar/uca.xml"; }

    TempDir dir;
    ScopedEnvironment environment;
};

}  // namespace

TEST_F(ServicesDeclarations, RefusesUnfitProgramsOffersEveryCommandOnFoldersAndRefreshesOnlyWhatIsThere) {
    for (const std::string program : {"/opt/100%/corvane", "/opt/a\nb/corvane", "relative/corvane"}) {
        std::string why;
        EXPECT_FALSE(InstallServicesDeclarations(program, kCommands, &why) || why.empty()) << program;
    }
    EXPECT_FALSE(fs::exists(dir / "home/data")) << "nothing was written";
    ASSERT_TRUE(install());
    const std::string dolphin = ReadFile(data("kio/servicemenus/corvane.desktop"));
    const std::string nemo = data("nemo/actions/corvane-aggregate-files-by-extension.nemo_action");
    for (const auto& [file, line] : std::vector<std::pair<std::string, std::string>>{
             {dolphin, "MimeType=inode/directory;\n"},
             {ReadFile(nemo), "Selection=notnone\n"},
             {ReadFile(nemo), "Extensions=dir;\n"}}) {
        EXPECT_NE(file.find(line), std::string::npos) << line;
    }
    // desktop-file-validate objects only to the keys KDE's service menus need.
    if (Installed("desktop-file-validate")) {
        const ProgramResult validated =
            RunCorvane({data("kio/servicemenus/corvane.desktop")}, {}, {}, "desktop-file-validate");
        std::istringstream lines(validated.out + validated.err);
        for (std::string line; std::getline(lines, line);) {
            const auto has = [&line](const char* word) { return line.find(word) != std::string::npos; };
            EXPECT_TRUE(has("\"Service\"") && (has("\"MimeType\"") || has("\"Actions\"") || has("\"Type\""))) << line;
        }
    }
    fs::remove(data("systemd/user/corvane.service"));
    std::string why;
    ASSERT_TRUE(RefreshInstalledServicesDeclarations("/opt/My Apps/corvane", kCommands, &why)) << why;
    EXPECT_TRUE(fs::exists(data("systemd/user/corvane.service"))) << "an older install gets its unit";
}

TEST_F(ServicesDeclarations, TheUsersUcaFileKeepsItsActionsWritingAgainChangesNothingAndUninstallRemovesExactlyThat) {
    WriteFile(dir / "dotfiles/uca.xml", "<?xml encoding=\"UTF-8\" version=\"1.0\"?>\n<actions><action><name>Mine</name>"
                                        "<unique-id>9</unique-id><command>x %F</command></action></actions>\n");
    fs::create_directories(dir / "home/config/Thunar");
    fs::create_symlink(dir / "dotfiles/uca.xml", ucaPath());
    WriteFile(data("kio/servicemenus/other.desktop"), "[Desktop Entry]\n");
    const auto stamps = [&] {
        std::map<std::string, std::tuple<ino_t, time_t, long, mode_t>> all;
        for (const auto& entry : fs::recursive_directory_iterator(dir / "home")) {
            struct stat info {};
            lstat(entry.path().c_str(), &info);
            all[entry.path()] = {info.st_ino, info.st_mtim.tv_sec, info.st_mtim.tv_nsec, info.st_mode};
        }
        return all;
    };
    ASSERT_TRUE(install());
    const auto before = stamps();
    ASSERT_TRUE(install());
    EXPECT_EQ(stamps(), before) << "writing again changes no file";
    EXPECT_TRUE(fs::is_symlink(ucaPath()));
    const std::string uca = ReadFile(dir / "dotfiles/uca.xml");
    EXPECT_TRUE(uca.find("<name>Mine</name>") != std::string::npos &&
                uca.find("corvane-aggregate-files-by-extension") != std::string::npos) << uca;
    if (Installed("xmllint")) {
        EXPECT_EQ(RunCorvane({"--noout", ucaPath()}, {}, {}, "xmllint").exitStatus, 0);
    }
    WriteFile(data("nautilus/scripts/Corvane/My own script"), "#!/bin/sh\n");
    ASSERT_TRUE(uninstall());
    EXPECT_EQ(ListNames(dir / "home/data/kio/servicemenus"), std::vector<std::string>{"other.desktop"});
    EXPECT_EQ(ListNames(dir / "home/data/nautilus/scripts/Corvane"), std::vector<std::string>{"My own script"});
    EXPECT_NE(ReadFile(ucaPath()).find("<name>Mine</name>"), std::string::npos);
    EXPECT_EQ(ReadFile(ucaPath()).find("corvane"), std::string::npos);
    fs::remove(data("nautilus/scripts/Corvane/My own script"));
    ASSERT_TRUE(install() && uninstall());
    EXPECT_EQ(ListNames(dir / "home/data/nautilus/scripts"), std::vector<std::string>{}) << "our emptied folder goes";
    EXPECT_TRUE(uninstall()) << "nothing left to remove is no failure";
}

// A program systemd would refuse is started by the bus alone; GLib reads each Exec key back whole.
TEST_F(ServicesDeclarations, GlibReadsEachExecLineBackAsTheProgramAndItsWords) {
    const std::string program = "/opt/it's \"odd\" $HOME `x`/corvane";
    ASSERT_TRUE(install(program));
    EXPECT_FALSE(fs::exists(data("systemd/user/corvane.service")));
    EXPECT_EQ(ReadFile(data("dbus-1/services/com.fernwick.Corvane.service")).find("SystemdService"), std::string::npos);
    if (RunCorvane({"-c", "from gi.repository import GLib"}, {}, {}, "/usr/bin/python3").exitStatus != 0) {
        GTEST_SKIP() << "GLib's key-file parser is not at hand (Debian: python3-gi)";
    }
    std::vector<std::string> arguments{"-c", kExecWords};
    for (const ServicesDeclarationFile& file : ServicesDeclarationFiles(program, kCommands)) {
        if (!file.path.starts_with(data("nautilus/"))) {
            arguments.push_back(file.path);
        }
    }
    std::string expected;
    for (int file = 0; file < 2; ++file) {  // Dolphin's service menu, then the Nemo actions
        for (const std::string& command : kCommands) {
            expected += program + "\trequest\t" + command + "\t--\t%F\n";
        }
    }
    // Debian's own interpreter, the one python3-gi is built for.
    const ProgramResult read = RunCorvane(arguments, {}, {}, "/usr/bin/python3");
    EXPECT_EQ(read.exitStatus, 0) << read.err;
    EXPECT_EQ(read.out, expected + program + "\tserve\n");
}

TEST_F(ServicesDeclarations, UninstallRemovesTheUcaFileInstallStartedWhileNothingOfTheUsersIsInIt) {
    const std::string systems = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions><action><name>Open Terminal Here"
                                "</name><unique-id>1</unique-id><command>exo-open --launch TerminalEmulator</command>"
                                "<directories/></action></actions>\n";
    const std::string mine = "<action><name>Mine</name><unique-id>9</unique-id><command>x %F</command></action>";
    const struct {
        std::optional<std::string> system;
        bool userLinksAnEmptyFile;
        bool userAddsAnAction;
        bool kept;
        const char* proves;
    } rows[] = {
        {systems, false, false, false, "a copy of the system's actions goes: Thunar reads the system's file again"},
        {std::nullopt, false, true, true, "an action the user added since keeps it"},
        {systems, false, true, true, "an action the user added to the copy keeps it"},
        {std::nullopt, true, false, true, "a link is the user's own"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.proves);
        for (const char* folder : {"home", "etc", "dotfiles"}) {
            fs::remove_all(dir / folder);
        }
        if (row.system) {
            WriteFile(dir / "etc/Thunar/uca.xml", *row.system);
        }
        if (row.userLinksAnEmptyFile) {
            WriteFile(dir / "dotfiles/uca.xml", "<actions/>\n");
            fs::create_directories(dir / "home/config/Thunar");
            fs::create_symlink(dir / "dotfiles/uca.xml", ucaPath());
        }
        ASSERT_TRUE(install());
        if (row.userAddsAnAction) {
            std::string uca = ReadFile(ucaPath());
            WriteFile(ucaPath(), uca.insert(uca.rfind("</actions>"), mine));
        }
        ASSERT_TRUE(uninstall());
        EXPECT_EQ(fs::exists(ucaPath()), row.kept);
        const std::string uca = ReadFile(ucaPath());
        EXPECT_EQ(uca.find("<name>Mine</name>") != std::string::npos, row.userAddsAnAction);
        EXPECT_EQ(uca.find("corvane"), std::string::npos);
        EXPECT_EQ(uca.find("Open Terminal Here") != std::string::npos, row.kept && row.system.has_value());
        EXPECT_EQ(ReadFile(dir / "etc/Thunar/uca.xml"), row.system.value_or("")) << "the system's file stays as it was";
    }
}

TEST_F(ServicesDeclarations, SystemdRunsTheUnitFromAPathWithBlanksAndShellCharactersAndTheBusNamesIt) {
    if (!Installed("systemd-analyze")) {
        GTEST_SKIP() << "systemd-analyze is not installed (Debian: systemd)";
    }
    const std::string program = dir / "My $HOME `x` apps/corvane";
    WriteFile(program, "#!/bin/sh\n");
    chmod(program.c_str(), 0755);
    ASSERT_TRUE(install(program));
    EXPECT_NE(ReadFile(data("dbus-1/services/com.fernwick.Corvane.service")).find("\nSystemdService=corvane.service\n"),
              std::string::npos);
    // systemd-analyze loads the unit as the user's manager would: a program path split at its blanks,
    // or a '$' taken for a variable, is a program that does not exist.
    fs::create_directory(dir / "run");
    chmod((dir / "run").c_str(), 0700);
    const ProgramResult verified = RunCorvane({"verify", "--user", "--man=no", data("systemd/user/corvane.service")},
                                              {{"XDG_RUNTIME_DIR", dir / "run"}}, {}, "/usr/bin/systemd-analyze");
    EXPECT_EQ(verified.exitStatus, 0) << verified.out << verified.err;
    EXPECT_EQ(verified.err, "");
}
