// A request inside the program: the mode its command names, and the folder walk it runs: when it
// descends, in which order, and what it leaves alone.

#include "app/AppController.h"
#include "app/CommandTable.h"
#include "app/FolderWalk.h"
#include "fileops/DirectoryListing.h"
#include "fileops/ItemTests.h"
#include "platform/prefs/Preferences.h"
#include "support/FilesTestSupport.h"
#include "support/LogCapture.h"
#include "support/RunProgram.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

using namespace corvane;

namespace {

void SetRecursion(const std::optional<PreferenceValue>& value) {
    std::string problem;
    ASSERT_TRUE(CFPreferencesSetAppValue("RecurseFolders", value, kCorvanePreferenceDomain, &problem)) << problem;
}

// The folders whose files were grouped, in the order the strategy ran on them: each folder holds one
// file named after it, so the "Moving:" lines name the folders.
std::vector<std::string> GroupedFolders(const std::vector<std::string>& lines) {
    std::vector<std::string> folders;
    for (const std::string& line : lines) {
        if (line.starts_with("Moving: ")) {
            const std::string file = line.substr(line.rfind('/') + 1);
            folders.push_back(file.substr(0, file.find('.')));
        }
    }
    return folders;
}

}  // namespace

// A holds B/C, D/E, a dot folder, the package A.app (a file of A to the walk, grouped under A's name) and
// a folder that the Finder's flags call invisible, which is walked all the same.
class Request : public ::testing::Test {
protected:
    void SetUp() override {
        environment.set("XDG_CONFIG_HOME", dir / "config");
        gCorvaneType = GroupingMode::byExtension;
        for (const char* file : {"A/A.txt", "A/B/B.txt", "A/B/C/C.txt", "A/D/D.txt", "A/D/E/E.txt",
                                 "A/.Hidden/Hidden.txt", "A/A.app/Package.txt", "A/Flagged/Flagged.txt"}) {
            WriteFile(dir / file, "x");
        }
        if (UserXattrsSupported(dir.path())) {
            std::string info(32, '\0');
            info[8] = 0x40;
            SetXattr(dir / "A/Flagged", "user.com.apple.FinderInfo", info);
        }
        SetRecursion(PreferenceValue{true});
        a = EntryRef(dir / "A");
    }
    TempDir dir;
    ScopedEnvironment environment;
    FSRef a{};
};

class FolderWalk : public Request {};

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

// Which folders a request runs, and in what order, `corvane run` shows; the mode it leaves is seen only here.
TEST_F(Request, OnlyAKnownCommandWithFileNamesIsLookedAtAndSetsTheMode) {
    gCorvaneType = GroupingMode::byMimeType;
    AppController controller;
    LogCapture log;
    const std::string bogus = "Bogus";
    const std::string wrongCase = "aggregate files by extension";
    const std::vector<std::string> none;
    const std::vector<std::string> paths{dir / "A"};
    controller.handleMenuSelection(nullptr, &bogus);
    controller.handleMenuSelection(&none, &bogus);
    EXPECT_TRUE(log.lines().empty()) << "without file names the command is not even looked at";
    controller.handleMenuSelection(&paths, &wrongCase);
    controller.handleMenuSelection(&paths, nullptr);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Unsupported command: aggregate files by extension",
                                                     "Unsupported command: (null)"}));
    EXPECT_EQ(log.failures(), log.lines());
    EXPECT_EQ(gCorvaneType, GroupingMode::byMimeType);

    const std::string byCreationDate = "Aggregate Files by Creation Date";
    const std::vector<std::string> noFolders{dir / "A/A.txt"};
    controller.handleMenuSelection(&noFolders, &byCreationDate);
    EXPECT_EQ(gCorvaneType, GroupingMode::byCreationDate) << "a known command sets the mode though no folder qualifies";
}

TEST_F(FolderWalk, OnlyABooleanTrueTurnsRecursionOn) {
    const struct {
        std::optional<PreferenceValue> stored;
        bool recurses;
    } rows[] = {{std::nullopt, false}, {PreferenceValue{true}, true}, {PreferenceValue{false}, false},
                {PreferenceValue{std::int64_t{1}}, false}, {PreferenceValue{std::string("true")}, false},
                {PreferenceValue{std::string("YES")}, false}};
    for (const auto& row : rows) {
        SetRecursion(row.stored);
        EXPECT_EQ(RecurseFolders(), row.recurses)
            << (row.stored ? DescribePreferenceValue(*row.stored) : std::string("absent"));
    }
    WriteFile(dir / "config/corvane/com.fernwick.Corvane.plist", "this is not a property list");
    EXPECT_FALSE(RecurseFolders());
}

TEST_F(FolderWalk, PostOrderDepthFirstInListingOrderPastDotFoldersAndPackages) {
    std::vector<std::string> expected;
    for (const FSRef& item : GetDirectoryItemsList(&a)) {
        const std::string name = *FSGetName(&item);
        if (ItemIsPlainFolder(&item) && name != ".Hidden") {
            if (name == "B" || name == "D") {
                expected.push_back(name == "B" ? "C" : "E");
            }
            expected.push_back(name);
        }
    }
    expected.insert(expected.end(), {"A", "A"});
    LogCapture log;
    fold_folder(&a);
    EXPECT_EQ(GroupedFolders(log.lines()), expected);
}

TEST_F(FolderWalk, PreferenceIsReadAfreshAtEveryFolder) {
    std::vector<std::string> lines;
    // Another process turns recursion off on disk as soon as the first folder has been grouped.
    const LogSink previous = SetLogSink([&](const std::string& line, LogPriority) {
        lines.push_back(line);
        if (line.starts_with("Moved ") && RecurseFolders()) {
            const std::map<std::string, std::string> sameConfiguration{{"XDG_CONFIG_HOME", dir / "config"}};
            RunCorvane({"defaults", "write", "RecurseFolders", "-bool", "false"}, sameConfiguration);
        }
    });
    fold_folder(&a);
    SetLogSink(previous);
    const std::vector<std::string> grouped = GroupedFolders(lines);
    ASSERT_FALSE(grouped.empty());
    EXPECT_EQ(grouped.back(), "A");
    // Whichever of B and D ran later decided afresh, found recursion off, and left its subfolder alone.
    EXPECT_TRUE(ListNames(dir / "A/B/C") == Names{"C.txt"} || ListNames(dir / "A/D/E") == Names{"E.txt"});
}
