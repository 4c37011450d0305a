// The command strings, their modes, and what a request does with its pasteboard.

#include "app/AppController.h"
#include "app/CommandTable.h"
#include "support/LogCapture.h"
#include "support/RunProgram.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

using namespace corvane;

TEST(CommandTable, ModesFollowTheTableNotTheOrderOfTesting) {
    // The modes are numbered 1 to 7 in the menus' order.
    for (std::size_t mode = 1; mode <= kCommands.size(); ++mode) {
        EXPECT_EQ(GroupingModeForCommand(kCommands[mode - 1]), GroupingMode(mode)) << kCommands[mode - 1];
    }
    EXPECT_EQ(CommandStrings(), kCommands) << "the menus offer every command once, in this order";
    for (const char* other : {"aggregate files by extension", "Aggregate Files by Extension ", "", "Aggregate"}) {
        EXPECT_FALSE(GroupingModeForCommand(other)) << '"' << other << '"';
    }
}

class Request : public ::testing::Test {
protected:
    void SetUp() override {
        environment.set("XDG_CONFIG_HOME", dir / "config");
        gCorvaneType = GroupingMode::byExtension;
    }
    TempDir dir;
    ScopedEnvironment environment;
    AppController controller;
};

TEST_F(Request, NoFileNamesOrAnUnsupportedCommandTouchNothingAndKeepTheMode) {
    WriteFile(dir / "Folder/a.txt", "x");
    gCorvaneType = GroupingMode::byMimeType;
    LogCapture log;
    const std::string bogus = "Bogus";
    const std::string wrongCase = "aggregate files by extension";
    const std::vector<std::string> none;
    const std::vector<std::string> paths{dir / "Folder"};
    controller.handleMenuSelection(nullptr, &bogus);
    controller.handleMenuSelection(&none, &bogus);
    EXPECT_TRUE(log.lines().empty()) << "without file names the command is not even looked at";
    controller.handleMenuSelection(&paths, &wrongCase);
    controller.handleMenuSelection(&paths, nullptr);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Unsupported command: aggregate files by extension",
                                                     "Unsupported command: (null)"}));
    EXPECT_EQ(log.failures(), log.lines());
    EXPECT_EQ(gCorvaneType, GroupingMode::byMimeType);
    EXPECT_EQ(ListNames(dir / "Folder"), std::vector<std::string>{"a.txt"});
}

TEST_F(Request, OnlyPlainFoldersAreRunInPasteboardOrder) {
    WriteFile(dir / "file.txt", "x");
    WriteFile(dir / "First/a.txt", "x");
    WriteFile(dir / "Second/b.txt", "x");
    WriteFile(dir / "Tool.app/Contents/x.txt", "x");
    LogCapture log;
    const std::vector<std::string> paths{dir / "file.txt", dir / "Second", dir / "Tool.app", dir / "gone",
                                         std::string("\xff\xfe"), dir / "First"};
    const std::string extension = "Aggregate Files by Extension";
    controller.handleMenuSelection(&paths, &extension);
    std::vector<std::string> aggregating;
    for (const std::string& line : log.lines()) {
        if (line.starts_with("Aggregating folder ")) {
            aggregating.push_back(line);
        }
    }
    EXPECT_EQ(aggregating, (std::vector<std::string>{"Aggregating folder Second", "Aggregating folder First"}));
    EXPECT_EQ(ReadFile(dir / "First/txt/a.txt"), "x");
    EXPECT_EQ(ListNames(dir / "Tool.app"), std::vector<std::string>{"Contents"});

    const std::string byCreationDate = "Aggregate Files by Creation Date";
    const std::vector<std::string> noFolders{dir / "file.txt"};
    controller.handleMenuSelection(&noFolders, &byCreationDate);
    EXPECT_EQ(gCorvaneType, GroupingMode::byCreationDate) << "a known command sets the mode even when no folder qualifies";
}
