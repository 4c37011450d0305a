// Coercion between the integer, code and text types, and the refusals that keep bad data out.
#include <gtest/gtest.h>

#include <string>

#include "platform/AppleEvents.h"

namespace {

template <typename Value>
std::string B(Value value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

std::string B(const std::u16string& units) {
    return std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2);
}

} // namespace

TEST(AECoerceDesc, Conversions) {
    struct Row {
        const char* proves;
        DescType from;
        std::string bytes;
        DescType to;
        OSErr status;
        std::string result;
    };
    const OSErr fail = errAECoercionFail;
    const Row rows[] = {
        {"'long' in range to 'shor'", typeSInt32, B(std::int32_t{-1728}), typeSInt16, noErr, B(std::int16_t{-1728})},
        {"'long' out of range", typeSInt32, B(std::int32_t{40000}), typeSInt16, fail, ""},
        {"'shor' widens to 'long'", typeSInt16, B(std::int16_t{-5}), typeSInt32, noErr, B(std::int32_t{-5})},
        {"a 'shor' of the wrong size", typeSInt16, "\x01", typeSInt16, fail, ""},
        {"'enum' to 'type'", typeEnumerated, B(FOUR_CHAR_CODE("prop")), typeType, noErr, B(FOUR_CHAR_CODE("prop"))},
        {"'TEXT' is UTF-8", typeChar, "caf\xC3\xA9", typeUnicodeText, noErr, B(std::u16string(u"café"))},
        {"'utf8' to 'utxt'", typeUTF8Text, "\xF0\x9F\x98\x80", typeUnicodeText, noErr, B(std::u16string(u"😀"))},
        {"'utxt' to 'utf8'", typeUnicodeText, B(std::u16string(u"é")), typeUTF8Text, noErr, "\xC3\xA9"},
        {"'utxt' to itself keeps every byte", typeUnicodeText, "abc", typeUnicodeText, noErr, "abc"},
        {"invalid UTF-8", typeChar, "\xFF", typeUnicodeText, fail, ""},
        {"an unpaired surrogate", typeUnicodeText, B(std::u16string(1, char16_t(0xD800))), typeUTF8Text, fail, ""},
        {"text is not a number", typeChar, "12", typeSInt16, fail, ""},
        {"the wildcard takes anything", typeChar, "x", typeWildCard, noErr, "x"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.proves);
        AEDesc source;
        AECreateDesc(row.from, row.bytes.data(), static_cast<long>(row.bytes.size()), &source);
        AEDesc result = source;
        ASSERT_EQ(AECoerceDesc(&source, row.to, &result), row.status);
        const DescType type = row.status != noErr ? typeNull : row.to == typeWildCard ? row.from : row.to;
        EXPECT_EQ(result.descriptorType, type);
        EXPECT_EQ(std::string(result.data.begin(), result.data.end()), row.result);
    }
    AERecord record;
    AECreateList(nullptr, 0, true, &record);
    AEDesc result;
    EXPECT_EQ(AECoerceDesc(&record, typeUnicodeText, &result), errAECoercionFail);
    EXPECT_EQ(AECoerceDesc(&record, typeAERecord, &result), noErr);
    EXPECT_EQ(result, record) << "a record coerces only to itself";
}
