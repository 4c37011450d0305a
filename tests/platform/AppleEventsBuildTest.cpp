// The event-building notation: the comment events' formats make the records they describe, and a
// malformed format is refused with its place, never crashes and never leaves half an event.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/AppleEvents.h"

namespace {

constexpr OSType kSignature = FOUR_CHAR_CODE("Test");
const char kSetFormat[] = "'----':obj {form:prop,want:type(prop),seld:type(comt),from:(@)},data:(@)";

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

FourCharCode CodeIn(const AEDesc& desc, DescType expectedType) {
    EXPECT_EQ(desc.descriptorType, expectedType);
    FourCharCode code = 0;
    EXPECT_EQ(AEGetDescData(&desc, &code, sizeof code), noErr);
    return code;
}

} // namespace

TEST(AEBuildAppleEvent, CommentSetFormatMakesPropertySpecifierAndData) {
    AEDesc item;
    AECreateList(nullptr, 0, true, &item);
    item.descriptorType = typeObjectSpecifier;
    const char16_t text[] = u"hi";
    AEDesc data;
    AECreateDesc(typeUnicodeText, text, 4, &data);

    AppleEvent event;
    AEBuildError error{};
    ASSERT_EQ(Build(kSetFormat, &event, &error, &item, &data), noErr);
    EXPECT_EQ(error.fError, aeBuildSyntaxNoErr);

    const AEDesc property = Param(event, "----");
    EXPECT_EQ(property.descriptorType, typeObjectSpecifier);
    EXPECT_EQ(CodeIn(Param(property, "form"), typeEnumerated), FOUR_CHAR_CODE("prop"));
    EXPECT_EQ(CodeIn(Param(property, "want"), typeType), FOUR_CHAR_CODE("prop"));
    EXPECT_EQ(CodeIn(Param(property, "seld"), typeType), FOUR_CHAR_CODE("comt"));
    const AEDesc from = Param(property, "from");
    EXPECT_EQ(from.descriptorType, typeObjectSpecifier);
    EXPECT_EQ(from.kind, AEDescKind::record);
    const AEDesc sent = Param(event, "data");
    EXPECT_EQ(sent.descriptorType, typeUnicodeText);
    EXPECT_EQ(sent.data, data.data);

    AEDesc address;
    ASSERT_EQ(AEGetAttributeDesc(&event, keyAddressAttr, typeWildCard, &address), noErr);
    EXPECT_EQ(CodeIn(address, typeApplSignature), kSignature);
}

TEST(AEBuildAppleEvent, ValuesOfEveryKind) {
    AERecord record;
    AECreateList(nullptr, 0, true, &record);
    AppleEvent event;
    const std::string format = " num : 7 , big:-100000, 'k y':\"a b\", lst:[1, [], \"x\"], rec:{ a:'ab' },"
                               " hex:sign($4D 41 43 53$), nul:null(), emp:xxxx(), wrd:long(3), obj:obj(@)";
    ASSERT_EQ(Build(format, &event, nullptr, &record), noErr);

    std::int16_t small = 0;
    AEGetParamPtr(&event, FOUR_CHAR_CODE("num "), typeSInt16, nullptr, &small, sizeof small, nullptr);
    EXPECT_EQ(small, 7);
    EXPECT_EQ(Param(event, "big ").descriptorType, typeSInt32);
    const AEDesc text = Param(event, "k y ");
    EXPECT_EQ(text.descriptorType, typeChar);
    EXPECT_EQ(std::string(text.data.begin(), text.data.end()), "a b");
    long count = 0;
    const AEDesc list = Param(event, "lst ");
    ASSERT_EQ(AECountItems(&list, &count), noErr);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(CodeIn(Param(Param(event, "rec "), "a   "), typeEnumerated), FOUR_CHAR_CODE("ab  "));
    EXPECT_EQ(Param(event, "hex ").data, (std::vector<std::uint8_t>{0x4D, 0x41, 0x43, 0x53}));
    EXPECT_EQ(Param(event, "nul ").descriptorType, typeNull);
    EXPECT_EQ(Param(event, "emp ").descriptorType, FOUR_CHAR_CODE("xxxx"));
    EXPECT_EQ(Param(event, "wrd ").data.size(), 4u) << "long(3) converts the number, not just its type";
    const AEDesc object = Param(event, "obj ");
    EXPECT_EQ(object.descriptorType, typeObjectSpecifier);
    EXPECT_EQ(object.kind, AEDescKind::record);
}

