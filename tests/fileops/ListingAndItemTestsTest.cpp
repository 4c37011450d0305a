// Listing a folder's items and files, and the invisibility and plain-folder tests, on real folders.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>

#include "fileops/DirectoryListing.h"
#include "fileops/ItemTests.h"
#include "support/FilesTestSupport.h"
#include "support/TempDir.h"

namespace {


// The Finder information attribute as the original platform stores it: big-endian, flags at bytes 8-9.
std::string FinderInfoWithFlags(std::uint16_t flags, const char* type = "\0\0\0\0") {
    std::string info(32, '\0');
    std::memcpy(info.data(), type, 4);
    info[8] = static_cast<char>(flags >> 8);
    info[9] = static_cast<char>(flags & 0xFF);
    return info;
}

std::vector<std::string> NamesOf(const std::vector<FSRef>& refs) {
    std::vector<std::string> names;
    for (const FSRef& ref : refs) {
        names.push_back(FSGetName(&ref).value_or("?"));
    }
    return names;
}

}  // namespace

TEST(DirectoryListing, FilesListKeepsFilesAndPackagesInListingOrder) {
    TempDir dir;
    for (const char* file : {"one.txt", "two.pdf", "three"}) {
        WriteFile(dir / (std::string("Folder/") + file), "x");
    }
    mkdir((dir / "Folder/Sub1").c_str(), 0755);
    mkdir((dir / "Folder/Sub2").c_str(), 0755);
    WriteFile(dir / "Folder/Tool.app/Contents/Info.plist", "<plist/>");
    const FSRef folder = EntryRef(dir / "Folder");

    const std::vector<FSRef> all = GetDirectoryItemsList(&folder);
    const std::vector<FSRef> files = GetDirectoryFilesList(&folder);
    ASSERT_EQ(all.size(), 6u);
    ASSERT_EQ(files.size(), 4u);
    std::vector<std::string> expected;
    for (const std::string& name : NamesOf(all)) {
        if (name != "Sub1" && name != "Sub2") {
            expected.push_back(name);
        }
    }
    EXPECT_EQ(NamesOf(files), expected) << "files keep the order of the full listing";
}

TEST(DirectoryListing, NothingToListGivesNoList) {
    TempDir dir;
    mkdir((dir / "Empty").c_str(), 0755);
    WriteFile(dir / "file.txt", "x");
    const FSRef empty = EntryRef(dir / "Empty");
    const FSRef file = EntryRef(dir / "file.txt");
    EXPECT_TRUE(GetDirectoryItemsList(&empty).empty());
    EXPECT_TRUE(GetDirectoryItemsList(&file).empty());
    EXPECT_TRUE(GetDirectoryFilesList(&file).empty());

    std::vector<FSRef> collection;
    Boolean changed = false;
    EXPECT_EQ(FSGetDirectoryItems(&empty, &collection, nullptr, &changed), paramErr);
    ItemCount count = 7;
    EXPECT_NE(FSGetDirectoryItems(&file, &collection, &count, &changed), noErr);
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(collection.empty());
}

TEST(ItemTests, InvisibilityRules) {
    TempDir dir;
    if (!UserXattrsSupported(dir.path())) {
        GTEST_SKIP() << "this file system takes no user extended attributes";
    }
    WriteFile(dir / "Folder/.dotfile", "x");
    WriteFile(dir / "Folder/flagged.txt", "x");
    WriteFile(dir / "Folder/plain.txt", "x");
    mkdir((dir / "Folder/FlaggedFolder").c_str(), 0755);
    mkdir((dir / "Folder/.dotfolder").c_str(), 0755);
    SetXattr(dir / "Folder/flagged.txt", "user.com.apple.FinderInfo", FinderInfoWithFlags(kIsInvisible));
    SetXattr(dir / "Folder/FlaggedFolder", "user.com.apple.FinderInfo", FinderInfoWithFlags(kIsInvisible));
    const struct {
        const char* name;
        bool invisible;
    } rows[] = {
        {".dotfile", true}, {"flagged.txt", true}, {"plain.txt", false}, {"FlaggedFolder", false}, {".dotfolder", true},
    };
    for (const auto& row : rows) {
        const FSRef item = EntryRef(dir / (std::string("Folder/") + row.name));
        EXPECT_EQ(IsInvisible(&item), row.invisible) << row.name;
    }
}
