// Coercion between the integer, code and text types, and the refusals that keep bad data out.
#include <gtest/gtest.h>

#include <string>

#include "platform/AppleEvents.h"

namespace {

AEDesc Make(DescType type, const std::string& bytes) {
    AEDesc desc;
    EXPECT_EQ(AECreateDesc(type, bytes.data(), static_cast<long>(bytes.size()), &desc), noErr);
    return desc;
}

template <typename Value>
std::string BytesOf(Value value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

std::string BytesOf(const std::u16string& units) {
    return std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2);
}

std::string DataOf(const AEDesc& desc) { return std::string(desc.data.begin(), desc.data.end()); }

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
    const Row rows[] = {
        {"'long' in range becomes 'shor'", typeSInt32, BytesOf(std::int32_t{-1728}), typeSInt16, noErr,
         BytesOf(std::int16_t{-1728})},
        {"'long' out of range is refused", typeSInt32, BytesOf(std::int32_t{40000}), typeSInt16, errAECoercionFail,
         ""},
        {"'shor' widens to 'long'", typeSInt16, BytesOf(std::int16_t{-5}), typeSInt32, noErr,
         BytesOf(std::int32_t{-5})},
        {"a 'shor' of the wrong size is not a 'shor'", typeSInt16, "\x01", typeSInt16, errAECoercionFail, ""},
        {"'enum' and 'type' share their code", typeEnumerated, BytesOf(FOUR_CHAR_CODE("prop")), typeType, noErr,
         BytesOf(FOUR_CHAR_CODE("prop"))},
        {"'TEXT' is UTF-8", typeChar, "caf\xC3\xA9", typeUnicodeText, noErr, BytesOf(std::u16string(u"café"))},
        {"'utf8' to 'utxt'", typeUTF8Text, "\xF0\x9F\x98\x80", typeUnicodeText, noErr, BytesOf(std::u16string(u"😀"))},
        {"'utxt' to 'utf8'", typeUnicodeText, BytesOf(std::u16string(u"é")), typeUTF8Text, noErr, "\xC3\xA9"},
        {"'utxt' to itself keeps every byte", typeUnicodeText, "abc", typeUnicodeText, noErr, "abc"},
        {"invalid UTF-8 is refused", typeChar, "\xFF", typeUnicodeText, errAECoercionFail, ""},
        {"an unpaired surrogate is refused", typeUnicodeText, BytesOf(std::u16string(1, char16_t(0xD800))),
         typeUTF8Text, errAECoercionFail, ""},
        {"text is not a number", typeChar, "12", typeSInt16, errAECoercionFail, ""},
        {"the wildcard takes anything", typeChar, "x", typeWildCard, noErr, "x"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.proves);
        const AEDesc source = Make(row.from, row.bytes);
        AEDesc result = Make(typeChar, "stale");
        ASSERT_EQ(AECoerceDesc(&source, row.to, &result), row.status);
        if (row.status == noErr) {
            EXPECT_EQ(result.descriptorType, row.to == typeWildCard ? row.from : row.to);
            EXPECT_EQ(DataOf(result), row.result);
        } else {
            EXPECT_EQ(result.descriptorType, typeNull);
        }
    }
}

TEST(AECoerceDesc, RecordsOnlyAsThemselves) {
    AERecord record;
    AECreateList(nullptr, 0, true, &record);
    AEDesc result;
    EXPECT_EQ(AECoerceDesc(&record, typeUnicodeText, &result), errAECoercionFail);
    EXPECT_EQ(AECoerceDesc(&record, typeAERecord, &result), noErr);
    EXPECT_EQ(result.kind, AEDescKind::record);
}