TEST(AEBuildAppleEvent, MalformedFormatsSayWhatAndWhere) {
    struct Row {
        const char* format;
        AEBuildErrorCode code;
        std::uint32_t position;
    };
    const Row rows[] = {
        {"'----'", aeBuildSyntaxNoColon, 6},
        {"'----':", aeBuildSyntaxBadEOF, 7},
        {"'---", aeBuildSyntaxMissingQuote, 0},
        {"toolong:1", aeBuildSyntaxBadToken, 0},
        {"a:1 b:2", aeBuildSyntaxNoEOF, 4},
        {"a:-x", aeBuildSyntaxBadNegative, 3},
        {"a:\"open", aeBuildSyntaxNoCloseString, 2},
        {"a:$00$", aeBuildSyntaxUncoercedHex, 2},
        {"a:x($0$)", aeBuildSyntaxOddHex, 7},
        {"a:x($0g$)", aeBuildSyntaxBadHex, 6},
        {"a:x($00", aeBuildSyntaxNoCloseHex, 7},
        {"a:(1", aeBuildSyntaxNoCloseParen, 4},
        {"a:[1,2", aeBuildSyntaxNoCloseBracket, 6},
        {"a:{b:1", aeBuildSyntaxNoCloseBrace, 6},
        {"a:{:1}", aeBuildSyntaxNoKey, 3},
        {"a:x([1])", aeBuildSyntaxCoercedList, 2},
        {"a:@", aeBuildSyntaxBadDesc, 2},
        {"a:shor(99999)", aeBuildSyntaxBadData, 2},
        {"a:99999999999", aeBuildSyntaxBadData, 2},
        {"a:}", aeBuildSyntaxBadToken, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.format);
        AppleEvent event;
        AECreateList(nullptr, 0, true, &event);
        AEBuildError error{};
        ASSERT_EQ(Build(row.format, &event, &error), errAEBuildSyntaxError);
        EXPECT_EQ(error.fError, row.code);
        EXPECT_EQ(error.fErrorPos, row.position);
        EXPECT_EQ(event.descriptorType, typeNull);
    }
}

TEST(AEBuildAppleEvent, TruncatedAndGarbledFormatsAreRefusedSafely) {
    AEDesc item;
    AECreateList(nullptr, 0, true, &item);
    const std::string valid = kSetFormat;
    for (std::size_t length = 0; length < valid.size(); ++length) {
        AppleEvent event;
        const OSErr err = Build(valid.substr(0, length), &event, nullptr, &item, &item);
        EXPECT_TRUE(err == noErr || err == errAEBuildSyntaxError) << length;
        if (err != noErr) {
            EXPECT_EQ(event.descriptorType, typeNull);
        }
    }
    std::mt19937 random(1740);
    const std::string alphabet = "'-:{}()[]@$\",ab 0123obj";
    for (int round = 0; round < 3000; ++round) {
        std::string format = round % 2 == 0 ? valid : std::string();
        std::uniform_int_distribution<std::size_t> edits(1, 12);
        for (std::size_t edit = edits(random); edit > 0; --edit) {
            const char c = alphabet[random() % alphabet.size()];
            const std::size_t at = format.empty() ? 0 : random() % format.size();
            format.insert(format.begin() + static_cast<long>(at), c);
        }
        AppleEvent event;
        const OSErr err = Build(format, &event, nullptr, &item);
        EXPECT_TRUE(err == noErr || err == errAEBuildSyntaxError) << format;
    }
    AppleEvent event;
    EXPECT_EQ(Build(std::string(100000, '('), &event, nullptr), errAEBuildSyntaxError);
    EXPECT_EQ(Build("a:" + std::string(100000, '['), &event, nullptr), errAEBuildSyntaxError);
}
