// The folder walk: when it descends, in which order, and what it leaves alone.

#include <sys/stat.h>

#include <algorithm>

#include "app/CommandTable.h"
#include "app/FolderWalk.h"
#include "fileops/DirectoryListing.h"
#include "fileops/ItemTests.h"
#include "platform/prefs/Preferences.h"
#include "support/FilesTestSupport.h"
#include "support/LogCapture.h"
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

class FolderWalk : public ::testing::Test {
protected:
    void SetUp() override {
        environment.set("XDG_CONFIG_HOME", dir / "config");
        gCorvaneType = GroupingMode::byExtension;
    }
    TempDir dir;
    ScopedEnvironment environment;
};

TEST_F(FolderWalk, OnlyABooleanTrueTurnsRecursionOn) {
    const struct {
        std::optional<PreferenceValue> stored;
        bool recurses;
    } rows[] = {
        {std::nullopt, false},
        {PreferenceValue{true}, true},
        {PreferenceValue{false}, false},
        {PreferenceValue{std::int64_t{1}}, false},
        {PreferenceValue{std::string("true")}, false},
        {PreferenceValue{std::string("YES")}, false},
    };
    for (const auto& row : rows) {
        SetRecursion(row.stored);
        EXPECT_EQ(RecurseFolders(), row.recurses)
            << (row.stored ? DescribePreferenceValue(*row.stored) : std::string("absent"));
    }
    WriteFile(dir / "config/corvane/com.fernwick.Corvane.plist", "this is not a property list");
    EXPECT_FALSE(RecurseFolders());
}

TEST_F(FolderWalk, PostOrderDepthFirstInListingOrder) {
    WriteFile(dir / "A/A.txt", "x");
    WriteFile(dir / "A/B/B.txt", "x");
    WriteFile(dir / "A/B/C/C.txt", "x");
    WriteFile(dir / "A/D/D.txt", "x");
    SetRecursion(PreferenceValue{true});
    const FSRef a = EntryRef(dir / "A");
    // B and D come in the order the file system lists them.
    std::vector<std::string> subfolders;
    for (const FSRef& item : GetDirectoryItemsList(&a)) {
        if (ItemIsPlainFolder(&item)) {
            subfolders.push_back(*FSGetName(&item));
        }
    }
    std::vector<std::string> expected;
    for (const std::string& name : subfolders) {
        if (name == "B") {
            expected.insert(expected.end(), {"C", "B"});
        } else {
            expected.push_back(name);
        }
    }
    expected.push_back("A");
    LogCapture log;
    fold_folder(&a);
    EXPECT_EQ(GroupedFolders(log.lines()), expected);
}

TEST_F(FolderWalk, SkipsDotFoldersAndPackagesButNotFinderFlaggedFolders) {
    WriteFile(dir / "A/A.txt", "x");
    WriteFile(dir / "A/.Hidden/Hidden.txt", "x");
    WriteFile(dir / "A/Tool.app/Tool.txt", "x");
    WriteFile(dir / "A/Flagged/Flagged.txt", "x");
    if (UserXattrsSupported(dir.path())) {
        std::string info(32, '\0');
        info[8] = 0x40;
        SetXattr(dir / "A/Flagged", "user.com.apple.FinderInfo", info);
    }
    SetRecursion(PreferenceValue{true});
    const FSRef a = EntryRef(dir / "A");
    LogCapture log;
    fold_folder(&a);
    std::vector<std::string> grouped = GroupedFolders(log.lines());
    std::sort(grouped.begin(), grouped.end());
    // The package is grouped as a file of A (by its extension), never walked into.
    EXPECT_EQ(grouped, (std::vector<std::string>{"A", "Flagged", "Tool"}));
    EXPECT_EQ(ListNames(dir / "A/Tool.app"), std::vector<std::string>{"Tool.txt"});
}

TEST_F(FolderWalk, PreferenceIsReadAfreshAtEveryFolder) {
    WriteFile(dir / "A/A.txt", "x");
    WriteFile(dir / "A/B/B.txt", "x");
    WriteFile(dir / "A/B/C/C.txt", "x");
    WriteFile(dir / "A/D/D.txt", "x");
    WriteFile(dir / "A/D/E/E.txt", "x");
    SetRecursion(PreferenceValue{true});
    const FSRef a = EntryRef(dir / "A");
    std::vector<std::string> lines;
    // Turn recursion off as soon as the first folder has been grouped, as another process would.
    const LogSink previous = SetLogSink([&](const std::string& line, LogPriority) {
        lines.push_back(line);
        if (line.starts_with("Moved ") && RecurseFolders()) {
            SetRecursion(PreferenceValue{false});
        }
    });
    fold_folder(&a);
    SetLogSink(previous);
    const std::vector<std::string> grouped = GroupedFolders(lines);
    ASSERT_FALSE(grouped.empty());
    EXPECT_EQ(grouped.back(), "A");
    // Whichever of B and D ran second decided afresh, found recursion off, and left its subfolder alone.
    const bool bFirst = grouped.front() == "C";
    const std::string untouched = bFirst ? "A/D/E" : "A/B/C";
    EXPECT_EQ(ListNames(dir / untouched), std::vector<std::string>{untouched.substr(4) + ".txt"});
}
