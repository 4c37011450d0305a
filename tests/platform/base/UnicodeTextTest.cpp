// UTF-8 and UTF-16 as names and comments need them: strict decoding, repair in one pass, and catalog names.
#include "platform/base/UnicodeText.h"

#include <gtest/gtest.h>

#include "support/Watchdog.h"

using namespace corvane;

namespace {

TEST(UnicodeTextTest, DecodesOnlyStrictUtf8AndReplacesEachInvalidByteInOnePass) {
    const std::pair<std::string, std::optional<std::u16string>> rows[] = {
        {"caf\xC3\xA9", u"caf\u00E9"},     {"\xE6\x9C\x88", u"\u6708"},
        {"\xF0\x9F\x93\x81", u"\U0001F4C1"}, {"", u""},
        {"\x80", std::nullopt},             {"caf\xE9", std::nullopt},
        {"\xE6\x9C", std::nullopt},         {"\xC0\xAF", std::nullopt},  // truncated; overlong slash
        {"\xE0\x80\xAF", std::nullopt},     {"\xED\xA0\x80", std::nullopt},  // overlong; surrogate
        {"\xF4\x90\x80\x80", std::nullopt},  // past U+10FFFF
    };
    for (const auto& [bytes, utf16] : rows) {
        EXPECT_EQ(UTF16FromUTF8(bytes), utf16) << bytes;
        if (utf16) {
            EXPECT_EQ(UTF8FromUTF16(*utf16), bytes) << bytes;
        }
    }
    for (const std::u16string unpaired : {u"\xD800", u"\xDC00", u"\xD800" u"a"}) {
        EXPECT_FALSE(UTF8FromUTF16(unpaired)) << unpaired.size();
    }
    // Where text is shown anyway, each invalid byte is replaced, in one pass.
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(UTF8WithReplacementCharacters("caf\xC3\xA9 \xFF m\xE6\x9C\x88 \xE6\x9C.\xC0\xAF"),
              "caf\xC3\xA9 " + replacement + " m\xE6\x9C\x88 " + replacement + replacement + "." + replacement +
                  replacement);
    // 16 KB of bytes that start no sequence, or start one and break it off.
    const Watchdog watchdog(std::chrono::seconds(10));
    std::string bad;
    std::string repaired;
    for (int i = 0; i < 4096; ++i) {
        bad += "\xFF\xE6\x9C" "a";
        repaired += replacement + replacement + replacement + "a";
    }
    EXPECT_EQ(UTF8WithReplacementCharacters(bad), repaired);
}

TEST(UnicodeTextTest, CatalogNamesKeepDotsAndRefuseWhatHasNoPosixName) {
    EXPECT_EQ(PosixNameFromCatalogName(u"..."), "...");
    EXPECT_EQ(CatalogNameFromPosixName(std::string(256, 'x')), std::nullopt);
    const std::u16string refused[] = {u"a:b", u"", u".", u"..", std::u16string(u"a\0b", 3), u"a\xDC00"};
    for (const auto& name : refused) {
        EXPECT_EQ(PosixNameFromCatalogName(name), std::nullopt) << name.size();
    }
}

}  // namespace
