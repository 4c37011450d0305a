// The mover against real folders: collision names, copy versus move, what is logged, what is refused.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <regex>

#include "fileops/ObjectMover.h"
#include "platform/files/FileSystemFeatures.h"
#include "support/FilesTestSupport.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

using namespace corvane;

namespace {

const std::string kUuid = "[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}";

std::string NewNameFor(const TempDir& dir, const std::string& name) {
    WriteFile(dir / ("src/" + name), "incoming");
    WriteFile(dir / ("dest/" + name), "already there");
    const FSRef destination = EntryRef(dir / "dest");
    const FSRef item = EntryRef(dir / ("src/" + name));
    const std::optional<std::u16string> units = RenameDuplicateFile(&destination, &item);
    if (!units) {
        return "(none)";
    }
    return std::string(units->begin(), units->end());
}

}  // namespace

TEST(RenameDuplicateFile, FormsStemUuidExtension) {
    struct Row {
        std::string name;
        std::string pattern;
        const char* proves;
    };
    const Row rows[] = {
        {"report.txt", "report - " + kUuid + "\\.txt", "the UUID goes between stem and extension"},
        {"README", "README - " + kUuid, "no extension: the whole name, then the UUID"},
        {"archive.tar.gz", "archive\\.tar - " + kUuid + "\\.gz", "only the last extension moves behind the UUID"},
        {".txt", kUuid + "\\.txt", "an empty stem gets no separator"},
        {"Report.PDF", "Report - " + kUuid + "\\.PDF", "letter case of the extension is kept"},
        {"a.b.a.b", "a\\.b\\.a - " + kUuid + "\\.b", "the last occurrence of the extension is cut"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        const std::string made = NewNameFor(dir, row.name);
        EXPECT_TRUE(std::regex_match(made, std::regex(row.pattern))) << row.proves << ": " << made;
    }
}

TEST(RenameDuplicateFile, FreeNameNeedsNoNewName) {
    TempDir dir;
    WriteFile(dir / "src/report.txt", "x");
    mkdir((dir / "dest").c_str(), 0755);
    const FSRef destination = EntryRef(dir / "dest");
    const FSRef item = EntryRef(dir / "src/report.txt");
    EXPECT_FALSE(RenameDuplicateFile(&destination, &item));
}

TEST(MoveObjectPath, CopyAndMoveCarryTheComment) {
    TempDir dir;
    if (!UserXattrsSupported(dir.path())) {
        GTEST_SKIP() << "this file system takes no user extended attributes";
    }
    const std::string comment = "caf\xc3\xa9 \xf0\x9f\x93\x8e";
    WriteFile(dir / "Folder/a.txt", "alpha");
    SetXattr(dir / "Folder/a.txt", "user.xdg.comment", comment);
    mkdir((dir / "Folder/txt").c_str(), 0755);
    mkdir((dir / "Folder/2007").c_str(), 0755);
    LogCapture log;
    EXPECT_EQ(MoveObjectPath(dir / "Folder/a.txt", dir / "Folder/txt", 1), 1);
    EXPECT_EQ(ReadFile(dir / "Folder/a.txt"), "alpha") << "a copy leaves the source";
    EXPECT_EQ(GetXattr(dir / "Folder/txt/a.txt", "user.xdg.comment"), comment);
    EXPECT_EQ(MoveObjectPath(dir / "Folder/txt/a.txt", dir / "Folder/2007", 0), 1);
    EXPECT_NE(access((dir / "Folder/txt/a.txt").c_str(), F_OK), 0) << "a move takes the item away";
    EXPECT_EQ(GetXattr(dir / "Folder/2007/a.txt", "user.xdg.comment"), comment);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Moved \"a.txt\" to \"txt\"", "Moved \"a.txt\" to \"2007\""}));
}

