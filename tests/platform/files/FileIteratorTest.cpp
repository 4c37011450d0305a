#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/base/UnicodeText.h"
#include "support/FilesTestSupport.h"

using namespace corvane;

namespace fs = std::filesystem;

namespace {

FSIterator Open(const std::string& folder, OSErr expected = noErr) {
    const FSRef ref = EntryRef(folder);
    FSIterator iterator = nullptr;
    EXPECT_EQ(FSOpenIterator(&ref, kFSIterateFlat, &iterator), expected) << folder;
    return iterator;
}

// Asks for up to ten children, checks each one's name and folder flag, and keeps its name.
OSErr Next(FSIterator iterator, std::vector<std::string>& delivered, Boolean* changed) {
    FSRef refs[10];
    FSCatalogInfo infos[10];
    HFSUniStr255 names[10];
    ItemCount count = 99;
    const OSErr status = FSGetCatalogInfoBulk(iterator, 10, &count, changed, kFSCatInfoNodeFlags, infos, refs, names);
    for (ItemCount i = 0; i < count; ++i) {
        const fs::path path = PathOf(refs[i]);
        delivered.push_back(path.filename().string());
        EXPECT_EQ(PosixNameFromCatalogName({names[i].unicode, names[i].length}), path.filename().string());
        EXPECT_EQ((infos[i].nodeFlags & kFSNodeIsDirectoryMask) != 0, fs::is_directory(fs::symlink_status(path)));
    }
    return status;
}

TEST(FileIteratorTest, DeliversInChunksInListingOrderAndNoticesChanges) {
    const TempDir dir;
    fs::create_directory(dir / "empty");
    for (int i = 0; i < 23; ++i) {
        WriteFile(dir / ("full/item" + std::to_string(i)), "");
    }
    fs::create_directory(dir / "full/image:jpeg");
    symlink("image:jpeg", (dir / "full/link").c_str());
    std::vector<std::string> delivered;
    Boolean changed = true;
    FSIterator iterator = Open(dir / "empty");
    EXPECT_EQ(Next(iterator, delivered, &changed), errFSNoMoreItems);
    FSCloseIterator(iterator);

    iterator = Open(dir / "full");
    EXPECT_EQ(Next(iterator, delivered, &changed), noErr);
    EXPECT_EQ(Next(iterator, delivered, &changed), noErr);
    EXPECT_EQ(delivered.size(), 20U);
    EXPECT_EQ(Next(iterator, delivered, &changed), errFSNoMoreItems);
    EXPECT_FALSE(changed);
    EXPECT_EQ(FSCloseIterator(iterator), noErr);
    std::vector<std::string> listed;
    for (const auto& entry : fs::directory_iterator(dir / "full")) {
        listed.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(delivered, listed);

    iterator = Open(dir / "full");
    Next(iterator, delivered, &changed);
    WriteFile(dir / "full/arrived", "");
    Next(iterator, delivered, &changed);
    EXPECT_TRUE(changed);
    FSCloseIterator(iterator);
    Open(dir / "full/item0", errFSNotAFolder);
    Open(dir / "full/link", errFSNotAFolder);
}

}  // namespace
