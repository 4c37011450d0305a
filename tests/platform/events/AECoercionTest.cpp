// Coercion between the integer, code and text types, and the refusals that keep bad data out.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/events/AppleEvents.h"

using namespace corvane;

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
        std::optional<std::string> result; ///< none: refused with errAECoercionFail
    };
    const Row rows[] = {
        {"'long' in range to 'shor'", typeSInt32, B(std::int32_t{-1728}), typeSInt16, B(std::int16_t{-1728})},
        {"'long' out of range", typeSInt32, B(std::int32_t{40000}), typeSInt16, std::nullopt},
        {"'enum' to 'type'", typeEnumerated, B(FOUR_CHAR_CODE("prop")), typeType, B(FOUR_CHAR_CODE("prop"))},
        {"'TEXT' is UTF-8", typeChar, "caf\xC3\xA9", typeUnicodeText, B(std::u16string(u"café"))},
        {"'utf8' to 'utxt'", typeUTF8Text, "\xF0\x9F\x98\x80", typeUnicodeText, B(std::u16string(u"😀"))},
        {"'utxt' to itself keeps every byte", typeUnicodeText, "abc", typeUnicodeText, "abc"},
        {"invalid UTF-8", typeChar, "\xFF", typeUnicodeText, std::nullopt},
        {"text is not a number", typeChar, "12", typeSInt16, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.proves);
        AEDesc source;
        AECreateDesc(row.from, row.bytes.data(), static_cast<long>(row.bytes.size()), &source);
        AEDesc result = source;
        ASSERT_EQ(AECoerceDesc(&source, row.to, &result), row.result ? noErr : errAECoercionFail);
        EXPECT_EQ(result.descriptorType, row.result ? row.to : typeNull);
        EXPECT_EQ(std::string(result.data.begin(), result.data.end()), row.result.value_or(""));
    }
}
