// The comment events sent to the Finder: text descriptors, object specifiers of real items, sending
// against scripted applications, and the events as the Finder receives them.

#include <tuple>

#include "MoreAppleEvents/MoreAEDataModel.h"
#include "MoreAppleEvents/MoreAEObjects.h"
#include "MoreAppleEvents/MoreAppleEvents.h"
#include "MoreAppleEvents/MoreFinderEvents.h"
#include "platform/events/AERegistry.h"
#include "platform/files/HFSPaths.h"
#include "platform/finder/Finder.h"
#include "support/FilesTestSupport.h"

using namespace corvane;

namespace {

constexpr OSType kScripted = FOUR_CHAR_CODE("Scrp");

std::string Bytes(const std::u16string& units) {
    return std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2);
}

template <typename Value>
std::optional<AEDesc> Desc(DescType type, Value value) {
    AEDesc desc;
    AECreateDesc(type, &value, sizeof value, &desc);
    return desc;
}

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

}  // namespace

// Strings to descriptors and an odd last byte the comment events show; here the edges of reading one.
TEST(MoreAEDataModel, TextFromDescriptors) {
    const std::tuple<DescType, std::string, OSErr, std::optional<std::u16string>> rows[] = {
        {typeUnicodeText, "z", noErr, u""},                    // one byte makes no unit, but a string
        {typeUnicodeText, "", noErr, std::nullopt},            // no bytes store nothing
        {typeSInt32, "1234", errAECoercionFail, std::nullopt},
    };
    for (const auto& [type, bytes, status, expected] : rows) {
        AEDesc desc;
        AECreateDesc(type, bytes.data(), static_cast<long>(bytes.size()), &desc);
        std::optional<std::u16string> stored;
        EXPECT_EQ(MoreAEGetCFStringFromDescriptor(&desc, &stored), status) << bytes;
        EXPECT_EQ(stored, expected) << bytes;
    }
}

TEST(MoreAEDisposeDescDeathTest, LeavesNullDescriptorAndInsistsOnOne) {
    AEDesc desc;
    AECreateDesc(typeUnicodeText, u"x", 2, &desc);
    EXPECT_EQ(MoreAEDisposeDesc(&desc), noErr);
    EXPECT_EQ(desc, AEDesc{});
    EXPECT_DEATH(MoreAEDisposeDesc(nullptr), "MoreAEDataModel\\.cpp:[0-9]+: failed assertion `desc != NULL'\n");
}

// How real items are named in an event the comment events below read back; here, what cannot be named.
TEST(MoreAEOCreateObjSpecifier, Refusals) {
    TempDir dir;
    WriteFile(dir / "notes: draft.txt", "x");
    AEDesc specifier;
    const CFURL relative{"not/absolute", false};
    EXPECT_EQ(MoreAEOCreateObjSpecifierFromCFURLRef(&relative, &specifier), coreFoundationUnknownErr);
    const FSRef ref = EntryRef(dir / "notes: draft.txt");
    std::filesystem::remove(dir / "notes: draft.txt");
    EXPECT_EQ(MoreAEOCreateObjSpecifierFromFSRef(&ref, &specifier), coreFoundationUnknownErr);
    EXPECT_EQ(specifier, AEDesc{});
}

TEST(MoreAESend, RepliesOfAScriptedApplication) {
    struct Row {
        const char* proves;
        std::optional<AEDesc> errorNumber;
        std::optional<AEDesc> directObject;
        OSErr handlerStatus;
        OSErr returned;  ///< MoreAESendEventReturnAEDesc's status
        OSErr noValue;   ///< MoreAESendEventNoReturnValue's status
    };
    const auto twelve = Desc(typeSInt32, 12);
    const Row rows[] = {
        {"no 'errn' is success", std::nullopt, twelve, noErr, noErr, noErr},
        {"'errn' of no 'shor'", Desc(typeSInt32, 70000), twelve, noErr, errAECoercionFail, errAECoercionFail},
        {"the manager's own 'errn'", std::nullopt, twelve, errAEEventFailed, errAEEventFailed, errAEEventFailed},
        {"no direct object", std::nullopt, std::nullopt, noErr, errAEDescNotFound, noErr},
        {"a direct object of no number", std::nullopt, Desc(typeUnicodeText, u'x'), noErr, errAECoercionFail, noErr},
    };
    int handled = 0;
    const Row* script = nullptr;
    AEInstallApplication(kScripted, [&](const AppleEvent*, AppleEvent* reply) {
        ++handled;
        if (script->errorNumber) {
            AEPutParamDesc(reply, keyErrorNumber, &*script->errorNumber);
        }
        if (script->directObject) {
            AEPutParamDesc(reply, keyDirectObject, &*script->directObject);
        }
        return script->handlerStatus;
    });
    AEAddressDesc target;
    AECreateDesc(typeApplSignature, &kScripted, sizeof kScripted, &target);
    AppleEvent event;
    AECreateAppleEvent(FOUR_CHAR_CODE("test"), FOUR_CHAR_CODE("ask "), &target, kAutoGenerateReturnID,
                       kAnyTransactionID, &event);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.proves);
        script = &row;
        AEDesc result;
        EXPECT_EQ(MoreAESendEventReturnAEDesc(gAEIdleUPP, &event, typeSInt16, &result), row.returned);
        EXPECT_EQ(result, row.returned == noErr ? *Desc(typeSInt16, std::int16_t{12}) : AEDesc{});
        EXPECT_EQ(MoreAESendEventNoReturnValue(gAEIdleUPP, &event), row.noValue);
    }
    AEDesc result;
    EXPECT_EQ(MoreAESendEventReturnAEDesc(nullptr, &event, typeSInt16, &result), paramErr);
    EXPECT_EQ(handled, 10) << "without an idle routine nothing is sent";
    AERemoveApplication(kScripted);
}

// A scripted Finder that keeps what it received and answers as told.
class CommentEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(file_, "x");
        fileRef_ = EntryRef(file_);
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

TEST_F(CommentEventsTest, EventsOnTheWireRepliesAndFailures) {
    WriteFile(dir_ / "Pkg.rtfd/x", "");
    const FSRef folderRef = EntryRef(dir_ / "Pkg.rtfd");
    answer_ = Bytes(u"notes") + "z";
    ASSERT_EQ(MoreFEGetCommentCFString(&folderRef, &comment_, gAEIdleUPP), noErr);
    EXPECT_EQ(comment_, u"notes") << "an odd last byte is dropped";
    EXPECT_EQ(ItemOfReceived(), std::make_pair(FOUR_CHAR_CODE("cobj"), u':')) << "a folder's path ends in ':'";
    const std::u16string comment = u"é😀";
    ASSERT_EQ(MoreFESetCommentCFString(&fileRef_, &comment, gAEIdleUPP), noErr);
    EXPECT_EQ(ItemOfReceived(), std::make_pair(FOUR_CHAR_CODE("file"), u't'));
    answer_ = "x";
    comment_.reset();
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
