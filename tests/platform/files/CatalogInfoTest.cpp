#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "support/FilesTestSupport.h"

using namespace corvane;

namespace {

FSCatalogInfo InfoOf(const std::string& path, FSCatalogInfoBitmap which) {
    const FSRef ref = EntryRef(path);
    FSCatalogInfo info{};
    EXPECT_EQ(FSGetCatalogInfo(&ref, which, &info, nullptr, nullptr), noErr) << path;
    return info;
}

class CatalogInfoTest : public ::testing::Test {
protected:
    TempDir dir_;
};

TEST_F(CatalogInfoTest, FinderInfoAndFolderFlagOfTheEntryItself) {
    WriteFile(dir_ / "folder/plain.txt", "");
    symlink("folder", (dir_ / "link").c_str());
    EXPECT_EQ(InfoOf(dir_ / "folder", kFSCatInfoNodeFlags).nodeFlags & kFSNodeIsDirectoryMask, kFSNodeIsDirectoryMask);
    EXPECT_EQ(InfoOf(dir_ / "link", kFSCatInfoNodeFlags).nodeFlags, 0) << "a link to a folder is no folder";
    if (!UserXattrsSupported(dir_.path())) {
        GTEST_SKIP() << "no user extended attributes here";
    }
    const std::string hidden = "TEXTttxt" + std::string(1, '\x40') + std::string(23, '\0');
    WriteFile(dir_ / "hidden.txt", "");
    WriteFile(dir_ / "short.txt", "");
    SetXattr(dir_ / "hidden.txt", "user.com.apple.FinderInfo", hidden);
    SetXattr(dir_ / "short.txt", "user.com.apple.FinderInfo", hidden.substr(1));
    symlink("hidden.txt", (dir_ / "hidden-link").c_str());
    const FinderInfo info = InfoOf(dir_ / "hidden.txt", kFSCatInfoFinderInfo | kFSCatInfoFinderXInfo).finderInfo;
    EXPECT_EQ(std::tuple(info.fileType, info.finderFlags), std::tuple(FOUR_CHAR_CODE("TEXT"), kIsInvisible));
    for (const char* name : {"folder/plain.txt", "short.txt", "hidden-link"}) {
        EXPECT_EQ(InfoOf(dir_ / name, kFSCatInfoFinderInfo).finderInfo.finderFlags, 0) << name;
    }
}

TEST_F(CatalogInfoTest, NodeIDTwoOnlyForVolumeRoots) {
    WriteFile(dir_ / "folder/file", "");
    EXPECT_EQ(InfoOf("/", kFSCatInfoNodeID).nodeID, fsRtDirID);
    EXPECT_NE(InfoOf(dir_ / "folder", kFSCatInfoNodeID).nodeID, fsRtDirID);
    const TmpfsMount volume(dir_ / "volume", "1m");
    if (!volume.mounted) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    }
    WriteFile(dir_ / "volume/inside/file", "");
    EXPECT_EQ(InfoOf(dir_ / "volume", kFSCatInfoNodeID).nodeID, fsRtDirID);
    EXPECT_NE(InfoOf(dir_ / "volume/inside", kFSCatInfoNodeID).nodeID, fsRtDirID);
}

TEST_F(CatalogInfoTest, NamesSwapSlashAndColonAndNeedUtf8) {
    const std::tuple<std::string, OSErr, std::u16string> rows[] = {
        {"image:jpeg", noErr, u"image/jpeg"}, {std::string(255, 'n'), noErr, std::u16string(255, u'n')},
        {"\xE6\x9C\x88", noErr, u"\u6708"},   {"caf\xE9", bdNamErr, u""},
    };
    for (const auto& [posix, status, catalog] : rows) {
        WriteFile(dir_ / posix, "");
        const FSRef ref = EntryRef(dir_ / posix);
        HFSUniStr255 name{};
        EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, &name, nullptr), status) << posix;
        EXPECT_EQ(std::u16string(name.unicode, name.length), catalog) << posix;
    }
    EXPECT_EQ(InfoOf(dir_ / "caf\xE9", kFSCatInfoNodeFlags).nodeFlags, 0) << "the other fields can still be read";
}

TEST_F(CatalogInfoTest, ParentOfTheRootIsItselfAndAnInvalidReferenceWritesNothing) {
    WriteFile(dir_ / "gone", "");
    const FSRef gone = EntryRef(dir_ / "gone");
    const FSRef root = EntryRef("/");
    FSRef parent{};
    ASSERT_EQ(FSGetCatalogInfo(&root, kFSCatInfoNone, nullptr, nullptr, &parent), noErr);
    EXPECT_EQ(Compare(parent, root), noErr);
    unlink((dir_ / "gone").c_str());
    FSCatalogInfo info{};
    info.nodeID = 77;
    EXPECT_EQ(FSGetCatalogInfo(&gone, kFSCatInfoNodeID, &info, nullptr, nullptr), fnfErr);
    EXPECT_EQ(info.nodeID, 77U);
}

}  // namespace
