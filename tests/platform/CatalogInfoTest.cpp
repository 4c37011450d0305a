#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "platform/FinderInfoXattr.h"
#include "support/TempDir.h"
#include "tests/platform/FilesTestSupport.h"

namespace {

// 32 bytes as the original platform writes them: type, creator, flags, location, then the
// extended half with its flags at bytes 24-25 and the put-away folder at 28-31.
std::string FinderInfoBytes(const std::string& type, const std::string& creator, std::uint16_t flags,
                            std::uint16_t extendedFlags = 0, std::uint32_t putAway = 0) {
    std::string bytes(32, '\0');
    bytes.replace(0, 4, type);
    bytes.replace(4, 4, creator);
    bytes[8] = static_cast<char>(flags >> 8);
    bytes[9] = static_cast<char>(flags & 0xFF);
    bytes[10] = 0x01;  // location.v = 0x0102
    bytes[11] = 0x02;
    bytes[24] = static_cast<char>(extendedFlags >> 8);
    bytes[25] = static_cast<char>(extendedFlags & 0xFF);
    for (int i = 0; i < 4; ++i) {
        bytes[28 + i] = static_cast<char>(putAway >> (24 - 8 * i));
    }
    return bytes;
}

FSCatalogInfo InfoOf(const FSRef& ref, FSCatalogInfoBitmap which, OSErr expected = noErr) {
    FSCatalogInfo info{};
    EXPECT_EQ(FSGetCatalogInfo(&ref, which, &info, nullptr, nullptr), expected);
    return info;
}

std::u16string NameOf(const FSRef& ref, OSErr* status = nullptr) {
    HFSUniStr255 name{};
    const OSErr result = FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, &name, nullptr);
    if (status != nullptr) {
        *status = result;
    }
    return std::u16string(name.unicode, name.length);
}

TEST(FinderInfoDecodeTest, BigEndianFieldsBecomeHostOrder) {
    const std::string bytes = FinderInfoBytes("TEXT", "ttxt", kIsInvisible | 0x0001, 0x8000, 0x01020304);
    FinderInfo info;
    ExtendedFinderInfo extended;
    DecodeFinderInfo(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), info, extended);
    EXPECT_EQ(info.fileType, FOUR_CHAR_CODE("TEXT"));
    EXPECT_EQ(info.fileCreator, FOUR_CHAR_CODE("ttxt"));
    EXPECT_EQ(info.finderFlags, kIsInvisible | 0x0001);
    EXPECT_EQ(info.location[0], 0x0102);
    EXPECT_EQ(extended.extendedFinderFlags, 0x8000);
    EXPECT_EQ(extended.putAwayFolderID, 0x01020304);
}

TEST(FinderInfoDecodeTest, AnyOtherSizeIsMalformed) {
    for (const std::size_t size : {0UL, 16UL, 31UL, 33UL}) {
        const std::vector<std::uint8_t> bytes(size, 0xFF);
        FinderInfo info{};
        info.fileType = 1;
        ExtendedFinderInfo extended{};
        extended.putAwayFolderID = 1;
        DecodeFinderInfo(bytes, info, extended);
        EXPECT_EQ(info.fileType, 0U) << size;
        EXPECT_EQ(info.finderFlags, 0U) << size;
        EXPECT_EQ(extended.putAwayFolderID, 0) << size;
    }
}

class CatalogInfoTest : public ::testing::Test {
protected:
    TempDir dir_;
};

TEST_F(CatalogInfoTest, FinderInfoComesFromTheItemsOwnAttribute) {
    if (!UserXattrsSupported(dir_.path())) {
        GTEST_SKIP() << "no user extended attributes here";
    }
    WriteFile(dir_ / "hidden.txt", "");
    WriteFile(dir_ / "plain.txt", "");
    WriteFile(dir_ / "short.txt", "");
    SetXattr(dir_ / "hidden.txt", "user.com.apple.FinderInfo", FinderInfoBytes("TEXT", "ttxt", kIsInvisible));
    SetXattr(dir_ / "short.txt", "user.com.apple.FinderInfo", FinderInfoBytes("TEXT", "ttxt", kIsInvisible).substr(1));
    symlink("hidden.txt", (dir_ / "link").c_str());

    const FSCatalogInfo hidden = InfoOf(EntryRef(dir_ / "hidden.txt"), kFSCatInfoFinderInfo | kFSCatInfoFinderXInfo);
    EXPECT_EQ(hidden.finderInfo.fileType, FOUR_CHAR_CODE("TEXT"));
    EXPECT_TRUE(hidden.finderInfo.finderFlags & kIsInvisible);
    EXPECT_EQ(InfoOf(EntryRef(dir_ / "plain.txt"), kFSCatInfoFinderInfo).finderInfo.finderFlags, 0);
    EXPECT_EQ(InfoOf(EntryRef(dir_ / "short.txt"), kFSCatInfoFinderInfo).finderInfo.fileType, 0U) << "malformed";
    EXPECT_EQ(InfoOf(EntryRef(dir_ / "link"), kFSCatInfoFinderInfo).finderInfo.finderFlags, 0) << "link not followed";
}

