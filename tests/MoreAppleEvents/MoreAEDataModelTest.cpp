// Text descriptors from and to strings, and disposal with its precondition checks.
#include <gtest/gtest.h>

#include "MoreAppleEvents/MoreAEDataModel.h"

TEST(MoreAECreateAEDescFromCFString, TwoBytesPerUnitWithoutTerminator) {
    const std::u16string text = u"é😀";
    AEDesc desc;
    ASSERT_EQ(MoreAECreateAEDescFromCFString(&text, &desc), noErr);
    EXPECT_EQ(desc.descriptorType, typeUnicodeText);
    ASSERT_EQ(AEGetDescDataSize(&desc), 6) << "three UTF-16 units";
    std::u16string back(3, u'\0');
    AEGetDescData(&desc, back.data(), 6);
    EXPECT_EQ(back, text);

    const std::u16string empty;
    ASSERT_EQ(MoreAECreateAEDescFromCFString(&empty, &desc), noErr);
    EXPECT_EQ(desc.descriptorType, typeUnicodeText);
    EXPECT_EQ(AEGetDescDataSize(&desc), 0);

    EXPECT_EQ(MoreAECreateAEDescFromCFString(nullptr, &desc), paramErr);
    EXPECT_EQ(MoreAECreateAEDescFromCFString(&text, nullptr), paramErr);
}

TEST(MoreAEGetCFStringFromDescriptor, WhatIsStored) {
    struct Row {
        const char* proves;
        DescType type;
        std::string bytes;
        OSErr status;
        std::optional<std::u16string> stored;
    };
    const std::u16string ab = u"ab";
    const std::string abBytes(reinterpret_cast<const char*>(ab.data()), 4);
    const Row rows[] = {
        {"'utxt' is taken as it is", typeUnicodeText, abBytes, noErr, u"ab"},
        {"an odd last byte is dropped: (5 - 1) / 2 units", typeUnicodeText, abBytes + "z", noErr, u"ab"},
        {"one byte makes no unit, but a string", typeUnicodeText, "z", noErr, u""},
        {"'TEXT' is coerced", typeChar, "caf\xC3\xA9", noErr, u"café"},
        {"no bytes store nothing", typeUnicodeText, "", noErr, std::nullopt},
        {"what is no text is refused", typeSInt32, "1234", errAECoercionFail, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.proves);
        AEDesc desc;
        AECreateDesc(row.type, row.bytes.data(), static_cast<long>(row.bytes.size()), &desc);
        std::optional<std::u16string> stored;
        EXPECT_EQ(MoreAEGetCFStringFromDescriptor(&desc, &stored), row.status);
        EXPECT_EQ(stored, row.stored);
    }
    AEDesc desc;
    EXPECT_EQ(MoreAEGetCFStringFromDescriptor(&desc, nullptr), paramErr);
}

TEST(MoreAEDisposeDescDeathTest, LeavesNullDescriptorAndInsistsOnOne) {
    const std::u16string text = u"x";
    AEDesc desc;
    MoreAECreateAEDescFromCFString(&text, &desc);
    EXPECT_EQ(MoreAEDisposeDesc(&desc), noErr);
    EXPECT_EQ(desc, AEDesc{});
    EXPECT_DEATH(MoreAEDisposeDesc(nullptr), "MoreAEDataModel\\.cpp:[0-9]+: failed assertion `desc != NULL'\n");
}
