// The comment operations: the events as the Finder receives them, its replies, and the real Finder.
#include <gtest/gtest.h>

#include <filesystem>

#include "MoreAppleEvents/MoreAppleEvents.h"
#include "MoreAppleEvents/MoreFinderEvents.h"
#include "platform/Finder.h"
#include "support/TempDir.h"

namespace {

FSRef RefOf(const std::string& path) {
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRefWithOptions(path.c_str(), kFSPathMakeRefDoNotFollowLeafSymlink, &ref, nullptr), noErr);
    return ref;
}

AEDesc Param(const AEDesc& record, const char (&key)[5]) {
    AEDesc value;
    EXPECT_EQ(AEGetParamDesc(&record, FOUR_CHAR_CODE(key), typeWildCard, &value), noErr) << key;
    return value;
}

FourCharCode Code(const AEDesc& desc) {
    FourCharCode code = 0;
    AEGetDescData(&desc, &code, sizeof code);
    return code;
}

std::u16string TextOf(const AEDesc& desc) {
    EXPECT_EQ(desc.descriptorType, typeUnicodeText);
    std::u16string units(desc.data.size() / 2, u'\0');
    AEGetDescData(&desc, units.data(), static_cast<long>(units.size() * 2));
    return units;
}

/// A scripted Finder at 'MACS' that keeps what it received and answers as told.
class CommentEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(file_, "x");
        fileRef_ = RefOf(file_);
        AEInstallApplication(kFinderSignature, [this](const AppleEvent* event, AppleEvent* reply) {
            received_.push_back(*event);
            if (errorNumber_) {
                AEPutParamPtr(reply, keyErrorNumber, typeSInt16, &*errorNumber_, sizeof *errorNumber_);
            }
            AEPutParamPtr(reply, keyDirectObject, typeUnicodeText, answer_.data(), static_cast<long>(answer_.size()));
            return noErr;
        });
    }
    void TearDown() override { InstallFinder(); }

    /// The item specifier of the last event received, checked to be the 'comt' property of it.
    AEDesc ItemOfReceived() {
        const AEDesc property = Param(received_.back(), "----");
        EXPECT_EQ(property.descriptorType, typeObjectSpecifier);
        EXPECT_EQ(Code(Param(property, "form")), FOUR_CHAR_CODE("prop"));
        EXPECT_EQ(Code(Param(property, "want")), FOUR_CHAR_CODE("prop"));
        EXPECT_EQ(Code(Param(property, "seld")), FOUR_CHAR_CODE("comt"));
        return Param(property, "from");
    }

    TempDir dir_;
    const std::string file_ = dir_ / "doc: a.txt";
    FSRef fileRef_{};
    std::vector<AppleEvent> received_;
    std::optional<std::int16_t> errorNumber_;
    std::string answer_;
    std::optional<std::u16string> comment_;
};

} // namespace

TEST_F(CommentEventsTest, EventsOnTheWire) {
    std::filesystem::create_directory(dir_ / "Pkg.rtfd");
    const FSRef folderRef = RefOf(dir_ / "Pkg.rtfd");
    answer_ = std::string(reinterpret_cast<const char*>(u"notes"), 10) + "z";
    ASSERT_EQ(MoreFEGetCommentCFString(&folderRef, &comment_, gAEIdleUPP), noErr);
    EXPECT_EQ(comment_, u"notes") << "an odd last byte is dropped";
    AEDesc item = ItemOfReceived();
    EXPECT_EQ(Code(Param(item, "want")), FOUR_CHAR_CODE("cobj"));
    EXPECT_EQ(TextOf(Param(item, "seld")).back(), u':') << "a folder's path ends in ':'";
    const std::u16string comment = u"é😀";
    ASSERT_EQ(MoreFESetCommentCFString(&fileRef_, &comment, gAEIdleUPP), noErr);
    item = ItemOfReceived();
    EXPECT_EQ(Code(Param(item, "want")), FOUR_CHAR_CODE("file"));
    EXPECT_NE(TextOf(Param(item, "seld")).back(), u':');
    const AEDesc data = Param(received_.back(), "data");
    EXPECT_EQ(data.data.size(), 6u) << "two bytes per unit, no terminator";
    EXPECT_EQ(TextOf(data), comment);
}

TEST_F(CommentEventsTest, RepliesAndFailures) {
    answer_ = "x";
    errorNumber_ = errAENoSuchObject;
    EXPECT_EQ(MoreFEGetCommentCFString(&fileRef_, &comment_, gAEIdleUPP), errAENoSuchObject);
    EXPECT_FALSE(comment_) << "a failure stores nothing";
    const std::u16string text = u"t";
    EXPECT_EQ(MoreFESetCommentCFString(&fileRef_, &text, gAEIdleUPP), errAENoSuchObject);
    EXPECT_EQ(MoreFESetCommentCFString(&fileRef_, &text, nullptr), noErr) << "not waited for: the send's status";
    EXPECT_EQ(received_.size(), 3u) << "and it went out all the same";
    AERemoveApplication(kFinderSignature);
    EXPECT_EQ(MoreFEGetCommentCFString(&fileRef_, &comment_, gAEIdleUPP), procNotFound);
    EXPECT_FALSE(comment_) << "a failed send stores nothing";
    EXPECT_EQ(MoreFESetCommentCFString(&fileRef_, &text, nullptr), procNotFound);
}

TEST_F(CommentEventsTest, TheRealFinderKeepsWhatIsSet) {
    if (!UserXattrsSupported(dir_.path().string())) {
        GTEST_SKIP() << "the temporary folder's file system takes no user extended attributes";
    }
    InstallFinder();
    const std::u16string written = u"Ünïcode 😀 comment";
    ASSERT_EQ(MoreFESetCommentCFString(&fileRef_, &written, gAEIdleUPP), noErr);
    ASSERT_EQ(MoreFEGetCommentCFString(&fileRef_, &comment_, gAEIdleUPP), noErr);
    EXPECT_EQ(comment_, written);
}
