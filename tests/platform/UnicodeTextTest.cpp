#include "platform/UnicodeText.h"

#include <gtest/gtest.h>

namespace {

struct Utf8Case {
    const char* why;
    std::string bytes;
    std::optional<std::u16string> utf16;
};

TEST(UnicodeTextTest, DecodesOnlyStrictUtf8) {
    const Utf8Case cases[] = {
        {"ASCII", "report.txt", u"report.txt"},
        {"two-byte letter", "caf\xC3\xA9", u"caf\u00E9"},
        {"three-byte letter", "\xE6\x9C\x88", u"\u6708"},
        {"four-byte letter becomes a surrogate pair", "\xF0\x9F\x93\x81", u"\U0001F4C1"},
        {"empty", "", u""},
        {"lone continuation byte", "\x80", std::nullopt},
        {"Latin-1 byte", "caf\xE9", std::nullopt},
        {"truncated sequence", "\xE6\x9C", std::nullopt},
        {"overlong slash", "\xC0\xAF", std::nullopt},
        {"overlong three-byte form", "\xE0\x80\xAF", std::nullopt},
        {"encoded surrogate", "\xED\xA0\x80", std::nullopt},
        {"past U+10FFFF", "\xF4\x90\x80\x80", std::nullopt},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(UTF16FromUTF8(row.bytes), row.utf16) << row.why;
        if (row.utf16) {
            EXPECT_EQ(UTF8FromUTF16(*row.utf16), row.bytes) << row.why << " (back)";
        }
    }
}

TEST(UnicodeTextTest, RefusesUnpairedSurrogates) {
    EXPECT_FALSE(UTF8FromUTF16(std::u16string(1, char16_t(0xD800))));
    EXPECT_FALSE(UTF8FromUTF16(std::u16string(1, char16_t(0xDC00))));
    EXPECT_FALSE(UTF8FromUTF16(std::u16string{char16_t(0xD800), u'a'}));
}

TEST(UnicodeTextTest, CatalogNamesSwapSlashAndColon) {
    EXPECT_EQ(CatalogNameFromPosixName("image:jpeg"), u"image/jpeg");
    EXPECT_EQ(PosixNameFromCatalogName(u"image/jpeg"), "image:jpeg");
    EXPECT_EQ(CatalogNameFromPosixName("a:b:c"), u"a/b/c");
}

TEST(UnicodeTextTest, CatalogNameLimits) {
    EXPECT_EQ(CatalogNameFromPosixName(std::string(255, 'x'))->size(), 255U) << "255 units fit";
    EXPECT_FALSE(CatalogNameFromPosixName(std::string(256, 'x'))) << "256 units do not";
    std::string wide;
    for (int i = 0; i < 85; ++i) {
        wide += "\xE6\x9C\x88";
    }
    EXPECT_EQ(CatalogNameFromPosixName(wide)->size(), 85U) << "a 255-byte name of 85 letters";
    EXPECT_FALSE(CatalogNameFromPosixName("bad\xFFname")) << "not UTF-8: no catalog name";
}

TEST(UnicodeTextTest, CatalogNamesWithoutPosixForm) {
    const std::u16string refused[] = {u"a:b", u"", u".", u"..", std::u16string(u"a\0b", 3),
                                      std::u16string{u'a', char16_t(0xDC00)}};
    for (const auto& name : refused) {
        EXPECT_FALSE(PosixNameFromCatalogName(name)) << name.size();
    }
    EXPECT_EQ(PosixNameFromCatalogName(u"..."), "...");
    EXPECT_EQ(PosixNameFromCatalogName(u".hidden"), ".hidden");
}

}  // namespace
