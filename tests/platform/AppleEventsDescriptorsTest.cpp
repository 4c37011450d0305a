// Descriptors, lists, records and Apple events: what goes in comes out, copies are deep, and a
// failure leaves the null descriptor.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/AppleEvents.h"

namespace {

constexpr AEKeyword kKeyA = FOUR_CHAR_CODE("keyA");
constexpr AEKeyword kKeyB = FOUR_CHAR_CODE("keyB");

AEDesc LongDesc(std::int32_t value) {
    AEDesc desc;
    EXPECT_EQ(AECreateDesc(typeSInt32, &value, sizeof value, &desc), noErr);
    return desc;
}

bool IsNull(const AEDesc& desc) { return desc.descriptorType == typeNull && AEGetDescDataSize(&desc) == 0; }

} // namespace

TEST(AEDescriptors, CreateDuplicateDispose) {
    const char bytes[] = "abc";
    AEDesc desc;
    ASSERT_EQ(AECreateDesc(typeChar, bytes, 3, &desc), noErr);
    AEDesc copy;
    ASSERT_EQ(AEDuplicateDesc(&desc, &copy), noErr);
    ASSERT_EQ(AEDisposeDesc(&desc), noErr);
    EXPECT_TRUE(IsNull(desc));

    EXPECT_EQ(copy.descriptorType, typeChar);
    ASSERT_EQ(AEGetDescDataSize(&copy), 3);
    char out[8] = {};
    ASSERT_EQ(AEGetDescData(&copy, out, 2), noErr);
    EXPECT_STREQ(out, "ab") << "no more than maximumSize bytes are copied";

    EXPECT_EQ(AECreateDesc(typeChar, nullptr, 4, &copy), paramErr);
    EXPECT_TRUE(IsNull(copy)) << "a failed create leaves the null descriptor";
}

TEST(AEDescriptors, ListsKeepOrderAndIndexFromOne) {
    AEDescList list;
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    for (std::int32_t value : {10, 20, 30}) {
        const AEDesc item = LongDesc(value);
        ASSERT_EQ(AEPutDesc(&list, 0, &item), noErr);
    }
    const AEDesc replacement = LongDesc(21);
    ASSERT_EQ(AEPutDesc(&list, 2, &replacement), noErr);
    EXPECT_EQ(AEPutDesc(&list, 5, &replacement), errAEIllegalIndex);

    long count = 0;
    ASSERT_EQ(AECountItems(&list, &count), noErr);
    ASSERT_EQ(count, 3);
    const std::int32_t expected[] = {10, 21, 30};
    for (long index = 1; index <= count; ++index) {
        AEDesc item;
        AEKeyword key = 1;
        ASSERT_EQ(AEGetNthDesc(&list, index, typeSInt32, &key, &item), noErr);
        std::int32_t value = 0;
        AEGetDescData(&item, &value, sizeof value);
        EXPECT_EQ(value, expected[index - 1]);
        EXPECT_EQ(key, 0u);
    }
    AEDesc item;
    EXPECT_EQ(AEGetNthDesc(&list, 0, typeWildCard, nullptr, &item), errAEIllegalIndex);
    EXPECT_EQ(AEGetDescData(&list, &count, sizeof count), errAEWrongDataType);
}

TEST(AEDescriptors, RecordParametersReplaceByKeyAndCoerce) {
    AERecord record;
    ASSERT_EQ(AECreateList(nullptr, 0, true, &record), noErr);
    const std::int16_t first = 1;
    const std::int16_t second = 2;
    ASSERT_EQ(AEPutParamPtr(&record, kKeyA, typeSInt16, &first, sizeof first), noErr);
    ASSERT_EQ(AEPutParamPtr(&record, kKeyB, typeChar, "xyz", 3), noErr);
    ASSERT_EQ(AEPutParamPtr(&record, kKeyA, typeSInt16, &second, sizeof second), noErr);

    long count = 0;
    AECountItems(&record, &count);
    EXPECT_EQ(count, 2) << "a second put under a key replaces the first";

    std::int32_t value = 0;
    DescType type = 0;
    long size = 0;
    ASSERT_EQ(AEGetParamPtr(&record, kKeyA, typeSInt32, &type, &value, sizeof value, &size), noErr);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(type, typeSInt32);
    EXPECT_EQ(size, 4);

    char text[2] = {};
    ASSERT_EQ(AEGetParamPtr(&record, kKeyB, typeChar, &type, text, sizeof text, &size), noErr);
    EXPECT_EQ(size, 3) << "the full size is reported even when the buffer is smaller";

    AEDesc missing = LongDesc(7);
    EXPECT_EQ(AEGetParamDesc(&record, FOUR_CHAR_CODE("none"), typeWildCard, &missing), errAEDescNotFound);
    EXPECT_TRUE(IsNull(missing));
    EXPECT_EQ(AEGetParamDesc(&record, kKeyB, typeSInt16, &missing), errAECoercionFail);

    AEDesc plain = LongDesc(1);
    EXPECT_EQ(AEPutParamPtr(&plain, kKeyA, typeSInt16, &first, sizeof first), errAEWrongDataType);
}

TEST(AEDescriptors, AppleEventAttributes) {
    const OSType signature = FOUR_CHAR_CODE("Test");
    AEAddressDesc target;
    ASSERT_EQ(AECreateDesc(typeApplSignature, &signature, sizeof signature, &target), noErr);
    AppleEvent event;
    ASSERT_EQ(AECreateAppleEvent(FOUR_CHAR_CODE("clas"), FOUR_CHAR_CODE("evnt"), &target, kAutoGenerateReturnID, 77,
                                 &event),
              noErr);
    AEReturnID returnID = 0;
    ASSERT_EQ(AEGetAttributePtr(&event, keyReturnIDAttr, typeSInt16, nullptr, &returnID, sizeof returnID, nullptr),
              noErr);
    EXPECT_NE(returnID, kAutoGenerateReturnID) << "a fresh id is made";
    AETransactionID transaction = 0;
    AEGetAttributePtr(&event, keyTransactionIDAttr, typeSInt32, nullptr, &transaction, sizeof transaction, nullptr);
    EXPECT_EQ(transaction, 77);
    AEDesc missing;
    EXPECT_EQ(AEGetParamDesc(&event, keyDirectObject, typeWildCard, &missing), errAEDescNotFound);
    EXPECT_EQ(AEGetAttributeDesc(&target, keyAddressAttr, typeWildCard, &missing), errAEWrongDataType);
}
