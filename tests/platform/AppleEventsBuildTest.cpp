// The event-building notation: the formats make the records they describe, and a malformed format
// is refused with its place, never crashes and never leaves half an event.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>

#include "platform/AppleEvents.h"

namespace {

constexpr OSType kSignature = FOUR_CHAR_CODE("Test");
const std::string kSetFormat = "'----':obj {form:prop,want:type(prop),seld:type(comt),from:(@)},data:(@)";

template <typename... Descs>
OSErr Build(const std::string& format, AppleEvent* event, AEBuildError* error, Descs... descs) {
    return AEBuildAppleEvent(FOUR_CHAR_CODE("core"), FOUR_CHAR_CODE("setd"), typeApplSignature, &kSignature,
                             sizeof kSignature, kAutoGenerateReturnID, kAnyTransactionID, event, error,
                             format.c_str(), descs...);
}

AEDesc Param(const AEDesc& record, const char (&key)[5]) {
    AEDesc value;
    EXPECT_EQ(AEGetParamDesc(&record, FOUR_CHAR_CODE(key), typeWildCard, &value), noErr) << key;
    return value;
}

template <typename Value>
AEDesc Of(DescType type, const Value& value, long size = sizeof(Value)) {
    AEDesc desc;
    AECreateDesc(type, &value, size, &desc);
    return desc;
}

} // namespace

TEST(AEBuildAppleEvent, ValuesOfEveryKind) {
    AppleEvent event;
    ASSERT_EQ(Build("num : 7 , big:-100000, lst:[1, [], \"x\"], rec:{ a:'ab' }, hex:sign($4D 41 43 53$), wrd:long(3)",
                    &event, nullptr), noErr);
    EXPECT_EQ(Param(event, "num "), Of(typeSInt16, std::int16_t{7}));
    EXPECT_EQ(Param(event, "big "), Of(typeSInt32, std::int32_t{-100000}));
    EXPECT_EQ(Param(event, "lst ").items.size(), 3u);
    EXPECT_EQ(Param(Param(event, "rec "), "a   "), Of(typeEnumerated, FOUR_CHAR_CODE("ab  ")));
    EXPECT_EQ(Param(event, "hex "), Of(typeApplSignature, "MACS", 4));
    EXPECT_EQ(Param(event, "wrd "), Of(typeSInt32, std::int32_t{3})) << "long(3) converts, not just retypes";
}

TEST(AEBuildAppleEvent, MalformedFormatsSayWhatAndWhere) {
    const std::tuple<const char*, AEBuildErrorCode, std::uint32_t> rows[] = {
        {"'----'", aeBuildSyntaxNoColon, 6},         {"'----':", aeBuildSyntaxBadEOF, 7},
        {"'---", aeBuildSyntaxMissingQuote, 0},      {"toolong:1", aeBuildSyntaxBadToken, 0},
        {"a:1 b:2", aeBuildSyntaxNoEOF, 4},          {"a:-x", aeBuildSyntaxBadNegative, 3},
        {"a:\"open", aeBuildSyntaxNoCloseString, 2}, {"a:$00$", aeBuildSyntaxUncoercedHex, 2},
        {"a:x($0g$)", aeBuildSyntaxBadHex, 6},       {"a:(1", aeBuildSyntaxNoCloseParen, 4},
        {"a:{b:1", aeBuildSyntaxNoCloseBrace, 6},    {"a:{:1}", aeBuildSyntaxNoKey, 3},
        {"a:@", aeBuildSyntaxBadDesc, 2},            {"a:shor(99999)", aeBuildSyntaxBadData, 2},
    };
    for (const auto& [format, code, position] : rows) {
        AppleEvent event;
        AEBuildError error{};
        ASSERT_EQ(Build(format, &event, &error), errAEBuildSyntaxError) << format;
        EXPECT_EQ(std::pair(error.fError, error.fErrorPos), std::pair(code, position)) << format;
    }
}

TEST(AEBuildAppleEvent, TruncatedAndGarbledFormatsAreRefusedSafely) {
    const AEDesc item;
    std::mt19937 random(1740);
    const std::string alphabet = "'-:{}()[]@$\",ab 0123obj";
    for (std::size_t round = 0; round < 3000; ++round) {
        std::string format = kSetFormat.substr(0, round % (kSetFormat.size() + 1));
        for (std::size_t edit = round < 1000 ? 0 : 1 + random() % 12; edit > 0; --edit) {
            format.insert(format.empty() ? 0 : random() % format.size(), 1, alphabet[random() % alphabet.size()]);
        }
        AppleEvent event;
        const OSErr err = Build(format, &event, nullptr, &item, &item);
        ASSERT_TRUE(err == noErr || (err == errAEBuildSyntaxError && event == AEDesc{})) << format;
    }
    AppleEvent event;
    EXPECT_EQ(Build(std::string(100000, '('), &event, nullptr), errAEBuildSyntaxError);
    EXPECT_EQ(Build("a:" + std::string(100000, '['), &event, nullptr), errAEBuildSyntaxError);
}
