// The event-building notation: the formats make the records they describe, and a malformed format
// is refused with its place, never crashes and never leaves half an event.
#include <gtest/gtest.h>

#include <random>
#include <string>

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
    AEDesc record;
    AECreateList(nullptr, 0, true, &record);
    AEDesc item = record;
    item.descriptorType = typeObjectSpecifier;
    const AEDesc text = Of(typeUnicodeText, u"hi", 4);
    AppleEvent event;
    ASSERT_EQ(Build(kSetFormat + ", num : 7 , big:-100000, 'k y':\"a b\", lst:[1, [], \"x\"], rec:{ a:'ab' },"
                                 " hex:sign($4D 41 43 53$), nul:null(), emp:xxxx(), wrd:long(3), obj:obj(@)",
                    &event, nullptr, &item, &text, &record),
              noErr);
    const AEDesc property = Param(event, "----");
    EXPECT_EQ(property.descriptorType, typeObjectSpecifier);
    EXPECT_EQ(Param(property, "form"), Of(typeEnumerated, FOUR_CHAR_CODE("prop")));
    EXPECT_EQ(Param(property, "want"), Of(typeType, FOUR_CHAR_CODE("prop")));
    EXPECT_EQ(Param(property, "seld"), Of(typeType, FOUR_CHAR_CODE("comt")));
    EXPECT_EQ(Param(property, "from"), item);
    EXPECT_EQ(Param(event, "data"), text);
    EXPECT_EQ(Param(event, "num "), Of(typeSInt16, std::int16_t{7}));
    EXPECT_EQ(Param(event, "big "), Of(typeSInt32, std::int32_t{-100000}));
    EXPECT_EQ(Param(event, "k y "), Of(typeChar, "a b", 3));
    EXPECT_EQ(Param(event, "lst ").items.size(), 3u);
    EXPECT_EQ(Param(Param(event, "rec "), "a   "), Of(typeEnumerated, FOUR_CHAR_CODE("ab  ")));
    EXPECT_EQ(Param(event, "hex "), Of(typeApplSignature, "MACS", 4));
    EXPECT_EQ(Param(event, "nul "), AEDesc{});
    EXPECT_EQ(Param(event, "emp "), Of(FOUR_CHAR_CODE("xxxx"), "", 0));
    EXPECT_EQ(Param(event, "wrd "), Of(typeSInt32, std::int32_t{3})) << "long(3) converts, not just retypes";
    EXPECT_EQ(Param(event, "obj "), item);
}

TEST(AEBuildAppleEvent, MalformedFormatsSayWhatAndWhere) {
    struct Row {
        const char* format;
        AEBuildErrorCode code;
        std::uint32_t position;
    };
    const Row rows[] = {
        {"'----'", aeBuildSyntaxNoColon, 6},         {"'----':", aeBuildSyntaxBadEOF, 7},
        {"'---", aeBuildSyntaxMissingQuote, 0},      {"toolong:1", aeBuildSyntaxBadToken, 0},
        {"a:1 b:2", aeBuildSyntaxNoEOF, 4},          {"a:-x", aeBuildSyntaxBadNegative, 3},
        {"a:\"open", aeBuildSyntaxNoCloseString, 2}, {"a:$00$", aeBuildSyntaxUncoercedHex, 2},
        {"a:x($0$)", aeBuildSyntaxOddHex, 7},        {"a:x($0g$)", aeBuildSyntaxBadHex, 6},
        {"a:x($00", aeBuildSyntaxNoCloseHex, 7},     {"a:(1", aeBuildSyntaxNoCloseParen, 4},
        {"a:[1,2", aeBuildSyntaxNoCloseBracket, 6},  {"a:{b:1", aeBuildSyntaxNoCloseBrace, 6},
        {"a:{:1}", aeBuildSyntaxNoKey, 3},           {"a:x([1])", aeBuildSyntaxCoercedList, 2},
        {"a:@", aeBuildSyntaxBadDesc, 2},            {"a:shor(99999)", aeBuildSyntaxBadData, 2},
        {"a:99999999999", aeBuildSyntaxBadData, 2},  {"a:}", aeBuildSyntaxBadToken, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.format);
        AppleEvent event;
        AECreateList(nullptr, 0, true, &event);
        AEBuildError error{};
        ASSERT_EQ(Build(row.format, &event, &error), errAEBuildSyntaxError);
        EXPECT_EQ(error.fError, row.code);
        EXPECT_EQ(error.fErrorPos, row.position);
        EXPECT_EQ(event, AEDesc{});
    }
}

TEST(AEBuildAppleEvent, TruncatedAndGarbledFormatsAreRefusedSafely) {
    AEDesc item;
    AECreateList(nullptr, 0, true, &item);
    std::mt19937 random(1740);
    const std::string alphabet = "'-:{}()[]@$\",ab 0123obj";
    for (std::size_t round = 0; round < 3000; ++round) {
        std::string format = kSetFormat.substr(0, round % (kSetFormat.size() + 1));
        for (std::size_t edit = round < 1000 ? 0 : 1 + random() % 12; edit > 0; --edit) {
            format.insert(format.empty() ? 0 : random() % format.size(), 1, alphabet[random() % alphabet.size()]);
        }
        AppleEvent event;
        const OSErr err = Build(format, &event, nullptr, &item, &item);
        ASSERT_TRUE(err == noErr || err == errAEBuildSyntaxError) << format;
        EXPECT_TRUE(err == noErr || event == AEDesc{}) << format;
    }
    AppleEvent event;
    EXPECT_EQ(Build(std::string(100000, '('), &event, nullptr), errAEBuildSyntaxError);
    EXPECT_EQ(Build("a:" + std::string(100000, '['), &event, nullptr), errAEBuildSyntaxError);
}
