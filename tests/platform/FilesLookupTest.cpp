#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "tests/platform/FilesTestSupport.h"

namespace {

OSErr Lookup(const FSRef& parent, const std::u16string& name, FSRef* found) {
    return FSMakeFSRefUnicode(&parent, static_cast<UniCharCount>(name.size()), name.data(), 0, found);
}

OSErr Create(const FSRef& parent, const std::u16string& name, FSRef* made, std::uint32_t* id = nullptr) {
    return FSCreateDirectoryUnicode(&parent, static_cast<UniCharCount>(name.size()), name.data(), kFSCatInfoNone,
                                    nullptr, made, id);
}

class FilesLookupTest : public ::testing::Test {
protected:
    TempDir dir_;
};

TEST_F(FilesLookupTest, FindsChildrenByCatalogName) {
    WriteFile(dir_ / "image:jpeg", "");
    WriteFile(dir_ / std::string(255, 'n'), "");
    symlink("image:jpeg", (dir_ / "link").c_str());
    const FSRef parent = EntryRef(dir_.path());
    const std::tuple<std::u16string, OSErr, std::string> rows[] = {
        {u"image/jpeg", noErr, "image:jpeg"}, {u"link", noErr, "link"},  // the link itself
        {std::u16string(255, u'n'), noErr, std::string(255, 'n')}, {std::u16string(256, u'n'), errFSNameTooLong, ""},
        {u"missing", fnfErr, ""}, {u"LINK", fnfErr, ""}, {u"image:jpeg", bdNamErr, ""}, {u"..", bdNamErr, ""},
    };
    FSRef found{};
    for (const auto& [name, status, entry] : rows) {
        ASSERT_EQ(Lookup(parent, name, &found), status) << name.size();
        if (status == noErr) {
            EXPECT_EQ(PathOf(found), PathOf(EntryRef(dir_ / entry))) << entry;
        }
    }
    EXPECT_EQ(Lookup(EntryRef(dir_ / "image:jpeg"), u"x", &found), errFSNotAFolder);
}

TEST_F(FilesLookupTest, CreatesFoldersWithoutReplacing) {
    WriteFile(dir_ / "taken", "keep");
    const FSRef parent = EntryRef(dir_.path());
    FSRef made{};
    std::uint32_t id = 0;
    ASSERT_EQ(Create(parent, u"image/jpeg", &made, &id), noErr);
    EXPECT_EQ(Compare(made, EntryRef(dir_ / "image:jpeg")), noErr);
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "image:jpeg"));
    EXPECT_NE(id, 0U);
    EXPECT_EQ(Create(parent, std::u16string(85, u'\u6708'), &made), noErr) << "85 letters of three bytes fit";
    const std::u16string tooLong(86, u'\u6708');
    const std::pair<std::u16string, OSErr> refused[] = {
        {u"taken", dupFNErr}, {u"image/jpeg", dupFNErr}, {u"a:b", bdNamErr}, {tooLong, errFSNameTooLong}};
    for (const auto& [name, status] : refused) {
        EXPECT_EQ(Create(parent, name, &made), status) << name.size();
    }
    EXPECT_EQ(ReadFile(dir_ / "taken"), "keep");
    EXPECT_EQ(ListNames(dir_.path()).size(), 3U);
}

}  // namespace
