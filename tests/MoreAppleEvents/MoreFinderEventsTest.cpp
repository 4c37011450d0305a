// The comment operations: the events as the Finder receives them, the replies it may give, and
// the real Finder stand-in on real files.
#include <gtest/gtest.h>

#include <filesystem>

#include "MoreAppleEvents/MoreAppleEvents.h"
#include "MoreAppleEvents/MoreFinderEvents.h"
#include "platform/Finder.h"
#include "platform/HFSPaths.h"
#include "support/TempDir.h"

namespace {

FSRef RefOf(const std::string& path) {
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRefWithOptions(path.c_str(), kFSPathMakeRefDoNotFollowLeafSymlink, &ref, nullptr), noErr);
    return ref;
}

AEDesc Param(const AEDesc& record, AEKeyword key) {
    AEDesc value;
    EXPECT_EQ(AEGetParamDesc(&record, key, typeWildCard, &value), noErr);
    return value;
}

FourCharCode Code(const AEDesc& record, const char (&key)[5]) {
    FourCharCode code = 0;
    EXPECT_EQ(AEGetParamPtr(&record, FOUR_CHAR_CODE(key), typeType, nullptr, &code, sizeof code, nullptr), noErr);
    return code;
}

std::u16string TextOf(const AEDesc& desc) {
    EXPECT_EQ(desc.descriptorType, typeUnicodeText);
    std::u16string units(desc.data.size() / 2, u'\0');
    AEGetDescData(&desc, units.data(), static_cast<long>(desc.data.size()));
    return units;
}

/// Stands in for the Finder at 'MACS': keeps what it received and answers as scripted.
class ScriptedFinderTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(file_, "x");
        std::filesystem::create_directory(folder_);
        AEInstallApplication(kFinderSignature, [this](const AppleEvent* event, AppleEvent* reply) {
            received_.push_back(*event);
            if (errorNumber_) {
                AEPutParamPtr(reply, keyErrorNumber, typeSInt16, &*errorNumber_, sizeof *errorNumber_);
            }
            AEPutParamPtr(reply, keyDirectObject, typeUnicodeText, answer_.data(),
                          static_cast<long>(answer_.size()));
            return noErr;
        });
    }
    void TearDown() override { InstallFinder(); }

    /// The item's specifier inside the direct object of a received event, checked to be the
    /// 'comt' property of it.
    AEDesc ItemOf(const AppleEvent& event, AEEventID id) {
        FourCharCode code = 0;
        AEGetAttributePtr(&event, keyEventClassAttr, typeType, nullptr, &code, sizeof code, nullptr);
        EXPECT_EQ(code, FOUR_CHAR_CODE("core"));
        AEGetAttributePtr(&event, keyEventIDAttr, typeType, nullptr, &code, sizeof code, nullptr);
        EXPECT_EQ(code, id);
        const AEDesc property = Param(event, keyDirectObject);
        EXPECT_EQ(property.descriptorType, typeObjectSpecifier);
        EXPECT_EQ(Code(property, "form"), FOUR_CHAR_CODE("prop"));
        EXPECT_EQ(Code(property, "want"), FOUR_CHAR_CODE("prop"));
        EXPECT_EQ(Code(property, "seld"), FOUR_CHAR_CODE("comt"));
        return Param(property, FOUR_CHAR_CODE("from"));
    }

    TempDir dir_;
    const std::string file_ = dir_ / "doc.txt";
    const std::string folder_ = dir_ / "Pkg.rtfd";
    std::vector<AppleEvent> received_;
    std::optional<std::int16_t> errorNumber_;
    std::string answer_;
};

} // namespace

TEST_F(ScriptedFinderTest, GetEventAndItsReply) {
    const FSRef item = RefOf(folder_);
    const std::u16string reply = u"notes";
    answer_.assign(reinterpret_cast<const char*>(reply.data()), reply.size() * 2);
    std::optional<std::u16string> comment;
    ASSERT_EQ(MoreFEGetCommentCFString(&item, &comment, gAEIdleUPP), noErr);
    EXPECT_EQ(comment, u"notes");

    ASSERT_EQ(received_.size(), 1u);
    const AEDesc itemSpecifier = ItemOf(received_[0], FOUR_CHAR_CODE("getd"));
    EXPECT_EQ(Code(itemSpecifier, "want"), FOUR_CHAR_CODE("cobj"));
    EXPECT_EQ(TextOf(Param(itemSpecifier, keyAEKeyData)).back(), u':');
    AEDesc address;
    ASSERT_EQ(AEGetAttributeDesc(&received_[0], keyAddressAttr, typeWildCard, &address), noErr);
    EXPECT_EQ(address.descriptorType, typeApplSignature);
    EXPECT_EQ(address.data.size(), 4u);
}

