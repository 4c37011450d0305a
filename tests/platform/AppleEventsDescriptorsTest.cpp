// Descriptors, lists, records and Apple events: what goes in comes out, copies are deep, and a
// failure leaves the null descriptor.
#include <gtest/gtest.h>

#include <tuple>

#include "platform/AppleEvents.h"

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

TEST(AEDescriptors, CreateDuplicateDispose) {
    AEDesc desc;
    ASSERT_EQ(AECreateDesc(typeChar, "abc", 3, &desc), noErr);
    AEDesc copy;
    ASSERT_EQ(AEDuplicateDesc(&desc, &copy), noErr);
    ASSERT_EQ(AEDisposeDesc(&desc), noErr);
    EXPECT_EQ(desc, AEDesc{});
    char out[8] = {};
    ASSERT_EQ(AEGetDescData(&copy, out, 2), noErr);
    EXPECT_STREQ(out, "ab") << "no more than maximumSize bytes are copied";
    EXPECT_EQ(AEGetDescDataSize(&copy), 3);
    EXPECT_EQ(AECreateDesc(typeChar, nullptr, 4, &copy), paramErr);
    EXPECT_EQ(copy, AEDesc{});
}

TEST(AEDescriptors, ListsKeepOrderAndIndexFromOne) {
    AEDescList list;
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    for (std::int32_t value : {10, 20, 30}) {
        const AEDesc item = Of(typeSInt32, value);
        ASSERT_EQ(AEPutDesc(&list, 0, &item), noErr);
    }
    const AEDesc replacement = Of(typeSInt32, 21);
    ASSERT_EQ(AEPutDesc(&list, 2, &replacement), noErr);
    EXPECT_EQ(AEPutDesc(&list, 5, &replacement), errAEIllegalIndex);
    long count = 0;
    ASSERT_EQ(AECountItems(&list, &count), noErr);
    EXPECT_EQ(count, 3);
    AEDesc item;
    AEKeyword key = 1;
    ASSERT_EQ(AEGetNthDesc(&list, 3, typeSInt16, &key, &item), noErr);
    EXPECT_EQ(std::tuple(item, key), std::tuple(Of(typeSInt16, std::int16_t{30}), 0u));
    ASSERT_EQ(AEGetNthDesc(&list, 2, typeWildCard, nullptr, &item), noErr);
    EXPECT_EQ(item, replacement);
    EXPECT_EQ(AEGetNthDesc(&list, 0, typeWildCard, nullptr, &item), errAEIllegalIndex);
    EXPECT_EQ(item, AEDesc{});
    EXPECT_EQ(AEGetDescData(&list, &count, sizeof count), errAEWrongDataType);
}

TEST(AEDescriptors, RecordParametersReplaceByKeyAndCoerce) {
    AERecord record;
    ASSERT_EQ(AECreateList(nullptr, 0, true, &record), noErr);
    const AEDesc one = Of(typeSInt16, std::int16_t{1});
    ASSERT_EQ(AEPutParamDesc(&record, kKeyA, &one), noErr);
    ASSERT_EQ(AEPutParamPtr(&record, kKeyB, typeChar, "xyz", 3), noErr);
    const std::int16_t two = 2;
    ASSERT_EQ(AEPutParamPtr(&record, kKeyA, typeSInt16, &two, sizeof two), noErr);
    EXPECT_EQ(record.items.size(), 2u) << "a second put under a key replaces the first";

    std::int32_t value = 0;
    DescType type = 0;
    long size = 0;
    ASSERT_EQ(AEGetParamPtr(&record, kKeyA, typeSInt32, &type, &value, sizeof value, &size), noErr);
    EXPECT_EQ(std::tuple(value, type, size), std::tuple(2, typeSInt32, 4L));
    char text[2] = {};
    ASSERT_EQ(AEGetParamPtr(&record, kKeyB, typeChar, &type, text, sizeof text, &size), noErr);
    EXPECT_EQ(size, 3) << "the full size is reported even when the buffer is smaller";

    AEDesc plain = Of(typeSInt32, 7);
    EXPECT_EQ(AEPutParamPtr(&plain, kKeyA, typeSInt16, &two, sizeof two), errAEWrongDataType);
    EXPECT_EQ(plain, Of(typeSInt32, 7));
}

TEST(AEDescriptors, AppleEventAttributes) {
    const AEAddressDesc target = Of(typeApplSignature, FOUR_CHAR_CODE("Test"));
    AppleEvent event;
    ASSERT_EQ(AECreateAppleEvent(kKeyA, kKeyB, &target, kAutoGenerateReturnID, 77, &event), noErr);
    AEReturnID returnID = kAutoGenerateReturnID;
    AEGetAttributePtr(&event, keyReturnIDAttr, typeSInt16, nullptr, &returnID, sizeof returnID, nullptr);
    EXPECT_NE(returnID, kAutoGenerateReturnID) << "a fresh id is made";
    AEDesc attribute;
    ASSERT_EQ(AEGetAttributeDesc(&event, keyTransactionIDAttr, typeWildCard, &attribute), noErr);
    EXPECT_EQ(attribute, Of(typeSInt32, AETransactionID{77}));
    EXPECT_EQ(AEGetAttributeDesc(&target, keyAddressAttr, typeWildCard, &attribute), errAEWrongDataType);
}
