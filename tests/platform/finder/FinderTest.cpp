// The Finder stand-in on real files: comments in user.xdg.comment, and each refusal's answer.

#include <unistd.h>

#include "platform/events/AERegistry.h"
#include "platform/files/HFSPaths.h"
#include "platform/finder/Finder.h"
#include "support/TempDir.h"

using namespace corvane;

namespace {

using Answer = std::pair<OSErr, std::u16string>;

/// Sends get data (set empty) or set data of the comment of the item at path: the reply's 'errn' and text.
Answer Ask(const std::string& path, std::optional<std::u16string> set = {}, DescType itemClass = cFile) {
    const std::u16string name = CFURLCopyFileSystemPath(CFURL{path, false}, kCFURLHFSPathStyle).value() +
                                (itemClass == cObject ? u":" : u"");
    AEDesc container, keyData, item, text, event, reply, answer;
    AECreateDesc(typeUnicodeText, name.data(), static_cast<long>(name.size() * 2), &keyData);
    CreateObjSpecifier(itemClass, &container, formName, &keyData, true, &item);
    const char* format = "'----':obj {form:prop,want:type(prop),seld:type(comt),from:(@)}";
    if (set) {
        AECreateDesc(typeUnicodeText, set->data(), static_cast<long>(set->size() * 2), &text);
        format = "'----':obj {form:prop,want:type(prop),seld:type(comt),from:(@)},data:(@)";
    }
    AEBuildAppleEvent(kAECoreSuite, set ? kAESetData : kAEGetData, typeApplSignature, &kFinderSignature,
                      sizeof kFinderSignature, kAutoGenerateReturnID, kAnyTransactionID, &event, nullptr, format,
                      &item, &text);
    EXPECT_EQ(AESend(&event, &reply, kAEWaitReply, kAENormalPriority, kNoTimeOut, nullptr, nullptr), noErr);
    Answer result{noErr, u""};
    AEGetParamPtr(&reply, keyErrorNumber, typeSInt16, nullptr, &result.first, sizeof result.first, nullptr);
    if (!set && AEGetParamDesc(&reply, keyDirectObject, typeWildCard, &answer) == noErr) {
        EXPECT_EQ(answer.descriptorType, typeUnicodeText);
        result.second.resize(answer.data.size() / 2);
        AEGetDescData(&answer, result.second.data(), static_cast<long>(result.second.size() * 2));
    }
    return result;
}

class FinderTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_USER_XATTRS(dir_.path());
        WriteFile(file_, "content");
    }

    TempDir dir_;
    const std::string file_ = dir_ / "file: a.txt";
};

} // namespace

TEST_F(FinderTest, CommentsRoundTripAsUTF8OnDisk) {
    const std::pair<std::u16string, std::optional<std::string>> rows[] = {
        {u"plain ASCII", "plain ASCII"}, {u"café crème", "caf\xC3\xA9 cr\xC3\xA8me"},
        {u"emoji 😀 here", "emoji \xF0\x9F\x98\x80 here"}, {u"", std::nullopt}, {u"", std::nullopt}};
    for (const auto& [comment, onDisk] : rows) {
        ASSERT_EQ(Ask(file_, comment).first, noErr);
        EXPECT_EQ(GetXattr(file_, kFinderCommentAttribute), onDisk);
        EXPECT_EQ(Ask(file_), (Answer{noErr, comment}));
    }
    const std::u16string large(64 * 1024 - 1, u'x');
    SetXattr(file_, kFinderCommentAttribute, "before");
    const OSErr err = Ask(file_, large).first;
    EXPECT_EQ(Ask(file_), (Answer{noErr, err == noErr ? large : u"before"})) << "64 KiB set: " << err;
}

TEST_F(FinderTest, FoldersVanishedItemsAndRefusals) {
    std::filesystem::create_directory(dir_ / "folder.rtfd");
    EXPECT_EQ(Ask(dir_ / "folder.rtfd", u"pkg", cObject).first, noErr);
    EXPECT_EQ(GetXattr(dir_ / "folder.rtfd", kFinderCommentAttribute), "pkg");
    EXPECT_EQ(Ask(dir_ / "gone").first, errAENoSuchObject);
    SetXattr(file_, kFinderCommentAttribute, "bad \xFF\xFE");
    EXPECT_EQ(Ask(file_).first, errAECoercionFail) << "not UTF-8: refused, not repaired";
    ASSERT_EQ(symlink(file_.c_str(), (dir_ / "link").c_str()), 0);
    EXPECT_EQ(Ask(dir_ / "link", u"new").first, afpAccessDenied) << "a store that refuses";
    EXPECT_EQ(GetXattr(file_, kFinderCommentAttribute), "bad \xFF\xFE");
}
