// Descriptors and records: what goes in comes out, and a failure leaves the null descriptor.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "platform/events/AppleEvents.h"

using namespace corvane;

namespace {

constexpr AEKeyword kKeyA = FOUR_CHAR_CODE("keyA");
constexpr AEKeyword kKeyB = FOUR_CHAR_CODE("keyB");

template <typename Value>
AEDesc Of(DescType type, Value value) {
    AEDesc desc;
    EXPECT_EQ(AECreateDesc(type, &value, sizeof value, &desc), noErr);
    return desc;
}

} // namespace

TEST(AEDescriptors, RecordParametersReplaceByKeyAndCoerce) {
    AERecord record;
    ASSERT_EQ(AECreateList(nullptr, 0, true, &record), noErr);
    const std::int16_t one = 1;
    const std::int16_t two = 2;
    ASSERT_EQ(AEPutParamPtr(&record, kKeyA, typeSInt16, &one, sizeof one), noErr);
    ASSERT_EQ(AEPutParamPtr(&record, kKeyB, typeChar, "xyz", 3), noErr);
    ASSERT_EQ(AEPutParamPtr(&record, kKeyA, typeSInt16, &two, sizeof two), noErr);
    EXPECT_EQ(record.items.size(), 2u) << "a second put under a key replaces the first";

    std::int32_t value = 0;
    DescType type = 0;
    long size = 0;
    ASSERT_EQ(AEGetParamPtr(&record, kKeyA, typeSInt32, &type, &value, sizeof value, &size), noErr);
    EXPECT_EQ(std::tuple(value, type, size), std::tuple(2, typeSInt32, 4L));
    char text[3] = {};
    ASSERT_EQ(AEGetParamPtr(&record, kKeyB, typeChar, &type, text, 2, &size), noErr);
    EXPECT_EQ(std::tuple(std::string(text), size), std::tuple("xy", 3L)) << "no more than asked; the full size";

    AEDesc plain = Of(typeSInt32, 7);
    EXPECT_EQ(AEPutParamPtr(&plain, kKeyA, typeSInt16, &two, sizeof two), errAEWrongDataType);
    EXPECT_EQ(plain, Of(typeSInt32, 7));
    EXPECT_EQ(AECreateDesc(typeChar, nullptr, 4, &plain), paramErr);
    EXPECT_EQ(plain, AEDesc{});
}
