// Text descriptors from and to strings, and disposal with its precondition checks.
#include <gtest/gtest.h>

#include <tuple>

#include "MoreAppleEvents/MoreAEDataModel.h"

using namespace corvane;

namespace {

std::string Bytes(const std::u16string& units) {
    return std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2);
}

} // namespace

TEST(MoreAECreateAEDescFromCFString, TwoBytesPerUnitWithoutTerminator) {
    for (const std::u16string& text : {std::u16string(u"é😀"), std::u16string()}) {
        AEDesc desc;
        ASSERT_EQ(MoreAECreateAEDescFromCFString(&text, &desc), noErr);
        EXPECT_EQ(desc.descriptorType, typeUnicodeText);
        EXPECT_EQ(std::string(desc.data.begin(), desc.data.end()), Bytes(text));
    }
}

TEST(MoreAEGetCFStringFromDescriptor, WhatIsStored) {
    const std::tuple<DescType, std::string, OSErr, std::optional<std::u16string>> rows[] = {
        {typeUnicodeText, Bytes(u"ab") + "z", noErr, u"ab"}, // an odd last byte is dropped
        {typeUnicodeText, "z", noErr, u""},                   // one byte makes no unit, but a string
        {typeUnicodeText, "", noErr, std::nullopt},           // no bytes store nothing
        {typeSInt32, "1234", errAECoercionFail, std::nullopt},
    };
    for (const auto& [type, bytes, status, expected] : rows) {
        SCOPED_TRACE(bytes);
        AEDesc desc;
        AECreateDesc(type, bytes.data(), static_cast<long>(bytes.size()), &desc);
        std::optional<std::u16string> stored;
        EXPECT_EQ(MoreAEGetCFStringFromDescriptor(&desc, &stored), status);
        EXPECT_EQ(stored, expected);
    }
}

TEST(MoreAEDisposeDescDeathTest, LeavesNullDescriptorAndInsistsOnOne) {
    AEDesc desc;
    AECreateDesc(typeUnicodeText, u"x", 2, &desc);
    EXPECT_EQ(MoreAEDisposeDesc(&desc), noErr);
    EXPECT_EQ(desc, AEDesc{});
    EXPECT_DEATH(MoreAEDisposeDesc(nullptr), "MoreAEDataModel\\.cpp:[0-9]+: failed assertion `desc != NULL'\n");
}
