// Text descriptors from and to strings, and disposal with its precondition checks.
#include <gtest/gtest.h>

#include "MoreAppleEvents/MoreAEDataModel.h"

namespace {

std::string Bytes(const std::u16string& units) {
    return std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2);
}

} // namespace

TEST(MoreAECreateAEDescFromCFString, TwoBytesPerUnitWithoutTerminator) {
    AEDesc desc;
    for (const std::u16string& text : {std::u16string(u"é😀"), std::u16string()}) {
        ASSERT_EQ(MoreAECreateAEDescFromCFString(&text, &desc), noErr);
        EXPECT_EQ(desc.descriptorType, typeUnicodeText);
        EXPECT_EQ(std::string(desc.data.begin(), desc.data.end()), Bytes(text));
    }
    const std::u16string text;
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
    const Row rows[] = {
        {"'utxt' is taken as it is", typeUnicodeText, Bytes(u"ab"), noErr, u"ab"},
        {"an odd last byte is dropped", typeUnicodeText, Bytes(u"ab") + "z", noErr, u"ab"},
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
        EXPECT_EQ(MoreAEGetCFStringFromDescriptor(&desc, nullptr), paramErr);
    }
}

TEST(MoreAEDisposeDescDeathTest, LeavesNullDescriptorAndInsistsOnOne) {
    AEDesc desc;
    AECreateDesc(typeUnicodeText, u"x", 2, &desc);
    EXPECT_EQ(MoreAEDisposeDesc(&desc), noErr);
    EXPECT_EQ(desc, AEDesc{});
    EXPECT_DEATH(MoreAEDisposeDesc(nullptr), "MoreAEDataModel\\.cpp:[0-9]+: failed assertion `desc != NULL'\n");
}
