#include "grouping/ExtensionTypeMap.h"

#include <gtest/gtest.h>

#include "support/LogCapture.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

using namespace corvane;

namespace {

TEST(TypeTextOfCode, Rules) {
    const std::pair<OSType, std::optional<std::string>> rows[] = {{FOUR_CHAR_CODE("PDF "), "PDF "}, {0x41420044, "AB"},
        {0x00414243, ""}, {0xC3A90000, "\xC3\xA9"}, {0x8E414243, std::nullopt}, {0x41C30000, std::nullopt}};
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
    void Map(const std::vector<std::pair<std::string, std::string>>& entries, const std::string& tail = "") {
        std::string plist = "<plist version=\"1.0\"><array>\n";
        for (const auto& [extension, type] : entries) {
            plist += "<dict><key>extension</key><string>" + extension + "</string><key>file type</key><string>" +
                     type + "</string></dict>\n";
        }
        WriteFile(mapping_, plist + tail + "</array></plist>\n");
        InitializeExtensionTypeMap();
    }
    TempDir temp_;
    const std::string mapping_ = temp_ / "config/corvane/extension-mapping.plist";
    ScopedEnvironment environment_;
    const LogCapture log_;
};

TEST_F(ExtensionTypeMapTest, TheShippedDefaultElseTheUserMappingInOrderEvenBroken) {
    InitializeExtensionTypeMap();
    EXPECT_EQ(gExtensionTypeMap["pdf"], "PDF ") << "the shipped default";
    Map({{".txt", "TEXT"}, {".txt", "ttro"}, {".JPG", "JPEG"}, {"tiff", "TIFF"}, {".", "DOT "}, {"..gz", "Gzip"},
         {".zero", ""}}, "<string>.x</string>\n");
    EXPECT_EQ(gExtensionTypeMap, (std::unordered_map<std::string, std::string>{
                                     {"txt", "ttro"}, {"JPG", "JPEG"}, {"tiff", "TIFF"}, {".gz", "Gzip"}}));
    EXPECT_EQ(log_.lines(), std::vector<std::string>{"Extension mapping \"" + mapping_ + "\": entries 5, 7, 8 left "
                                                     "out (no usable \"extension\" or \"file type\")"});
    WriteFile(mapping_, "<plist");
    InitializeExtensionTypeMap();
    EXPECT_TRUE(gExtensionTypeMap.empty()) << "a user mapping that is there, even broken, beats the default";
}

TEST_F(ExtensionTypeMapTest, FinderTypeFirstThenTheLowerCasedExtension) {
    if (!UserXattrsSupported(temp_.path().string())) {
        GTEST_SKIP() << "no user extended attributes here, so no Finder types";
    }
    Map({{".jpg", "JPEG"}, {".pdf", "PDF "}, {".JPEG", "JPEG"}, {".\xC3\xA9t\xC3\xA9", "SUMR"}});
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
