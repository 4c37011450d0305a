#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/UnicodeText.h"
#include "tests/platform/FilesTestSupport.h"

namespace fs = std::filesystem;

namespace {

class FileIteratorTest : public ::testing::Test {
protected:
    FSIterator Open(const std::string& folder) {
        const FSRef ref = EntryRef(folder);
        FSIterator iterator = nullptr;
        EXPECT_EQ(FSOpenIterator(&ref, kFSIterateFlat, &iterator), noErr);
        return iterator;
    }
    // Asks for up to ten children, checks each one's name and folder flag, and keeps its name.
    OSErr Next(FSIterator iterator, Boolean* changed = nullptr) {
        FSRef refs[10];
        FSCatalogInfo infos[10];
        HFSUniStr255 names[10];
        ItemCount count = 99;
        const OSErr status =
            FSGetCatalogInfoBulk(iterator, 10, &count, changed, kFSCatInfoNodeFlags, infos, refs, names);
        for (ItemCount i = 0; i < count; ++i) {
            const fs::path path = PathOf(refs[i]);
            delivered_.push_back(path.filename().string());
            EXPECT_EQ(PosixNameFromCatalogName({names[i].unicode, names[i].length}), path.filename().string());
            EXPECT_EQ((infos[i].nodeFlags & kFSNodeIsDirectoryMask) != 0, fs::is_directory(fs::symlink_status(path)));
        }
        return status;
    }
    TempDir dir_;
    std::vector<std::string> delivered_;
};

TEST_F(FileIteratorTest, DeliversInChunksInListingOrderAndNoticesChanges) {
    fs::create_directory(dir_ / "empty");
    for (int i = 0; i < 23; ++i) {
        WriteFile(dir_ / ("full/item" + std::to_string(i)), "");
    }
    fs::create_directory(dir_ / "full/image:jpeg");
    symlink("image:jpeg", (dir_ / "full/link").c_str());
    FSIterator iterator = Open(dir_ / "empty");
    EXPECT_EQ(Next(iterator), errFSNoMoreItems);
    FSCloseIterator(iterator);

    iterator = Open(dir_ / "full");
    Boolean changed = true;
    EXPECT_EQ(Next(iterator, &changed), noErr);
    EXPECT_EQ(Next(iterator, &changed), noErr);
    EXPECT_EQ(delivered_.size(), 20U);
    EXPECT_EQ(Next(iterator, &changed), errFSNoMoreItems);
    EXPECT_FALSE(changed);
    EXPECT_EQ(FSCloseIterator(iterator), noErr);
    std::vector<std::string> listed;
    for (const auto& entry : fs::directory_iterator(dir_ / "full")) {
        listed.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(delivered_, listed);

    iterator = Open(dir_ / "full");
    Next(iterator, &changed);
    WriteFile(dir_ / "full/arrived", "");
    Next(iterator, &changed);
    EXPECT_TRUE(changed);
    FSCloseIterator(iterator);
}

TEST_F(FileIteratorTest, OnlyFoldersTheUserMayReadCanBeListed) {
    WriteFile(dir_ / "file", "");
    mkdir((dir_ / "closed").c_str(), 0700);
    symlink("closed", (dir_ / "link").c_str());
    FSIterator iterator = nullptr;
    for (const char* name : {"file", "link"}) {
        const FSRef ref = EntryRef(dir_ / name);
        EXPECT_EQ(FSOpenIterator(&ref, kFSIterateFlat, &iterator), errFSNotAFolder) << name;
    }
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to switch to an unprivileged user";
    }
    chmod(dir_.path().c_str(), 0755);
    const std::string closed = dir_ / "closed";
    EXPECT_EQ(RunAsNobody([&closed, &iterator] {
                  const FSRef ref = EntryRef(closed);
                  return FSOpenIterator(&ref, kFSIterateFlat, &iterator) == afpAccessDenied ? 0 : 1;
              }),
              0);
}

}  // namespace