TEST_F(CatalogInfoTest, NodeFlagsMarkDirectoriesOnly) {
    WriteFile(dir_ / "folder/file", "");
    symlink("folder", (dir_ / "link").c_str());
    EXPECT_EQ(InfoOf(EntryRef(dir_ / "folder"), kFSCatInfoNodeFlags).nodeFlags & kFSNodeIsDirectoryMask,
              kFSNodeIsDirectoryMask);
    EXPECT_EQ(InfoOf(EntryRef(dir_ / "folder/file"), kFSCatInfoNodeFlags).nodeFlags & kFSNodeIsDirectoryMask, 0);
    EXPECT_EQ(InfoOf(EntryRef(dir_ / "link"), kFSCatInfoNodeFlags).nodeFlags & kFSNodeIsDirectoryMask, 0)
        << "a link to a folder is no folder";
}

TEST_F(CatalogInfoTest, NodeIDTwoOnlyForVolumeRoots) {
    WriteFile(dir_ / "folder/file", "");
    EXPECT_EQ(InfoOf(EntryRef("/"), kFSCatInfoNodeID).nodeID, fsRtDirID);
    for (const char* item : {"", "folder", "folder/file"}) {
        EXPECT_NE(InfoOf(EntryRef(dir_ / item), kFSCatInfoNodeID).nodeID, fsRtDirID) << item;
    }
    EXPECT_NE(InfoOf(EntryRef(dir_ / "folder"), kFSCatInfoNodeID).nodeID,
              InfoOf(EntryRef(dir_ / "folder/file"), kFSCatInfoNodeID).nodeID);

    const TmpfsMount volume(dir_ / "volume", "1m");
    if (!volume.mounted()) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    }
    WriteFile(dir_ / "volume/inside/file", "");
    EXPECT_EQ(InfoOf(EntryRef(dir_ / "volume"), kFSCatInfoNodeID).nodeID, fsRtDirID);
    EXPECT_NE(InfoOf(EntryRef(dir_ / "volume/inside"), kFSCatInfoNodeID).nodeID, fsRtDirID);
    EXPECT_NE(InfoOf(EntryRef(dir_ / "volume/inside/file"), kFSCatInfoNodeID).nodeID, fsRtDirID);
}

TEST_F(CatalogInfoTest, NamesSwapSlashAndColon) {
    WriteFile(dir_ / "image:jpeg", "");
    EXPECT_EQ(NameOf(EntryRef(dir_ / "image:jpeg")), u"image/jpeg");
    EXPECT_EQ(NameOf(EntryRef(dir_.path())), CatalogName(dir_.path().filename().string()));
    EXPECT_EQ(NameOf(EntryRef("/")), u"");
}

TEST_F(CatalogInfoTest, NameThatIsNotUtf8HasNoCatalogName) {
    const std::string bad = dir_ / "caf\xE9.txt";
    WriteFile(bad, "");
    const FSRef ref = EntryRef(bad);
    OSErr status = noErr;
    NameOf(ref, &status);
    EXPECT_EQ(status, bdNamErr);
    EXPECT_EQ(InfoOf(ref, kFSCatInfoNodeFlags).nodeFlags, 0) << "the other fields can still be read";
}

TEST_F(CatalogInfoTest, LongestNames) {
    const std::string ascii(255, 'n');
    std::string wide;
    for (int i = 0; i < 85; ++i) {
        wide += "\xE6\x9C\x88";
    }
    WriteFile(dir_ / ascii, "");
    WriteFile(dir_ / wide, "");
    EXPECT_EQ(NameOf(EntryRef(dir_ / ascii)).size(), 255U);
    EXPECT_EQ(NameOf(EntryRef(dir_ / wide)), std::u16string(85, u'\u6708'));
}

TEST_F(CatalogInfoTest, ParentRefNamesTheFolder) {
    WriteFile(dir_ / "folder/file", "");
    FSRef parent{};
    const FSRef file = EntryRef(dir_ / "folder/file");
    ASSERT_EQ(FSGetCatalogInfo(&file, kFSCatInfoNone, nullptr, nullptr, &parent), noErr);
    const FSRef folder = EntryRef(dir_ / "folder");
    EXPECT_EQ(FSCompareFSRefs(&parent, &folder), noErr);

    const FSRef root = EntryRef("/");
    ASSERT_EQ(FSGetCatalogInfo(&root, kFSCatInfoNone, nullptr, nullptr, &parent), noErr);
    EXPECT_EQ(FSCompareFSRefs(&parent, &root), noErr) << "the root folder is its own parent";
}

TEST_F(CatalogInfoTest, InvalidReferenceWritesNothing) {
    WriteFile(dir_ / "gone", "");
    const FSRef ref = EntryRef(dir_ / "gone");
    unlink((dir_ / "gone").c_str());
    FSCatalogInfo info{};
    info.nodeID = 77;
    EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNodeID, &info, nullptr, nullptr), fnfErr);
    EXPECT_EQ(info.nodeID, 77U);
    EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNodeID, nullptr, nullptr, nullptr), paramErr);
}

}  // namespace
