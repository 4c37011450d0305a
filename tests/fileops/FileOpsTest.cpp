// Listing, item tests and the mover against real folders: collision names, copy versus move, what is
// logged, what is refused.

#include <cstring>
#include <regex>

#include "fileops/DirectoryListing.h"
#include "fileops/ItemTests.h"
#include "fileops/ObjectMover.h"
#include "platform/files/FileSystemFeatures.h"
#include "support/FilesTestSupport.h"
#include "support/LogCapture.h"

using namespace corvane;

const std::string kUuid = "[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}";

// The name that a clash gives the incoming item; MoveObjectPath's clash shows the plain stem and extension.
TEST(UniqueNameLike, FormsStemUuidExtension) {
    const std::tuple<std::string, std::string, const char*> rows[] = {
        {"README", "README - " + kUuid, "no extension: the whole name, then the UUID"},
        {"archive.tar.gz", "archive\\.tar - " + kUuid + "\\.gz", "only the last extension moves behind the UUID"},
        {".txt", kUuid + "\\.txt", "an empty stem gets no separator"},
        {"Report.PDF", "Report - " + kUuid + "\\.PDF", "letter case of the extension is kept"},
        {"a.b.a.b", "a\\.b\\.a - " + kUuid + "\\.b", "the last occurrence of the extension is cut"},
    };
    for (const auto& [name, pattern, proves] : rows) {
        const std::string made = UniqueNameLike(name);
        EXPECT_TRUE(std::regex_match(made, std::regex(pattern))) << proves << ": " << made;
    }
}

// A copy's comment is shown by `corvane run`; a move within a file system keeps every attribute itself.
TEST(MoveObjectPath, CopyAndMoveAnItemAlreadyThereIsLeftAloneAndUnresolvablePathsFail) {
    TempDir dir;
    WriteFile(dir / "Folder/a.txt", "alpha");
    mkdir((dir / "Folder/txt").c_str(), 0755);
    mkdir((dir / "Folder/2007").c_str(), 0755);
    LogCapture log;
    EXPECT_EQ(MoveObjectPath(dir / "Folder/a.txt", dir / "Folder/txt", 1), 1);
    EXPECT_EQ(ReadFile(dir / "Folder/a.txt"), "alpha") << "a copy leaves the source";
    EXPECT_EQ(MoveObjectPath(dir / "Folder/txt/a.txt", dir / "Folder/2007", 0), 1);
    EXPECT_NE(access((dir / "Folder/txt/a.txt").c_str(), F_OK), 0) << "a move takes the item away";
    // Neither an item already in place nor a missing one is logged.
    EXPECT_EQ(MoveObjectPath(dir / "Folder/a.txt", dir / "Folder", 1), 1);
    EXPECT_EQ(ListNames(dir / "Folder"), (std::vector<std::string>{"2007", "a.txt", "txt"}));
    EXPECT_EQ(MoveObjectPath(dir / "Folder/missing.txt", dir / "Folder", 1), 0);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Moved \"a.txt\" to \"txt\"", "Moved \"a.txt\" to \"2007\""}));
    EXPECT_EQ(MoveObjectPath(dir / "Folder/a.txt", dir / "Folder/nowhere", 1), 0);
    EXPECT_EQ(log.failures(), std::vector<std::string>{"An error occurred moving an object. Error number = -43"});
    EXPECT_EQ(log.lines().size(), 3u);
}

