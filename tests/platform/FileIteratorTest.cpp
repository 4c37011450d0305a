#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "support/TempDir.h"
#include "tests/platform/FilesTestSupport.h"

namespace {

// The names of a folder in the order the file system lists them.
std::vector<std::string> ListingOrder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* stream = opendir(folder.c_str());
    while (const dirent* entry = readdir(stream)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.emplace_back(entry->d_name);
        }
    }
    closedir(stream);
    return names;
}

std::string NameOf(const FSRef& ref) {
    char path[4098];
    if (FSRefMakePath(&ref, path, sizeof path) != noErr) {
        return {};
    }
    return std::string(path).substr(std::string(path).rfind('/') + 1);
}

class FileIteratorTest : public ::testing::Test {
protected:
    TempDir dir_;
};

TEST_F(FileIteratorTest, DeliversInChunksInListingOrder) {
    for (int i = 0; i < 25; ++i) {
        WriteFile(dir_ / ("item" + std::to_string(i)), "");
    }
    const FSRef folder = EntryRef(dir_.path());
    FSIterator iterator = nullptr;
    ASSERT_EQ(FSOpenIterator(&folder, kFSIterateFlat, &iterator), noErr);

    std::vector<ItemCount> chunks;
    std::vector<std::string> delivered;
    OSErr status = noErr;
    while (status == noErr) {
        FSRef refs[10];
        ItemCount count = 99;
        Boolean changed = true;
        status = FSGetCatalogInfoBulk(iterator, 10, &count, &changed, kFSCatInfoNone, nullptr, refs, nullptr);
        EXPECT_FALSE(changed);
        chunks.push_back(count);
        for (ItemCount i = 0; i < count; ++i) {
            EXPECT_TRUE(FSIsFSRefValid(&refs[i]));
            delivered.push_back(NameOf(refs[i]));
        }
    }
    EXPECT_EQ(FSCloseIterator(iterator), noErr);
    EXPECT_EQ(status, errFSNoMoreItems);
    EXPECT_EQ(chunks, (std::vector<ItemCount>{10, 10, 5}));
    EXPECT_EQ(delivered, ListingOrder(dir_.path()));
}

TEST_F(FileIteratorTest, EmptyFolderEndsAtOnce) {
    const FSRef folder = EntryRef(dir_.path());
    FSIterator iterator = nullptr;
    ASSERT_EQ(FSOpenIterator(&folder, kFSIterateFlat, &iterator), noErr);
    FSRef refs[10];
    ItemCount count = 99;
    EXPECT_EQ(FSGetCatalogInfoBulk(iterator, 10, &count, nullptr, kFSCatInfoNone, nullptr, refs, nullptr),
              errFSNoMoreItems);
    EXPECT_EQ(count, 0U);
    FSCloseIterator(iterator);
}

TEST_F(FileIteratorTest, ChildrenAreTheEntriesThemselvesWithTheirInfo) {
    WriteFile(dir_ / "folder/file", "");
    symlink("folder", (dir_ / "link").c_str());
    mkdir((dir_ / "sub").c_str(), 0755);
    const FSRef folder = EntryRef(dir_.path());
    FSIterator iterator = nullptr;
    ASSERT_EQ(FSOpenIterator(&folder, kFSIterateFlat, &iterator), noErr);
    FSRef refs[10];
    FSCatalogInfo infos[10];
    HFSUniStr255 names[10];
    ItemCount count = 0;
    EXPECT_EQ(FSGetCatalogInfoBulk(iterator, 10, &count, nullptr, kFSCatInfoNodeFlags, infos, refs, names),
              errFSNoMoreItems);
    FSCloseIterator(iterator);
    ASSERT_EQ(count, 3U);
    for (ItemCount i = 0; i < count; ++i) {
        const std::u16string name(names[i].unicode, names[i].length);
        const bool isFolder = (infos[i].nodeFlags & kFSNodeIsDirectoryMask) != 0;
        EXPECT_EQ(isFolder, name != u"link") << NameOf(refs[i]);
        EXPECT_EQ(CatalogName(NameOf(refs[i])), name);
    }
}

TEST_F(FileIteratorTest, OnlyFoldersCanBeListed) {
    WriteFile(dir_ / "file", "");
    mkdir((dir_ / "folder").c_str(), 0755);
    symlink("folder", (dir_ / "link").c_str());
    FSIterator iterator = nullptr;
    const FSRef file = EntryRef(dir_ / "file");
    const FSRef link = EntryRef(dir_ / "link");
    EXPECT_EQ(FSOpenIterator(&file, kFSIterateFlat, &iterator), errFSNotAFolder);
    EXPECT_EQ(FSOpenIterator(&link, kFSIterateFlat, &iterator), errFSNotAFolder);
    EXPECT_EQ(iterator, nullptr);
}

TEST_F(FileIteratorTest, UnreadableFolderCannotBeOpened) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to switch to an unprivileged user";
    }
    chmod(dir_.path().c_str(), 0755);
    mkdir((dir_ / "closed").c_str(), 0700);
    const std::string closed = dir_ / "closed";
    EXPECT_EQ(RunAsNobody([&closed] {
                  FSRef ref{};
                  FSIterator iterator = nullptr;
                  if (FSPathMakeRef(closed.c_str(), &ref, nullptr) != noErr) {
                      return 1;
                  }
                  return FSOpenIterator(&ref, kFSIterateFlat, &iterator) == afpAccessDenied ? 0 : 2;
              }),
              0);
}

TEST_F(FileIteratorTest, ReportsAFolderChangedWhileListed) {
    for (int i = 0; i < 4; ++i) {
        WriteFile(dir_ / ("item" + std::to_string(i)), "");
    }
    const FSRef folder = EntryRef(dir_.path());
    FSIterator iterator = nullptr;
    ASSERT_EQ(FSOpenIterator(&folder, kFSIterateFlat, &iterator), noErr);
    FSRef refs[2];
    ItemCount count = 0;
    Boolean changed = true;
    EXPECT_EQ(FSGetCatalogInfoBulk(iterator, 2, &count, &changed, kFSCatInfoNone, nullptr, refs, nullptr), noErr);
    EXPECT_FALSE(changed);
    WriteFile(dir_ / "arrived", "");
    FSGetCatalogInfoBulk(iterator, 2, &count, &changed, kFSCatInfoNone, nullptr, refs, nullptr);
    EXPECT_TRUE(changed);
    FSCloseIterator(iterator);
}

}  // namespace
