#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "platform/FinderInfoXattr.h"
#include "tests/platform/FilesTestSupport.h"

namespace {

FSCatalogInfo InfoOf(const std::string& path, FSCatalogInfoBitmap which) {
    const FSRef ref = EntryRef(path);
    FSCatalogInfo info{};
    EXPECT_EQ(FSGetCatalogInfo(&ref, which, &info, nullptr, nullptr), noErr) << path;
    return info;
}

std::u16string NameOf(const std::string& path, OSErr expected = noErr) {
    const FSRef ref = EntryRef(path);
    HFSUniStr255 name{};
    EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, &name, nullptr), expected) << path;
    return std::u16string(name.unicode, name.length);
}

TEST(FinderInfoDecodeTest, BigEndianFieldsBecomeHostOrderAndOtherSizesAreMalformed) {
    // Type, creator, flags, location, reserved; reserved, extended flags, reserved, put-away folder.
    const std::string bytes = std::string("TEXTttxt\x40\x01\x01\x02\0\0\0\0", 16) + std::string(8, '\0') +
                              std::string("\x80\0\0\0\x01\x02\x03\x04", 8);
    FinderInfo info;
    ExtendedFinderInfo extended;
    DecodeFinderInfo(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), info, extended);
    EXPECT_EQ(std::tuple(info.fileType, info.fileCreator, info.finderFlags, info.location[0]),
              std::tuple(FOUR_CHAR_CODE("TEXT"), FOUR_CHAR_CODE("ttxt"), kIsInvisible | 0x0001, 0x0102));
    EXPECT_EQ(std::tuple(extended.extendedFinderFlags, extended.putAwayFolderID), std::tuple(0x8000, 0x01020304));
    for (const std::size_t size : {0UL, 31UL, 33UL}) {
        DecodeFinderInfo(std::vector<std::uint8_t>(size, 0xFF), info, extended);
        EXPECT_EQ(info.fileType | info.finderFlags | extended.putAwayFolderID, 0U) << size;
    }
}

class CatalogInfoTest : public ::testing::Test {
protected:
    TempDir dir_;
};

TEST_F(CatalogInfoTest, FinderInfoAndFolderFlagOfTheEntryItself) {
    WriteFile(dir_ / "folder/plain.txt", "");
    symlink("folder", (dir_ / "link").c_str());
    EXPECT_EQ(InfoOf(dir_ / "folder", kFSCatInfoNodeFlags).nodeFlags & kFSNodeIsDirectoryMask, kFSNodeIsDirectoryMask);
    EXPECT_EQ(InfoOf(dir_ / "folder/plain.txt", kFSCatInfoNodeFlags).nodeFlags, 0);
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
    for (const char* item : {"", "folder", "folder/file"}) {
        EXPECT_NE(InfoOf(dir_ / item, kFSCatInfoNodeID).nodeID, fsRtDirID) << item;
    }
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
        {"image:jpeg", noErr, u"image/jpeg"},
        {std::string(255, 'n'), noErr, std::u16string(255, u'n')},
        {"\xE6\x9C\x88", noErr, u"\u6708"},
        {"caf\xE9", bdNamErr, u""},
    };
    for (const auto& [posix, status, catalog] : rows) {
        WriteFile(dir_ / posix, "");
        EXPECT_EQ(NameOf(dir_ / posix, status), catalog);
    }
    EXPECT_EQ(NameOf("/"), u"");
    EXPECT_EQ(InfoOf(dir_ / "caf\xE9", kFSCatInfoNodeFlags).nodeFlags, 0) << "the other fields can still be read";
}

TEST_F(CatalogInfoTest, ParentOfTheRootIsItselfAndAnInvalidReferenceWritesNothing) {
    WriteFile(dir_ / "folder/gone", "");
    const FSRef gone = EntryRef(dir_ / "folder/gone");
    const FSRef root = EntryRef("/");
    FSRef parent{};
    ASSERT_EQ(FSGetCatalogInfo(&gone, kFSCatInfoNone, nullptr, nullptr, &parent), noErr);
    EXPECT_EQ(Compare(parent, EntryRef(dir_ / "folder")), noErr);
    ASSERT_EQ(FSGetCatalogInfo(&root, kFSCatInfoNone, nullptr, nullptr, &parent), noErr);
    EXPECT_EQ(Compare(parent, root), noErr);
    unlink((dir_ / "folder/gone").c_str());
    FSCatalogInfo info{};
    info.nodeID = 77;
    EXPECT_EQ(FSGetCatalogInfo(&gone, kFSCatInfoNodeID, &info, nullptr, nullptr), fnfErr);
    EXPECT_EQ(info.nodeID, 77U);
    EXPECT_EQ(FSGetCatalogInfo(&gone, kFSCatInfoNodeID, nullptr, nullptr, nullptr), paramErr);
}

}  // namespace
