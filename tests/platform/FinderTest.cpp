// The Finder stand-in on real files: comments in user.xdg.comment, and each refusal's answer.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/AERegistry.h"
#include "platform/Finder.h"
#include "platform/HFSPaths.h"
#include "support/TempDir.h"

namespace {

AEDesc ItemSpecifier(const std::string& path, DescType itemClass, bool trailingColon) {
    std::u16string name = CFURLCopyFileSystemPath(CFURL{path, false}, kCFURLHFSPathStyle).value();
    if (trailingColon) {
        name += u':';
    }
    AEDesc container;
    AEDesc keyData;
    AECreateDesc(typeUnicodeText, name.data(), static_cast<long>(name.size() * 2), &keyData);
    AEDesc specifier;
    CreateObjSpecifier(itemClass, &container, formName, &keyData, true, &specifier);
    return specifier;
}

/// Sends the event to the Finder; the reply's 'errn', or 0 with the direct object in answer.
template <typename... Descs>
OSErr Ask(AEEventID id, const char* format, AEDesc* answer, Descs... descs) {
    AppleEvent event;
    EXPECT_EQ(AEBuildAppleEvent(kAECoreSuite, id, typeApplSignature, &kFinderSignature, sizeof kFinderSignature,
                                kAutoGenerateReturnID, kAnyTransactionID, &event, nullptr, format, descs...),
              noErr);
    AppleEvent reply;
    EXPECT_EQ(AESend(&event, &reply, kAEWaitReply, kAENormalPriority, kNoTimeOut, nullptr, nullptr), noErr);
    std::int16_t number = noErr;
    AEGetParamPtr(&reply, keyErrorNumber, typeSInt16, nullptr, &number, sizeof number, nullptr);
    if (number == noErr && answer != nullptr) {
        EXPECT_EQ(AEGetParamDesc(&reply, keyDirectObject, typeWildCard, answer), noErr);
    }
    return number;
}

constexpr const char* kGetFormat = "'----':obj {form:prop,want:type(prop),seld:type(comt),from:(@)}";
constexpr const char* kSetFormat = "'----':obj {form:prop,want:type(prop),seld:type(comt),from:(@)},data:(@)";

OSErr GetComment(const AEDesc& item, std::u16string* comment) {
    AEDesc answer;
    const OSErr err = Ask(kAEGetData, kGetFormat, &answer, &item);
    if (err == noErr) {
        EXPECT_EQ(answer.descriptorType, typeUnicodeText);
        comment->assign(answer.data.size() / 2, u'\0');
        AEGetDescData(&answer, comment->data(), static_cast<long>(answer.data.size()));
    }
    return err;
}

OSErr SetComment(const AEDesc& item, const std::u16string& comment) {
    AEDesc text;
    AECreateDesc(typeUnicodeText, comment.data(), static_cast<long>(comment.size() * 2), &text);
    return Ask(kAESetData, kSetFormat, nullptr, &item, &text);
}

OSErr GetComment(const std::string& path, std::u16string* comment) {
    return GetComment(ItemSpecifier(path, cFile, false), comment);
}

OSErr SetComment(const std::string& path, const std::u16string& comment) {
    return SetComment(ItemSpecifier(path, cFile, false), comment);
}

class FinderTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallFinder();
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
    struct Row {
        std::u16string comment;
        std::string onDisk;
    };
    const Row rows[] = {
        {u"plain ASCII", "plain ASCII"},
        {u"café crème", "caf\xC3\xA9 cr\xC3\xA8me"},
        {u"emoji 😀 here", "emoji \xF0\x9F\x98\x80 here"},
    };
    for (const Row& row : rows) {
        ASSERT_EQ(SetComment(file_, row.comment), noErr);
        EXPECT_EQ(GetXattr(file_, kFinderCommentAttribute), row.onDisk);
        std::u16string read;
        ASSERT_EQ(GetComment(file_, &read), noErr);
        EXPECT_EQ(read, row.comment);
    }
}

TEST_F(FinderTest, EmptyCommentIsTheAbsentAttribute) {
    std::u16string read = u"stale";
    ASSERT_EQ(GetComment(file_, &read), noErr);
    EXPECT_EQ(read, u"");
    SetXattr(file_, kFinderCommentAttribute, "old");
    ASSERT_EQ(SetComment(file_, u""), noErr);
    EXPECT_FALSE(GetXattr(file_, kFinderCommentAttribute));
    EXPECT_EQ(SetComment(file_, u""), noErr) << "clearing what is not there is no failure";
}

