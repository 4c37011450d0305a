// The comment operations: the events as the Finder receives them, and its replies.
#include <gtest/gtest.h>

#include "MoreAppleEvents/MoreAppleEvents.h"
#include "MoreAppleEvents/MoreFinderEvents.h"
#include "platform/finder/Finder.h"
#include "support/TempDir.h"

using namespace corvane;

namespace {

AEDesc Param(const AEDesc& record, const char (&key)[5]) {
    AEDesc value;
    EXPECT_EQ(AEGetParamDesc(&record, FOUR_CHAR_CODE(key), typeWildCard, &value), noErr) << key;
    return value;
}

FourCharCode CodeAt(const AEDesc& record, const char (&key)[5]) {
    FourCharCode code = 0;
    EXPECT_EQ(AEGetParamPtr(&record, FOUR_CHAR_CODE(key), typeType, nullptr, &code, sizeof code, nullptr), noErr);
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
        ASSERT_EQ(FSPathMakeRef(file_.c_str(), &fileRef_, nullptr), noErr);
        AEInstallApplication(kFinderSignature, [this](const AppleEvent* event, AppleEvent* reply) {
            received_.push_back(*event);
            AEPutParamPtr(reply, keyErrorNumber, typeSInt16, &errorNumber_, sizeof errorNumber_);
            AEPutParamPtr(reply, keyDirectObject, typeUnicodeText, answer_.data(), static_cast<long>(answer_.size()));
            return noErr;
        });
    }
    void TearDown() override { InstallFinder(); }

    /// The received item's class and path's last unit, checked to be named in a 'comt' property specifier.
    std::pair<FourCharCode, char16_t> ItemOfReceived() {
        const AEDesc property = Param(received_.back(), "----");
        EXPECT_EQ((std::vector{CodeAt(property, "form"), CodeAt(property, "want"), CodeAt(property, "seld")}),
                  (std::vector{FOUR_CHAR_CODE("prop"), FOUR_CHAR_CODE("prop"), FOUR_CHAR_CODE("comt")}));
        const AEDesc item = Param(property, "from");
        return {CodeAt(item, "want"), TextOf(Param(item, "seld")).back()};
    }

    TempDir dir_;
    const std::string file_ = dir_ / "doc: a.txt";
    FSRef fileRef_{};
    std::vector<AppleEvent> received_;
    std::int16_t errorNumber_ = noErr;
    std::string answer_;
    std::optional<std::u16string> comment_;
};

} // namespace

TEST_F(CommentEventsTest, EventsOnTheWire) {
    WriteFile(dir_ / "Pkg.rtfd/x", "");
    FSRef folderRef{};
    ASSERT_EQ(FSPathMakeRef((dir_ / "Pkg.rtfd").c_str(), &folderRef, nullptr), noErr);
    answer_ = std::string(reinterpret_cast<const char*>(u"notes"), 10) + "z";
    ASSERT_EQ(MoreFEGetCommentCFString(&folderRef, &comment_, gAEIdleUPP), noErr);
    EXPECT_EQ(comment_, u"notes") << "an odd last byte is dropped";
    EXPECT_EQ(ItemOfReceived(), std::make_pair(FOUR_CHAR_CODE("cobj"), u':')) << "a folder's path ends in ':'";
    const std::u16string comment = u"é😀";
    ASSERT_EQ(MoreFESetCommentCFString(&fileRef_, &comment, gAEIdleUPP), noErr);
    EXPECT_EQ(ItemOfReceived(), std::make_pair(FOUR_CHAR_CODE("file"), u't'));
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
    AERemoveApplication(kFinderSignature);
    EXPECT_EQ(MoreFEGetCommentCFString(&fileRef_, &comment_, gAEIdleUPP), procNotFound);
    EXPECT_FALSE(comment_) << "a failed send stores nothing";
    EXPECT_EQ(MoreFESetCommentCFString(&fileRef_, &text, nullptr), procNotFound);
}