// The one place a comment cannot follow a copy by its attributes alone: the copy stays, failed.
TEST(MoveObjectPath, ADestinationWithoutAttributesFailsACopysCommentAndRefusesAMove) {
    TempDir dir;
    SKIP_WITHOUT_USER_XATTRS(dir.path());
    // ramfs keeps no user extended attributes: the copy lands, its comment cannot follow.
    mkdir((dir / "ramfs").c_str(), 0755);
    if (geteuid() != 0 || mount("ramfs", (dir / "ramfs").c_str(), "ramfs", 0, nullptr) != 0) {
        GTEST_SKIP() << "mounting a ramfs needs root";
    }
    WriteFile(dir / "Folder/a.txt", "alpha");
    SetXattr(dir / "Folder/a.txt", "user.xdg.comment", "kept?");
    WriteFile(dir / "Folder/b.txt", "beta");
    SetXattr(dir / "Folder/b.txt", "user.xdg.comment", "keep me");
    SetXattr(dir / "Folder/b.txt", "user.tag", "red");
    WriteFile(dir / "Folder/c.txt", "gamma");
    SetXattr(dir / "Folder/c.txt", "user.tag", "blue");
    // What the earlier tests learnt and told of other file systems is forgotten: device numbers return.
    WithholdFileSystemFeatures(0);
    LogCapture log;
    const signed char placed = MoveObjectPath(dir / "Folder/a.txt", dir / "ramfs", 1);
    const std::string copied = ReadFile(dir / "ramfs/a.txt");
    // A copy keeps what fits, as cp does; the attributes left behind are told once per file system.
    const signed char placedWithoutTag = MoveObjectPath(dir / "Folder/c.txt", dir / "ramfs", 1);
    // A move would leave the comment and every other attribute behind with its source: it is refused.
    const signed char moved = MoveObjectPath(dir / "Folder/b.txt", dir / "ramfs", 0);
    const std::vector<std::string> onRamfs = ListNames(dir / "ramfs");
    umount2((dir / "ramfs").c_str(), MNT_DETACH);
    EXPECT_EQ(placed, 0);
    EXPECT_EQ(copied, "alpha");
    EXPECT_EQ(moved, 0);
    EXPECT_EQ(placedWithoutTag, 1);
    EXPECT_EQ(onRamfs, (std::vector<std::string>{"a.txt", "c.txt"})) << "the move's copy is taken back";
    EXPECT_EQ(ReadFile(dir / "Folder/b.txt"), "beta");
    EXPECT_EQ(GetXattr(dir / "Folder/b.txt", "user.xdg.comment"), "keep me");
    EXPECT_EQ(GetXattr(dir / "Folder/b.txt", "user.tag"), "red");
    ASSERT_EQ(log.lines().size(), 4U);
    EXPECT_EQ(log.lines()[0], "Moved \"a.txt\" to \"ramfs\"");
    EXPECT_EQ(log.lines()[1], "The file system of \"" + dir / "ramfs" +
                                  "\" cannot store extended attributes: copies there keep their data, dates and "
                                  "what it can hold");
    EXPECT_EQ(log.lines()[2], "Moved \"c.txt\" to \"ramfs\"");
    EXPECT_TRUE(log.lines()[3].starts_with("An error occurred: ")) << log.lines()[3];
    EXPECT_EQ(log.failures(), std::vector<std::string>{log.lines()[3]}) << "only the failure is a warning";
}

TEST(MoveObjectPath, ClashGivesIncomingItemANewNameAndKeepsTheOldOneOrFailsWithoutLosingAnything) {
    const std::string tooLong = std::string(240, 'n') + ".txt";  // no room left for the UUID
    for (const auto& [name, copy] : {std::pair<std::string, signed char>{"report.txt", 1}, {"report.txt", 0},
                                     {tooLong, 0}}) {
        TempDir dir;
        WriteFile(dir / ("Folder/" + name), "new");
        WriteFile(dir / ("Folder/txt/" + name), "old");
        LogCapture log;
        EXPECT_EQ(MoveObjectPath(dir / ("Folder/" + name), dir / "Folder/txt", copy), name == tooLong ? 0 : 1);
        EXPECT_EQ(ReadFile(dir / ("Folder/txt/" + name)), "old");
        const std::vector<std::string> names = ListNames(dir / "Folder/txt");
        ASSERT_EQ(log.lines().size(), 1u);
        if (name == tooLong) {
            EXPECT_EQ(ReadFile(dir / ("Folder/" + name)), "new");
            EXPECT_EQ(names.size(), 1u);
            EXPECT_TRUE(log.lines()[0].starts_with("An error occurred: -")) << log.lines()[0];
            continue;
        }
        ASSERT_EQ(names.size(), 2u);
        const std::string& renamed = names[0] == name ? names[1] : names[0];
        EXPECT_TRUE(std::regex_match(renamed, std::regex("report - " + kUuid + "\\.txt"))) << renamed;
        EXPECT_EQ(ReadFile(dir / ("Folder/txt/" + renamed)), "new");
        EXPECT_EQ(log.lines()[0], "Moved \"" + renamed + "\" to \"txt\"");
    }
}

