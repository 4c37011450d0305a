#include "grouping/ExtensionTypeMap.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/LogCapture.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace {

std::string Plist(const std::string& arrayBody) {
    return "<plist version=\"1.0\"><array>\n" + arrayBody + "</array></plist>\n";
}

std::string Entry(const std::string& extension, const std::string& type) {
    return "<dict><key>extension</key><string>" + extension + "</string><key>file type</key><string>" + type +
           "</string></dict>\n";
}

TEST(TypeTextOfCode, Rules) {
    // Trailing spaces are kept, a zero byte ends the text (the first: empty), UTF-8 beyond ASCII is
    // text, and a byte that is not UTF-8 or a cut-off sequence gives none.
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
    std::string UserMapping() const { return temp_ / "config/corvane/extension-mapping.plist"; }
    TempDir temp_;
    ScopedEnvironment environment_;
};

TEST_F(ExtensionTypeMapTest, EntriesInOrderLaterOnesWinning) {
    WriteFile(UserMapping(), Plist(Entry(".txt", "TEXT") + Entry(".txt", "ttro") + Entry(".JPG", "JPEG") +
                                   Entry("tiff", "TIFF") + Entry(".", "DOT ") + Entry("..gz", "Gzip") +
                                   Entry(".zero", "") + "<string>.x</string>\n" + Entry(".pdf", "PDF ")));
    LogCapture log;
    InitializeExtensionTypeMap();
    const std::unordered_map<std::string, std::string> expected = {
        {"txt", "ttro"}, {"JPG", "JPEG"}, {"tiff", "TIFF"}, {".gz", "Gzip"}, {"pdf", "PDF "}};
    EXPECT_EQ(gExtensionTypeMap, expected);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"Extension mapping \"" + UserMapping() +
                                                    "\": entries 5, 7, 8 left out (no usable \"extension\" or "
                                                    "\"file type\")"});
}

TEST_F(ExtensionTypeMapTest, ShippedDefaultWithoutAUserMappingAndNothingWithABrokenOne) {
    const LogCapture quiet;
    InitializeExtensionTypeMap();
    EXPECT_TRUE(quiet.lines().empty());
    EXPECT_GE(gExtensionTypeMap.size(), 90u);
    for (const auto& [extension, type] : {std::pair{"pdf", "PDF "}, {"jpg", "JPEG"}, {"sit", "SIT!"}}) {
        EXPECT_EQ(gExtensionTypeMap[extension], type) << extension;
    }
    const std::pair<std::string, std::string> rows[] = {
        {"", "no such file"},  // a link to nothing
        {"not a property list at all", "not a property list"},
        {"<plist version=\"1.0\"><dict/></plist>", "not an array of mapping entries"},
    };
    for (const auto& [content, problem] : rows) {
        std::filesystem::remove_all(temp_ / "config");
        WriteFile(UserMapping(), content);
        if (content.empty()) {
            std::filesystem::remove(UserMapping());
            std::filesystem::create_symlink(temp_ / "nowhere", UserMapping());
        }
        LogCapture log;
        InitializeExtensionTypeMap();
        EXPECT_TRUE(gExtensionTypeMap.empty()) << problem;
        EXPECT_EQ(log.lines(), std::vector<std::string>{"Extension mapping \"" + UserMapping() + "\": " + problem});
    }
}

TEST_F(ExtensionTypeMapTest, FinderTypeFirstThenTheLowerCasedExtension) {
    WriteFile(UserMapping(), Plist(Entry(".jpg", "JPEG") + Entry(".pdf", "PDF ") + Entry(".JPEG", "JPEG") +
                                   Entry(".\xC3\xA9t\xC3\xA9", "SUMR")));
    InitializeExtensionTypeMap();
    const bool xattrs = UserXattrsSupported(temp_.path().string());
    // A capitalised mapping entry is never matched; the Finder type, the empty one included, beats the
    // extension, and a Finder type without text leaves it to the extension.
    const std::optional<std::string> none;
    const std::tuple<std::string, std::optional<std::string>, std::optional<std::string>> rows[] = {
        {"photo.JPG", none, "JPEG"}, {"report.Pdf", none, "PDF "}, {"picture.JPEG", none, none}, {"notes", none, none},
        {"summer.\xC3\x89T\xC3\x89", none, "SUMR"}, {"a.pdf", "TEXT", "TEXT"}, {"b", "APPL", "APPL"},
        {"c.pdf", std::string("\0ABC", 4), ""}, {"d.pdf", "\x8E" "ABC", "PDF "},
        {"e.jpg", std::string(4, '\0'), "JPEG"}, {"f", "\x8E" "ABC", none},
    };
    for (const auto& [name, finderType, type] : rows) {
        if (finderType && !xattrs) {
            continue;
        }
        WriteFile(temp_ / name, "x");
        if (finderType) {
            SetXattr(temp_ / name, "user.com.apple.FinderInfo", *finderType + std::string(28, '\0'));
        }
        FSRef ref{};
        ASSERT_EQ(FSPathMakeRef((temp_ / name).c_str(), &ref, nullptr), noErr) << name;
        EXPECT_EQ(FSGetType(&ref), type) << name;
    }
    if (!xattrs) {
        GTEST_SKIP() << "no user extended attributes here, so no Finder types";
    }
}

}  // namespace
