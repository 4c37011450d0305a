// The Apple Event Manager: descriptors and records, coercion, sending, and the event-building notation,
// whose malformed formats are refused with their place, never crash and never leave half an event.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <tuple>

#include "platform/events/AppleEvents.h"

using namespace corvane;

namespace {

constexpr OSType kTestSignature = FOUR_CHAR_CODE("Tst1");
const std::string kSetFormat = "'----':obj {form:prop,want:type(prop),seld:type(comt),from:(@)},data:(@)";

template <typename Value>
AEDesc Of(DescType type, const Value& value, long size = sizeof(Value)) {
    AEDesc desc;
    EXPECT_EQ(AECreateDesc(type, &value, size, &desc), noErr);
    return desc;
}

std::string B(const std::u16string& units) {
    return std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2);
}

template <typename... Descs>
OSErr Build(const std::string& format, AppleEvent* event, AEBuildError* error, Descs... descs) {
    return AEBuildAppleEvent(FOUR_CHAR_CODE("core"), FOUR_CHAR_CODE("setd"), typeApplSignature, &kTestSignature,
                             sizeof kTestSignature, kAutoGenerateReturnID, kAnyTransactionID, event, error,
                             format.c_str(), descs...);
}

Boolean gIdleGivesUp = false;
int gIdleCalls = 0;

Boolean CountingIdle(EventRecord* event, long* sleepTime, RgnHandle* mouseRgn) {
    EXPECT_TRUE(event->what == nullEvent && sleepTime != nullptr && mouseRgn != nullptr);
    ++gIdleCalls;
    return gIdleGivesUp;
}

AppleEvent EventTo(OSType signature, AEReturnID returnID = kAutoGenerateReturnID) {
    AEAddressDesc target = Of(typeApplSignature, signature);
    AppleEvent event;
    AECreateAppleEvent(FOUR_CHAR_CODE("test"), FOUR_CHAR_CODE("ping"), &target, returnID, kAnyTransactionID, &event);
    return event;
}

OSErr Send(const AppleEvent& event, AppleEvent* reply, AESendMode mode = kAEWaitReply) {
    return AESend(&event, reply, mode, kAENormalPriority, kNoTimeOut, CountingIdle, nullptr);
}

}  // namespace

TEST(AEDescriptors, RecordParametersReplaceByKeyAndCoerceAndAFailureLeavesTheNullDescriptor) {
    AERecord record;
    ASSERT_EQ(AECreateList(nullptr, 0, true, &record), noErr);
    const std::int16_t one = 1, two = 2;
    ASSERT_EQ(AEPutParamPtr(&record, FOUR_CHAR_CODE("keyA"), typeSInt16, &one, sizeof one), noErr);
    ASSERT_EQ(AEPutParamPtr(&record, FOUR_CHAR_CODE("keyB"), typeChar, "xyz", 3), noErr);
    ASSERT_EQ(AEPutParamPtr(&record, FOUR_CHAR_CODE("keyA"), typeSInt16, &two, sizeof two), noErr);
    EXPECT_EQ(record.items.size(), 2u) << "a second put under a key replaces the first";
    std::int32_t value = 0;
    DescType type = 0;
    long size = 0;
    ASSERT_EQ(AEGetParamPtr(&record, FOUR_CHAR_CODE("keyA"), typeSInt32, &type, &value, sizeof value, &size), noErr);
    EXPECT_EQ(std::tuple(value, type, size), std::tuple(2, typeSInt32, 4L));
    char text[3] = {};
    ASSERT_EQ(AEGetParamPtr(&record, FOUR_CHAR_CODE("keyB"), typeChar, &type, text, 2, &size), noErr);
    EXPECT_EQ(std::tuple(std::string(text), size), std::tuple("xy", 3L)) << "no more than asked; the full size";
    AEDesc plain = Of(typeSInt32, 7);
    EXPECT_EQ(AEPutParamPtr(&plain, FOUR_CHAR_CODE("keyA"), typeSInt16, &two, sizeof two), errAEWrongDataType);
    EXPECT_EQ(plain, Of(typeSInt32, 7));
    EXPECT_EQ(AECreateDesc(typeChar, nullptr, 4, &plain), paramErr);
    EXPECT_EQ(plain, AEDesc{});
}

TEST(AECoerceDesc, Conversions) {
    const std::tuple<const char*, DescType, std::string, DescType, std::optional<std::string>> rows[] = {
        {"'TEXT' is UTF-8", typeChar, "caf\xC3\xA9", typeUnicodeText, B(std::u16string(u"café"))},
        {"'utxt' to itself keeps every byte", typeUnicodeText, "abc", typeUnicodeText, "abc"},
        {"invalid UTF-8", typeChar, "\xFF", typeUnicodeText, std::nullopt},
    };
    for (const auto& [proves, from, bytes, to, expected] : rows) {
        SCOPED_TRACE(proves);
        AEDesc source;
        AECreateDesc(from, bytes.data(), static_cast<long>(bytes.size()), &source);
        AEDesc result = source;
        ASSERT_EQ(AECoerceDesc(&source, to, &result), expected ? noErr : errAECoercionFail);
        EXPECT_EQ(result.descriptorType, expected ? to : typeNull);
        EXPECT_EQ(std::string(result.data.begin(), result.data.end()), expected.value_or(""));
    }
}