TEST(MoveObjectPath, ADestinationWithoutAttributesFailsACopysCommentAndRefusesAMove) {
    TempDir dir;
    if (!UserXattrsSupported(dir.path())) {
        GTEST_SKIP() << "this file system takes no user extended attributes";
    }
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

TEST(MoveObjectPath, ClashGivesIncomingItemANewNameAndKeepsTheOldOne) {
    for (const signed char copy : {1, 0}) {
        TempDir dir;
        WriteFile(dir / "Folder/report.txt", "new");
        WriteFile(dir / "Folder/txt/report.txt", "old");
        LogCapture log;
        EXPECT_EQ(MoveObjectPath(dir / "Folder/report.txt", dir / "Folder/txt", copy), 1);
        EXPECT_EQ(ReadFile(dir / "Folder/txt/report.txt"), "old");
        const std::vector<std::string> names = ListNames(dir / "Folder/txt");
        ASSERT_EQ(names.size(), 2u);
        const std::string& renamed = names[0] == "report.txt" ? names[1] : names[0];
        EXPECT_TRUE(std::regex_match(renamed, std::regex("report - " + kUuid + "\\.txt"))) << renamed;
        EXPECT_EQ(ReadFile(dir / ("Folder/txt/" + renamed)), "new");
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_EQ(log.lines()[0], "Moved \"" + renamed + "\" to \"txt\"");
    }
}

TEST(MoveObjectPath, ItemAlreadyInDestinationIsLeftAloneSilently) {
    TempDir dir;
    WriteFile(dir / "Folder/a.txt", "alpha");
    LogCapture log;
    EXPECT_EQ(MoveObjectPath(dir / "Folder/a.txt", dir / "Folder", 1), 1);
    EXPECT_EQ(ListNames(dir / "Folder"), std::vector<std::string>{"a.txt"});
    EXPECT_TRUE(log.lines().empty());
}

TEST(MoveObjectPath, UnresolvablePaths) {
    TempDir dir;
    WriteFile(dir / "Folder/a.txt", "alpha");
    LogCapture log;
    EXPECT_EQ(MoveObjectPath(dir / "Folder/missing.txt", dir / "Folder", 1), 0);
    EXPECT_TRUE(log.lines().empty()) << "a missing source is not logged";
    EXPECT_EQ(MoveObjectPath(dir / "Folder/a.txt", dir / "Folder/nowhere", 1), 0);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"An error occurred moving an object. Error number = -43"});
    EXPECT_EQ(log.failures(), log.lines());
}

TEST(MoveObjectPath, NameTooLongForTheUuidFailsWithoutLosingAnything) {
    TempDir dir;
    const std::string name = std::string(240, 'n') + ".txt";
    WriteFile(dir / ("Folder/" + name), "new");
    WriteFile(dir / ("Folder/txt/" + name), "old");
    LogCapture log;
    EXPECT_EQ(MoveObjectPath(dir / ("Folder/" + name), dir / "Folder/txt", 0), 0);
    EXPECT_EQ(ReadFile(dir / ("Folder/" + name)), "new");
    EXPECT_EQ(ReadFile(dir / ("Folder/txt/" + name)), "old");
    EXPECT_EQ(ListNames(dir / "Folder/txt").size(), 1u);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(log.lines()[0].starts_with("An error occurred: -")) << log.lines()[0];
}

TEST(FSCreateDirectory, FindsAnyExistingItemOrMakesAFolder) {
    TempDir dir;
    WriteFile(dir / "Folder/pdf", "a file");
    const FSRef parent = EntryRef(dir / "Folder");
    FSRef found{};
    EXPECT_EQ(FSCreateDirectory(&parent, "pdf", &found), noErr);
    EXPECT_EQ(ReadFile(dir / "Folder/pdf"), "a file") << "an existing file is returned, not replaced";
    const FSRef existing = EntryRef(dir / "Folder/pdf");
    EXPECT_EQ(FSCompareFSRefs(&found, &existing), noErr);

    FSRef made{};
    EXPECT_EQ(FSCreateDirectory(&parent, "image/jpeg", &made), noErr);
    struct stat info {};
    ASSERT_EQ(stat((dir / "Folder/image:jpeg").c_str(), &info), 0) << "'/' in a key is ':' on disk";
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    const FSRef onDisk = EntryRef(dir / "Folder/image:jpeg");
    EXPECT_EQ(FSCompareFSRefs(&made, &onDisk), noErr);
}

TEST(FSCreateDirectory, FailedLookupLeavesNoUsableReference) {
    TempDir dir;
    mkdir((dir / "Folder").c_str(), 0755);
    const FSRef parent = EntryRef(dir / "Folder");
    FSRef result{};
    // A catalog name holding ':' has no POSIX name: the lookup fails with something other than "not found".
    EXPECT_TRUE(FSObjectExists(&parent, "a:b", &result));
    EXPECT_EQ(FSCreateDirectory(&parent, "a:b", &result), noErr);
    EXPECT_FALSE(FSIsFSRefValid(&result));
    EXPECT_TRUE(ListNames(dir / "Folder").empty());
}

TEST(FSGetParentRef, VolumeRootHasNone) {
    FSRef root{};
    ASSERT_EQ(FSPathMakeRef("/", &root, nullptr), noErr);
    FSRef parent{};
    std::memset(&parent, 0xAB, sizeof parent);
    EXPECT_EQ(FSGetParentRef(&root, &parent), noErr);
    const FSRef zero{};
    EXPECT_EQ(std::memcmp(&parent, &zero, sizeof parent), 0);
    EXPECT_EQ(FSGetParentRef(&root, nullptr), paramErr);
}
