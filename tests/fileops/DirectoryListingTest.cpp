// Listing a folder's items and its files, on real folders.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "fileops/DirectoryListing.h"
#include "fileops/ItemTests.h"
#include "support/FilesTestSupport.h"
#include "support/TempDir.h"

using namespace corvane;

namespace {

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
