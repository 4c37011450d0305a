#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "support/TempDir.h"
#include "tests/platform/FilesTestSupport.h"

namespace {

OSErr Lookup(const FSRef& parent, const std::u16string& name, FSRef* found) {
    return FSMakeFSRefUnicode(&parent, static_cast<UniCharCount>(name.size()), name.data(), 0, found);
}

OSErr Create(const FSRef& parent, const std::u16string& name, FSRef* made) {
    return FSCreateDirectoryUnicode(&parent, static_cast<UniCharCount>(name.size()), name.data(), kFSCatInfoNone,
                                    nullptr, made, nullptr);
}

class FilesLookupTest : public ::testing::Test {
protected:
    TempDir dir_;
};

TEST_F(FilesLookupTest, FindsChildrenByCatalogName) {
    WriteFile(dir_ / "image:jpeg", "");
    WriteFile(dir_ / "plain", "");
    symlink("plain", (dir_ / "link").c_str());
    const FSRef parent = EntryRef(dir_.path());
    FSRef found{};
    ASSERT_EQ(Lookup(parent, u"image/jpeg", &found), noErr);
    const FSRef expected = EntryRef(dir_ / "image:jpeg");
    EXPECT_EQ(FSCompareFSRefs(&found, &expected), noErr);

    ASSERT_EQ(Lookup(parent, u"link", &found), noErr);
    const FSRef link = EntryRef(dir_ / "link");
    EXPECT_EQ(FSCompareFSRefs(&found, &link), noErr) << "the link itself, not its target";

    EXPECT_EQ(Lookup(parent, u"missing", &found), fnfErr);
    EXPECT_EQ(Lookup(parent, u"PLAIN", &found), fnfErr) << "names match as the file system matches them";
    EXPECT_EQ(Lookup(parent, u"image:jpeg", &found), bdNamErr) << "':' in a catalog name";
    EXPECT_EQ(Lookup(parent, u"..", &found), bdNamErr);

    const FSRef file = EntryRef(dir_ / "plain");
    EXPECT_EQ(Lookup(file, u"x", &found), errFSNotAFolder);
}

TEST_F(FilesLookupTest, NameLengthLimits) {
    const std::string longest(255, 'n');
    WriteFile(dir_ / longest, "");
    const FSRef parent = EntryRef(dir_.path());
    FSRef found{};
    EXPECT_EQ(Lookup(parent, CatalogName(longest), &found), noErr);
    EXPECT_EQ(Lookup(parent, CatalogName(longest + "n"), &found), errFSNameTooLong);
    // 85 units of three bytes each fit; 86 are 258 bytes on disk.
    EXPECT_EQ(Create(parent, std::u16string(85, u'\u6708'), &found), noErr);
    EXPECT_EQ(Create(parent, std::u16string(86, u'\u6708'), &found), errFSNameTooLong);
}

TEST_F(FilesLookupTest, CreatesFoldersWithoutReplacing) {
    WriteFile(dir_ / "taken", "keep");
    const FSRef parent = EntryRef(dir_.path());
    FSRef made{};
    std::uint32_t id = 0;
    const std::u16string name = u"image/jpeg";
    ASSERT_EQ(FSCreateDirectoryUnicode(&parent, static_cast<UniCharCount>(name.size()), name.data(), kFSCatInfoNone,
                                       nullptr, &made, &id),
              noErr);
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "image:jpeg"));
    const FSRef expected = EntryRef(dir_ / "image:jpeg");
    EXPECT_EQ(FSCompareFSRefs(&made, &expected), noErr);
    EXPECT_NE(id, 0U);

    EXPECT_EQ(Create(parent, u"taken", &made), dupFNErr);
    EXPECT_EQ(ReadFile(dir_ / "taken"), "keep");
    EXPECT_EQ(Create(parent, u"image/jpeg", &made), dupFNErr);
    EXPECT_EQ(Create(parent, u"a:b", &made), bdNamErr);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "a/b"));
}

TEST_F(FilesLookupTest, CreateInAFolderThatCannotBeWritten) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to switch to an unprivileged user";
    }
    chmod(dir_.path().c_str(), 0755);
    const std::string folder = dir_.path();
    EXPECT_EQ(RunAsNobody([&folder] {
                  FSRef parent{};
                  FSRef made{};
                  if (FSPathMakeRef(folder.c_str(), &parent, nullptr) != noErr) {
                      return 1;
                  }
                  return Create(parent, u"new", &made) == afpAccessDenied ? 0 : 2;
              }),
              0);
    EXPECT_TRUE(ListNames(dir_.path()).empty());
}

}  // namespace
