#include "grouping/ExtensionTypeMap.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/LogCapture.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace {

std::string Entry(const std::string& extension, const std::string& type) {
    return "<dict><key>extension</key><string>" + extension + "</string><key>file type</key><string>" + type +
           "</string></dict>\n";
}

TEST(TypeTextOfCode, Rules) {
    // Trailing spaces kept; a zero byte ends the text (the first: empty); bytes not UTF-8 give none.
    const std::pair<OSType, std::optional<std::string>> rows[] = {
        {FOUR_CHAR_CODE("PDF "), "PDF "}, {0x41420044, "AB"},         {0x00414243, ""},
        {0xC3A90000, "\xC3\xA9"},         {0x8E414243, std::nullopt}, {0x41C30000, std::nullopt},
    };
    for (const auto& [code, text] : rows) {
        EXPECT_EQ(TypeTextOfCode(code), text) << std::hex << code;
    }
}

// The user's mapping in a temporary configuration folder; the shipped default from the source tree.
class ExtensionTypeMapTest : public testing::Test {
protected:
    ExtensionTypeMapTest() {
        environment_.set("XDG_CONFIG_HOME", temp_ / "config");
        environment_.set("CORVANE_DATA_DIR", "");
    }
    ~ExtensionTypeMapTest() override { gExtensionTypeMap.clear(); }
    void Map(const std::string& entries) {
        WriteFile(mapping_, "<plist version=\"1.0\"><array>\n" + entries + "</array></plist>\n");
        InitializeExtensionTypeMap();
    }
    TempDir temp_;
    const std::string mapping_ = temp_ / "config/corvane/extension-mapping.plist";
    ScopedEnvironment environment_;
    const LogCapture log_;
};

TEST_F(ExtensionTypeMapTest, EntriesInOrderLaterOnesWinning) {
    Map(Entry(".txt", "TEXT") + Entry(".txt", "ttro") + Entry(".JPG", "JPEG") + Entry("tiff", "TIFF") +
        Entry(".", "DOT ") + Entry("..gz", "Gzip") + Entry(".zero", "") + "<string>.x</string>\n");
    const std::unordered_map<std::string, std::string> expected = {
        {"txt", "ttro"}, {"JPG", "JPEG"}, {"tiff", "TIFF"}, {".gz", "Gzip"}};
    EXPECT_EQ(gExtensionTypeMap, expected);
    EXPECT_EQ(log_.lines(), std::vector<std::string>{"Extension mapping \"" + mapping_ +
                                                     "\": entries 5, 7, 8 left out (no usable \"extension\" or "
                                                     "\"file type\")"});
}

TEST_F(ExtensionTypeMapTest, ShippedDefaultWithoutAUserMappingAndNothingWithABrokenOne) {
    InitializeExtensionTypeMap();
    EXPECT_EQ(gExtensionTypeMap["pdf"], "PDF ");
    std::filesystem::create_directories(temp_ / "config/corvane");
    std::filesystem::create_symlink(temp_ / "nowhere", mapping_);
    InitializeExtensionTypeMap();
    EXPECT_TRUE(gExtensionTypeMap.empty()) << "a user mapping that is there, even broken, beats the default";
    EXPECT_EQ(log_.lines(), std::vector<std::string>{"Extension mapping \"" + mapping_ + "\": no such file"});
}

TEST_F(ExtensionTypeMapTest, FinderTypeFirstThenTheLowerCasedExtension) {
    if (!UserXattrsSupported(temp_.path().string())) {
        GTEST_SKIP() << "no user extended attributes here, so no Finder types";
    }
    Map(Entry(".jpg", "JPEG") + Entry(".pdf", "PDF ") + Entry(".JPEG", "JPEG") + Entry(".\xC3\xA9t\xC3\xA9", "SUMR"));
    // A capitalised mapping entry is never matched; a Finder type with text, even empty, beats the extension.
    const std::optional<std::string> none;
    const std::tuple<std::string, std::optional<std::string>, std::optional<std::string>> rows[] = {
        {"photo.JPG", none, "JPEG"},     {"picture.JPEG", none, none}, {"summer.\xC3\x89T\xC3\x89", none, "SUMR"},
        {"a.pdf", "TEXT", "TEXT"},       {"c.pdf", std::string("\0ABC", 4), ""},
        {"d.pdf", "\x8E" "ABC", "PDF "}, {"e.jpg", std::string(4, '\0'), "JPEG"},
    };
    for (const auto& [name, finderType, type] : rows) {
        WriteFile(temp_ / name, "x");
        if (finderType) {
            SetXattr(temp_ / name, "user.com.apple.FinderInfo", *finderType + std::string(28, '\0'));
        }
        FSRef ref{};
        ASSERT_EQ(FSPathMakeRef((temp_ / name).c_str(), &ref, nullptr), noErr) << name;
        EXPECT_EQ(FSGetType(&ref), type) << name;
    }
}

}  // namespace