// A test application answers 5, with its own 'errn' when given, and returns status; whatever is not
// answered leaves the reply null.
TEST(AESend, WaitReplyNoReplyAndRefusals) {
    OSErr status = noErr;
    std::optional<std::int16_t> errn;
    std::vector<AppleEvent> received;
    AEInstallApplication(kTestSignature, [&](const AppleEvent* event, AppleEvent* reply) {
        received.push_back(*event);
        const std::int32_t five = 5;
        AEPutParamPtr(reply, keyDirectObject, typeSInt32, &five, sizeof five);
        if (errn) {
            AEPutParamPtr(reply, keyErrorNumber, typeSInt16, &*errn, sizeof *errn);
        }
        return status;
    });
    const AppleEvent event = EventTo(kTestSignature, 33);
    AppleEvent reply;
    ASSERT_EQ(Send(event, &reply), noErr);
    EXPECT_EQ(received, std::vector{event});
    EXPECT_EQ(gIdleCalls, 1);
    EXPECT_EQ(reply.items.size(), 1u) << "the answer alone, no 'errn'";
    AEReturnID returnID = 0;
    AEGetAttributePtr(&reply, keyReturnIDAttr, typeSInt16, nullptr, &returnID, sizeof returnID, nullptr);
    EXPECT_EQ(returnID, 33) << "the reply answers the event's return id";
    status = errAEEventFailed;
    errn = -42;
    ASSERT_EQ(Send(event, &reply), noErr);
    std::int16_t number = 0;
    AEGetParamPtr(&reply, keyErrorNumber, typeSInt16, nullptr, &number, sizeof number, nullptr);
    EXPECT_EQ(number, -42) << "the handler's own 'errn' stays";
    reply = event;
    ASSERT_EQ(Send(event, &reply, kAENoReply), noErr);
    EXPECT_EQ(received.size(), 3u);
    EXPECT_EQ(reply, AEDesc{});
    EXPECT_EQ(gIdleCalls, 2) << "nothing was waited for";
    gIdleGivesUp = true;
    reply = event;
    EXPECT_EQ(Send(event, &reply), errAEWaitCanceled);
    EXPECT_EQ(reply, AEDesc{});
    EXPECT_EQ(AERemoveApplication(kTestSignature), noErr);
}

// In the comment format a bare code is an enumeration and type(prop) a type; a malformed format is refused
// with what and where, and no truncated or garbled one crashes or leaves half an event.
TEST(AEBuildAppleEvent, BuildsTheCommentFormatAndRefusesMalformedOnesSafely) {
    const AEDesc none;
    AppleEvent event;
    ASSERT_EQ(Build(kSetFormat, &event, nullptr, &none, &none), noErr);
    AEDesc specifier, form, want;
    AEGetParamDesc(&event, keyDirectObject, typeWildCard, &specifier);
    AEGetParamDesc(&specifier, FOUR_CHAR_CODE("form"), typeWildCard, &form);
    AEGetParamDesc(&specifier, FOUR_CHAR_CODE("want"), typeWildCard, &want);
    EXPECT_EQ(form, Of(typeEnumerated, FOUR_CHAR_CODE("prop"))) << "a bare code is an enumeration";
    EXPECT_EQ(want, Of(typeType, FOUR_CHAR_CODE("prop"))) << "type(prop) converts the code";
    const std::tuple<const char*, AEBuildErrorCode, std::uint32_t> rows[] = {
        {"'----'", aeBuildSyntaxNoColon, 6},      {"'----':", aeBuildSyntaxBadEOF, 7},
        {"'---", aeBuildSyntaxMissingQuote, 0},   {"toolong:a", aeBuildSyntaxBadToken, 0},
        {"a:b c:d", aeBuildSyntaxNoEOF, 4},       {"a:(b", aeBuildSyntaxNoCloseParen, 4},
        {"a:{b:c", aeBuildSyntaxNoCloseBrace, 6}, {"a:{:c}", aeBuildSyntaxNoKey, 3},
        {"a:@", aeBuildSyntaxBadDesc, 2},         {"a:shor(b)", aeBuildSyntaxBadData, 2},
        {"a:\"text\"", aeBuildSyntaxBadToken, 2},
    };
    for (const auto& [format, code, position] : rows) {
        AEBuildError error{};
        ASSERT_EQ(Build(format, &event, &error), errAEBuildSyntaxError) << format;
        EXPECT_EQ(std::pair(error.fError, error.fErrorPos), std::pair(code, position)) << format;
    }
    std::mt19937 random(1740);
    const std::string alphabet = "'-:{}()[]@$\",ab 0123obj";
    for (std::size_t round = 0; round < 3000; ++round) {
        std::string format = kSetFormat.substr(0, round % (kSetFormat.size() + 1));
        for (std::size_t edit = round < 1000 ? 0 : 1 + random() % 12; edit > 0; --edit) {
            format.insert(format.empty() ? 0 : random() % format.size(), 1, alphabet[random() % alphabet.size()]);
        }
        const OSErr err = Build(format, &event, nullptr, &none, &none);
        ASSERT_TRUE(err == noErr || (err == errAEBuildSyntaxError && event == AEDesc{})) << format;
    }
    EXPECT_EQ(Build(std::string(100000, '('), &event, nullptr), errAEBuildSyntaxError);
    std::string typedDeep = "a:";
    for (int depth = 0; depth < 100000; ++depth) {
        typedDeep += "t(";
    }
    EXPECT_EQ(Build(typedDeep, &event, nullptr), errAEBuildSyntaxError);
}
