// The event-building notation: the formats make the records they describe, and a malformed format
// is refused with its place, never crashes and never leaves half an event.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>

#include "platform/events/AppleEvents.h"

using namespace corvane;

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

TEST(AEBuildAppleEvent, TheCommentFormatMakesTheSpecifierAndTakesTheDescriptors) {
    const AEDesc container = Of(typeChar, "Root:a", 6);
    const AEDesc text = Of(typeChar, "note", 4);
    AppleEvent event;
    ASSERT_EQ(Build(kSetFormat, &event, nullptr, &container, &text), noErr);
    const AEDesc specifier = Param(event, "----");
    EXPECT_EQ(specifier.descriptorType, typeObjectSpecifier);
    EXPECT_EQ(Param(specifier, "form"), Of(typeEnumerated, FOUR_CHAR_CODE("prop")));
    EXPECT_EQ(Param(specifier, "want"), Of(typeType, FOUR_CHAR_CODE("prop"))) << "type(prop) converts the code";
    EXPECT_EQ(Param(specifier, "seld"), Of(typeType, FOUR_CHAR_CODE("comt")));
    EXPECT_EQ(Param(specifier, "from"), container);
    EXPECT_EQ(Param(event, "data"), text);
}

TEST(AEBuildAppleEvent, MalformedFormatsSayWhatAndWhere) {
    const std::tuple<const char*, AEBuildErrorCode, std::uint32_t> rows[] = {
        {"'----'", aeBuildSyntaxNoColon, 6},      {"'----':", aeBuildSyntaxBadEOF, 7},
        {"'---", aeBuildSyntaxMissingQuote, 0},   {"toolong:a", aeBuildSyntaxBadToken, 0},
        {"a:b c:d", aeBuildSyntaxNoEOF, 4},       {"a:(b", aeBuildSyntaxNoCloseParen, 4},
        {"a:{b:c", aeBuildSyntaxNoCloseBrace, 6}, {"a:{:c}", aeBuildSyntaxNoKey, 3},
        {"a:@", aeBuildSyntaxBadDesc, 2},         {"a:shor(b)", aeBuildSyntaxBadData, 2},
        {"a:\"text\"", aeBuildSyntaxBadToken, 2},
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
    std::string typedDeep = "a:";
    for (int depth = 0; depth < 100000; ++depth) {
        typedDeep += "t(";
    }
    EXPECT_EQ(Build(typedDeep, &event, nullptr), errAEBuildSyntaxError);
}