TEST(FSCreateDirectory, FindsAnyExistingItemOrMakesAFolderAndAFailedLookupGivesNoUsableReference) {
    TempDir dir;
    WriteFile(dir / "Folder/pdf", "a file");
    const FSRef parent = EntryRef(dir / "Folder");
    FSRef found{};
    EXPECT_EQ(FSCreateDirectory(&parent, "pdf", &found), noErr);
    EXPECT_EQ(ReadFile(dir / "Folder/pdf"), "a file") << "an existing file is returned, not replaced";
    EXPECT_EQ(Compare(found, EntryRef(dir / "Folder/pdf")), noErr);
    // A catalog name holding ':' has no POSIX name: the lookup fails with something other than "not found".
    EXPECT_TRUE(FSObjectExists(&parent, "a:b", &found));
    EXPECT_EQ(FSCreateDirectory(&parent, "a:b", &found), noErr);
    EXPECT_FALSE(FSIsFSRefValid(&found));
    EXPECT_EQ(ListNames(dir / "Folder"), std::vector<std::string>{"pdf"});
}

TEST(FSGetParentRef, VolumeRootHasNone) {
    const FSRef root = EntryRef("/");
    FSRef parent{};
    std::memset(&parent, 0xAB, sizeof parent);
    EXPECT_EQ(FSGetParentRef(&root, &parent), noErr);
    const FSRef zero{};
    EXPECT_EQ(std::memcmp(&parent, &zero, sizeof parent), 0);
    EXPECT_EQ(FSGetParentRef(&root, nullptr), paramErr);
}

TEST(DirectoryListing, FilesKeepTheListingOrderNothingToListGivesNoListAndTheFlagMakesAFileInvisible) {
    TempDir dir;
    for (const char* item : {"one.txt", "two.pdf", "three", "Sub1/", "Sub2/", "Tool.app/Contents/Info.plist"}) {
        std::string path = dir / (std::string("Folder/") + item);
        path.ends_with('/') ? (void)std::filesystem::create_directories(path) : WriteFile(path, "x");
    }
    std::filesystem::create_directory(dir / "Empty");
    const FSRef folder = EntryRef(dir / "Folder");
    const auto names = [](const std::vector<FSRef>& refs) {
        std::vector<std::string> result;
        for (const FSRef& ref : refs) {
            result.push_back(FSGetName(&ref).value_or("?"));
        }
        return result;
    };
    std::vector<std::string> expected = names(GetDirectoryItemsList(&folder));
    ASSERT_EQ(expected.size(), 6u);
    std::erase_if(expected, [](const std::string& name) { return name.starts_with("Sub"); });
    EXPECT_EQ(names(GetDirectoryFilesList(&folder)), expected) << "files and packages, in the full listing's order";
    const FSRef empty = EntryRef(dir / "Empty");
    const FSRef file = EntryRef(dir / "Folder/one.txt");
    EXPECT_TRUE(GetDirectoryItemsList(&empty).empty() && GetDirectoryItemsList(&file).empty() &&
                GetDirectoryFilesList(&file).empty());
    std::vector<FSRef> collection;
    Boolean changed = false;
    EXPECT_EQ(FSGetDirectoryItems(&empty, &collection, nullptr, &changed), paramErr);
    ItemCount count = 7;
    EXPECT_NE(FSGetDirectoryItems(&file, &collection, &count, &changed), noErr);
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(collection.empty());

    SKIP_WITHOUT_USER_XATTRS(dir.path());
    // The Finder information as the original platform stores it: big-endian, flags at bytes 8-9.
    std::string flagged(32, '\0');
    flagged[8] = static_cast<char>(kIsInvisible >> 8);
    flagged[9] = static_cast<char>(kIsInvisible & 0xFF);
    WriteFile(dir / "flagged.txt", "x");
    SetXattr(dir / "flagged.txt", "user.com.apple.FinderInfo", flagged);
    const FSRef item = EntryRef(dir / "flagged.txt");
    EXPECT_TRUE(IsInvisible(&item));
}
