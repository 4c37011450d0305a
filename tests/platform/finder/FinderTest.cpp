// The Finder stand-in on real files: comments in user.xdg.comment, and each refusal's answer.

#include <unistd.h>

#include "platform/events/AERegistry.h"
#include "platform/files/HFSPaths.h"
#include "platform/finder/Finder.h"
#include "support/TempDir.h"
#include "support/WithheldFeatures.h"

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
    std::string format = "'----':obj {form:prop,want:type(prop),seld:type(comt),from:(@)}";
    if (set) {
        AECreateDesc(typeUnicodeText, set->data(), static_cast<long>(set->size() * 2), &text);
        format += ",data:(@)";
    }
    AEBuildAppleEvent(kAECoreSuite, set ? kAESetData : kAEGetData, typeApplSignature, &kFinderSignature,
                      sizeof kFinderSignature, kAutoGenerateReturnID, kAnyTransactionID, &event, nullptr,
                      format.c_str(), &item, &text);
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

} // namespace

// Comments round-trip as UTF-8 in user.xdg.comment, of files and folders; vanished items, comments that
// are no UTF-8 and stores that refuse are answered with their error. Kernels before getxattrat reach
// the entry through /proc instead.
class Finder : public WithheldFeaturesTest {};

INSTANTIATE_TEST_SUITE_P(AttributeCalls, Finder,
                         ::testing::Values(Withheld{0, "AttributeCallsAt"},
                                           Withheld{kAttributeCallsAt, "AttributesThroughProc"}),
                         SettingName);

TEST_P(Finder, CommentsRoundTripAsUTF8AndRefusalsAreAnswered) {
    const TempDir dir;
    SKIP_WITHOUT_USER_XATTRS(dir.path());
    const std::string file = dir / "file: a.txt";
    WriteFile(file, "content");
    const std::pair<std::u16string, std::optional<std::string>> rows[] = {
        {u"plain ASCII", "plain ASCII"}, {u"café crème", "caf\xC3\xA9 cr\xC3\xA8me"},
        {u"emoji 😀 here", "emoji \xF0\x9F\x98\x80 here"}, {u"", std::nullopt}, {u"", std::nullopt}};
    for (const auto& [comment, onDisk] : rows) {
        ASSERT_EQ(Ask(file, comment).first, noErr);
        EXPECT_EQ(GetXattr(file, kFinderCommentAttribute), onDisk);
        EXPECT_EQ(Ask(file), (Answer{noErr, comment}));
    }
    const std::u16string large(64 * 1024 - 1, u'x');
    SetXattr(file, kFinderCommentAttribute, "before");
    const OSErr err = Ask(file, large).first;
    EXPECT_EQ(Ask(file), (Answer{noErr, err == noErr ? large : u"before"})) << "64 KiB set: " << err;
    std::filesystem::create_directory(dir / "folder.rtfd");
    EXPECT_EQ(Ask(dir / "folder.rtfd", u"pkg", cObject).first, noErr);
    EXPECT_EQ(GetXattr(dir / "folder.rtfd", kFinderCommentAttribute), "pkg");
    EXPECT_EQ(Ask(dir / "gone").first, errAENoSuchObject);
    SetXattr(file, kFinderCommentAttribute, "bad \xFF\xFE");
    EXPECT_EQ(Ask(file).first, errAECoercionFail) << "not UTF-8: refused, not repaired";
    ASSERT_EQ(symlink(file.c_str(), (dir / "link").c_str()), 0);
    EXPECT_EQ(Ask(dir / "link", u"new").first, afpAccessDenied) << "a store that refuses";
    EXPECT_EQ(GetXattr(file, kFinderCommentAttribute), "bad \xFF\xFE");
}
