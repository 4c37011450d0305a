// The Finder stand-in on real files: comments in user.xdg.comment, and each refusal's answer.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "platform/AERegistry.h"
#include "platform/Finder.h"
#include "platform/HFSPaths.h"
#include "support/TempDir.h"

namespace {

constexpr const char* kGetFormat = "'----':obj {form:prop,want:type(prop),seld:type(comt),from:(@)}";
constexpr const char* kSetFormat = "'----':obj {form:prop,want:type(prop),seld:type(comt),from:(@)},data:(@)";

AEDesc Item(const std::string& path, DescType itemClass = cFile, bool trailingColon = false) {
    const std::u16string name =
        CFURLCopyFileSystemPath(CFURL{path, false}, kCFURLHFSPathStyle).value() + (trailingColon ? u":" : u"");
    AEDesc container;
    AEDesc keyData;
    AECreateDesc(typeUnicodeText, name.data(), static_cast<long>(name.size() * 2), &keyData);
    AEDesc specifier;
    CreateObjSpecifier(itemClass, &container, formName, &keyData, true, &specifier);
    return specifier;
}

/// Sends the event to the Finder: the reply's 'errn' (0 without one) and its direct object.
template <typename... Descs>
std::pair<OSErr, AEDesc> Ask(AEEventID id, const char* format, Descs... descs) {
    AppleEvent event;
    AEBuildAppleEvent(kAECoreSuite, id, typeApplSignature, &kFinderSignature, sizeof kFinderSignature,
                      kAutoGenerateReturnID, kAnyTransactionID, &event, nullptr, format, descs...);
    AppleEvent reply;
    EXPECT_EQ(AESend(&event, &reply, kAEWaitReply, kAENormalPriority, kNoTimeOut, nullptr, nullptr), noErr);
    std::pair<OSErr, AEDesc> answer{noErr, AEDesc{}};
    AEGetParamPtr(&reply, keyErrorNumber, typeSInt16, nullptr, &answer.first, sizeof answer.first, nullptr);
    AEGetParamDesc(&reply, keyDirectObject, typeWildCard, &answer.second);
    return answer;
}

using Answer = std::pair<OSErr, std::u16string>;

Answer GetComment(const AEDesc& item) {
    const auto [err, answer] = Ask(kAEGetData, kGetFormat, &item);
    EXPECT_TRUE(err != noErr || answer.descriptorType == typeUnicodeText);
    std::u16string comment(answer.data.size() / 2, u'\0');
    AEGetDescData(&answer, comment.data(), static_cast<long>(comment.size() * 2));
    return {err, comment};
}

OSErr SetComment(const AEDesc& item, const std::u16string& comment) {
    AEDesc text;
    AECreateDesc(typeUnicodeText, comment.data(), static_cast<long>(comment.size() * 2), &text);
    return Ask(kAESetData, kSetFormat, &item, &text).first;
}

class FinderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!UserXattrsSupported(dir_.path().string())) {
            GTEST_SKIP() << "the temporary folder's file system takes no user extended attributes";
        }
        WriteFile(file_, "content");
    }

    TempDir dir_;
    const std::string file_ = dir_ / "file: a.txt";
};

} // namespace

TEST_F(FinderTest, CommentsRoundTripAsUTF8OnDisk) {
    const std::pair<std::u16string, std::optional<std::string>> rows[] = {
        {u"plain ASCII", "plain ASCII"}, {u"café crème", "caf\xC3\xA9 cr\xC3\xA8me"},
        {u"emoji 😀 here", "emoji \xF0\x9F\x98\x80 here"}, {u"", std::nullopt},
        {u"", std::nullopt}, // clearing what is not there is no failure
    };
    for (const auto& [comment, onDisk] : rows) {
        ASSERT_EQ(SetComment(Item(file_), comment), noErr);
        EXPECT_EQ(GetXattr(file_, kFinderCommentAttribute), onDisk);
        EXPECT_EQ(GetComment(Item(file_)), (Answer{noErr, comment}));
    }
    const std::u16string large(64 * 1024 - 1, u'x');
    SetXattr(file_, kFinderCommentAttribute, "before");
    const OSErr err = SetComment(Item(file_), large);
    EXPECT_EQ(GetComment(Item(file_)), (Answer{noErr, err == noErr ? large : u"before"})) << "64 KiB set: " << err;
}

TEST_F(FinderTest, MissingItemsFoldersAndRefusals) {
    EXPECT_EQ(GetComment(Item(dir_ / "gone")).first, errAENoSuchObject);
    const std::string folder = dir_ / "folder.rtfd";
    std::filesystem::create_directory(folder);
    EXPECT_EQ(SetComment(Item(folder, cObject, true), u"pkg"), noErr);
    EXPECT_EQ(GetXattr(folder, kFinderCommentAttribute), "pkg");
    EXPECT_EQ(GetComment(Item(folder)).first, errAENoSuchObject);

    SetXattr(file_, kFinderCommentAttribute, "bad \xFF\xFE");
    EXPECT_EQ(GetComment(Item(file_)).first, errAECoercionFail) << "not UTF-8: refused, not repaired";
    const std::string link = dir_ / "link";
    ASSERT_EQ(symlink(file_.c_str(), link.c_str()), 0);
    EXPECT_EQ(SetComment(Item(link), u"new"), afpAccessDenied);
    const AEDesc item = Item(file_);
    EXPECT_EQ(Ask(kAESetData, kGetFormat, &item).first, errAEDescNotFound) << "set without 'data'";
    EXPECT_EQ(GetXattr(file_, kFinderCommentAttribute), "bad \xFF\xFE");
}

TEST_F(FinderTest, StoreWithoutUserAttributes) {
    const std::string unsupported = "/proc/self/comm"; // the kernel's process files keep no user attributes
    if (!std::filesystem::exists(unsupported)) {
        GTEST_SKIP() << "no /proc: no file system without user attributes is at hand";
    }
    EXPECT_EQ(GetComment(Item(unsupported)), (Answer{noErr, u""})) << "a store that keeps none has the empty one";
    EXPECT_EQ(SetComment(Item(unsupported), u""), noErr);
    const OSErr err = SetComment(Item(unsupported), u"x");
    EXPECT_TRUE(err != noErr && err != errAENoSuchObject) << err;
}
