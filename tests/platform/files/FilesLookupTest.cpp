#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "support/FilesTestSupport.h"

using namespace corvane;

namespace {

TEST(FilesLookupTest, FindsChildrenByCatalogName) {
    const TempDir dir;
    WriteFile(dir / "image:jpeg", "");
    symlink("image:jpeg", (dir / "link").c_str());
    const FSRef parent = EntryRef(dir.path());
    const std::tuple<std::u16string, OSErr, std::string> rows[] = {
        {u"image/jpeg", noErr, "image:jpeg"}, {u"link", noErr, "link"},  // the link itself
        {std::u16string(256, u'n'), errFSNameTooLong, ""}, {u"LINK", fnfErr, ""},
        {u"image:jpeg", bdNamErr, ""}, {u"..", bdNamErr, ""},
    };
    FSRef found{};
    for (const auto& [name, status, entry] : rows) {
        ASSERT_EQ(FSMakeFSRefUnicode(&parent, name.size(), name.data(), 0, &found), status) << name.size();
        if (status == noErr) {
            EXPECT_EQ(PathOf(found), PathOf(EntryRef(dir / entry))) << entry;
        }
    }
}

TEST(FilesLookupTest, CreatesFoldersWithoutReplacing) {
    const TempDir dir;
    WriteFile(dir / "taken", "keep");
    const FSRef parent = EntryRef(dir.path());
    FSRef made{};
    const std::pair<std::u16string, OSErr> rows[] = {
        {u"image/jpeg", noErr}, {std::u16string(85, u'\u6708'), noErr},  // 85 letters of three bytes fit
        {u"taken", dupFNErr},   {u"image/jpeg", dupFNErr},
        {u"a:b", bdNamErr},     {std::u16string(86, u'\u6708'), errFSNameTooLong},
    };
    for (const auto& [name, status] : rows) {
        EXPECT_EQ(FSCreateDirectoryUnicode(&parent, name.size(), name.data(), kFSCatInfoNone, nullptr, &made, nullptr),
                  status)
            << name.size();
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir / "image:jpeg"));
    EXPECT_EQ(ReadFile(dir / "taken"), "keep");
    EXPECT_EQ(ListNames(dir.path()).size(), 3U);
}

}  // namespace