TEST_F(ScriptedFinderTest, SetEventCarriesTwoBytesPerUnit) {
    const FSRef item = RefOf(file_);
    const std::u16string comment = u"é😀";
    ASSERT_EQ(MoreFESetCommentCFString(&item, &comment, gAEIdleUPP), noErr);
    ASSERT_EQ(received_.size(), 1u);
    const AEDesc itemSpecifier = ItemOf(received_[0], FOUR_CHAR_CODE("setd"));
    EXPECT_EQ(Code(itemSpecifier, "want"), FOUR_CHAR_CODE("file"));
    const std::u16string path = TextOf(Param(itemSpecifier, keyAEKeyData));
    EXPECT_NE(path.back(), u':');
    const AEDesc data = Param(received_[0], FOUR_CHAR_CODE("data"));
    EXPECT_EQ(data.data.size(), 6u) << "three units, no terminator";
    EXPECT_EQ(TextOf(data), comment);
}

TEST_F(ScriptedFinderTest, RepliesAndFailures) {
    const FSRef item = RefOf(file_);
    std::optional<std::u16string> comment;

    answer_ = "abcde";
    ASSERT_EQ(MoreFEGetCommentCFString(&item, &comment, gAEIdleUPP), noErr);
    EXPECT_EQ(comment->size(), 2u) << "five bytes give (5 - 1) / 2 units";

    comment.reset();
    answer_.clear();
    ASSERT_EQ(MoreFEGetCommentCFString(&item, &comment, gAEIdleUPP), noErr);
    EXPECT_FALSE(comment) << "an empty comment stores nothing";

    errorNumber_ = 0;
    answer_ = "xy";
    ASSERT_EQ(MoreFEGetCommentCFString(&item, &comment, gAEIdleUPP), noErr);
    EXPECT_TRUE(comment);

    comment.reset();
    errorNumber_ = errAENoSuchObject;
    EXPECT_EQ(MoreFEGetCommentCFString(&item, &comment, gAEIdleUPP), errAENoSuchObject);
    EXPECT_FALSE(comment);
    const std::u16string text = u"t";
    EXPECT_EQ(MoreFESetCommentCFString(&item, &text, gAEIdleUPP), errAENoSuchObject);
    EXPECT_EQ(MoreFESetCommentCFString(&item, &text, nullptr), noErr) << "not waited for: the send's status";

    const std::size_t sent = received_.size();
    EXPECT_EQ(MoreFEGetCommentCFString(&item, &comment, nullptr), paramErr);
    EXPECT_EQ(MoreFESetCommentCFString(&item, nullptr, gAEIdleUPP), paramErr);
    EXPECT_EQ(MoreFEGetCommentCFString(nullptr, &comment, gAEIdleUPP), paramErr);
    EXPECT_EQ(received_.size(), sent) << "nothing is sent for a missing argument";

    AERemoveApplication(kFinderSignature);
    EXPECT_EQ(MoreFEGetCommentCFString(&item, &comment, gAEIdleUPP), procNotFound);
    EXPECT_FALSE(comment) << "a failed send stores nothing";
    EXPECT_EQ(MoreFESetCommentCFString(&item, &text, nullptr), procNotFound);
}

TEST(MoreFinderEvents, CommentFollowsFromItemToItemThroughTheFinder) {
    InstallFinder();
    TempDir dir;
    if (!UserXattrsSupported(dir.path().string())) {
        GTEST_SKIP() << "the temporary folder's file system takes no user extended attributes";
    }
    const std::string source = dir / "a: source";
    const std::string copy = dir / "copy";
    WriteFile(source, "x");
    WriteFile(copy, "x");
    const FSRef sourceRef = RefOf(source);
    const FSRef copyRef = RefOf(copy);

    const std::u16string written = u"Ünïcode 😀 comment";
    ASSERT_EQ(MoreFESetCommentCFString(&sourceRef, &written, gAEIdleUPP), noErr);
    std::optional<std::u16string> comment;
    ASSERT_EQ(MoreFEGetCommentCFString(&sourceRef, &comment, gAEIdleUPP), noErr);
    ASSERT_EQ(comment, written);
    ASSERT_EQ(MoreFESetCommentCFString(&copyRef, &*comment, gAEIdleUPP), noErr);
    EXPECT_EQ(GetXattr(copy, kFinderCommentAttribute), GetXattr(source, kFinderCommentAttribute));

    std::optional<std::u16string> none;
    const FSRef folderRef = RefOf(dir.path().string());
    ASSERT_EQ(MoreFEGetCommentCFString(&folderRef, &none, gAEIdleUPP), noErr);
    EXPECT_FALSE(none) << "no comment, nothing to carry";
}