TEST_F(FinderTest, LargeCommentIsStoredWholeOrRefusedUntouched) {
    const std::u16string large(64 * 1024 - 1, u'x');
    SetXattr(file_, kFinderCommentAttribute, "before");
    const OSErr err = SetComment(file_, large);
    std::u16string read;
    ASSERT_EQ(GetComment(file_, &read), noErr);
    if (err == noErr) {
        EXPECT_EQ(read, large);
    } else {
        EXPECT_EQ(read, u"before") << "a refused comment leaves the old one: status " << err;
    }
}

TEST_F(FinderTest, MissingItemsAndWrongKinds) {
    std::u16string read;
    EXPECT_EQ(GetComment(dir_ / "gone", &read), errAENoSuchObject);
    EXPECT_EQ(SetComment(dir_ / "gone", u"x"), errAENoSuchObject);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "gone"));

    const std::string folder = dir_ / "folder.rtfd";
    std::filesystem::create_directory(folder);
    EXPECT_EQ(SetComment(ItemSpecifier(folder, cObject, true), u"pkg"), noErr);
    EXPECT_EQ(GetXattr(folder, kFinderCommentAttribute), "pkg");
    EXPECT_EQ(GetComment(ItemSpecifier(folder, cFile, false), &read), errAENoSuchObject) << "a folder is no file";
    EXPECT_EQ(GetComment(ItemSpecifier(file_, cObject, true), &read), errAENoSuchObject) << "a file is no folder";
    EXPECT_EQ(GetComment(ItemSpecifier(file_, cObject, false), &read), noErr);
}

TEST_F(FinderTest, CommentThatIsNotUTF8IsRefusedNotRepaired) {
    SetXattr(file_, kFinderCommentAttribute, "bad \xFF\xFE");
    std::u16string read;
    EXPECT_EQ(GetComment(file_, &read), errAECoercionFail);
    EXPECT_EQ(GetXattr(file_, kFinderCommentAttribute), "bad \xFF\xFE");
}

TEST_F(FinderTest, LinkHasNoCommentAndItsTargetIsNotTouched) {
    SetXattr(file_, kFinderCommentAttribute, "target's");
    const std::string link = dir_ / "link";
    ASSERT_EQ(symlink(file_.c_str(), link.c_str()), 0);
    std::u16string read = u"stale";
    ASSERT_EQ(GetComment(link, &read), noErr);
    EXPECT_EQ(read, u"");
    EXPECT_EQ(SetComment(link, u"new"), afpAccessDenied);
    EXPECT_EQ(SetComment(link, u""), noErr);
    EXPECT_EQ(GetXattr(file_, kFinderCommentAttribute), "target's");
}

TEST_F(FinderTest, StoreWithoutUserAttributes) {
    // The kernel's process files keep no user attributes.
    const std::string unsupported = "/proc/self/comm";
    struct stat status;
    if (stat(unsupported.c_str(), &status) != 0) {
        GTEST_SKIP() << "no /proc: no file system without user attributes is at hand";
    }
    std::u16string read = u"stale";
    ASSERT_EQ(GetComment(unsupported, &read), noErr);
    EXPECT_EQ(read, u"") << "a store that keeps no comments has the empty one";
    EXPECT_EQ(SetComment(unsupported, u""), noErr);
    const OSErr err = SetComment(unsupported, u"x");
    EXPECT_NE(err, noErr);
    EXPECT_NE(err, errAENoSuchObject);
}

TEST_F(FinderTest, OtherEventsAndSpecifiers) {
    const AEDesc item = ItemSpecifier(file_, cFile, false);
    EXPECT_EQ(Ask(FOUR_CHAR_CODE("delo"), kGetFormat, nullptr, &item), errAEEventNotHandled);
    EXPECT_EQ(Ask(kAEGetData, "'----':obj {form:prop,want:type(prop),seld:type(pnam),from:(@)}", nullptr, &item),
              errAENoSuchObject);
    EXPECT_EQ(Ask(kAESetData, kGetFormat, nullptr, &item), errAEDescNotFound) << "set without 'data'";
    EXPECT_EQ(Ask(kAESetData, "'----':obj {form:prop,want:type(prop),seld:type(comt),from:(@)},data:5", nullptr,
                  &item),
              errAECoercionFail);
    EXPECT_FALSE(GetXattr(file_, kFinderCommentAttribute));
}
