#include "grouping/ExtensionTypeMap.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/LogCapture.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace {

std::string Plist(const std::string& arrayBody) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<array>\n" + arrayBody +
           "</array>\n</plist>\n";
}

std::string Entry(const std::string& extension, const std::string& type) {
    return "<dict><key>extension</key><string>" + extension + "</string><key>file type</key><string>" + type +
           "</string></dict>\n";
}

// The 32 bytes of user.com.apple.FinderInfo with the file type in its first word, big-endian.
std::string FinderInfoWithType(OSType type) {
    std::string bytes(32, '\0');
    for (int i = 0; i < 4; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<char>((type >> (24 - 8 * i)) & 0xFF);
    }
    return bytes;
}

TEST(TypeTextOfCode, Rules) {
    const struct {
        OSType code;
        std::optional<std::string> text;
        const char* proves;
    } rows[] = {
        {FOUR_CHAR_CODE("TEXT"), "TEXT", "four letters"},
        {FOUR_CHAR_CODE("PDF "), "PDF ", "a trailing space is kept"},
        {0x41420044, "AB", "a zero byte ends the text"},
        {0x00414243, "", "a zero first byte gives the empty text"},
        {0, "", "no code at all is empty too"},
        {0xC3A90000, "\xC3\xA9", "UTF-8 beyond ASCII"},
        {0x8E414243, std::nullopt, "a byte that is not UTF-8 gives no text"},
        {0x41C30000, std::nullopt, "a cut-off sequence gives no text"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(TypeTextOfCode(row.code), row.text) << row.proves;
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
    WriteFile(UserMapping(), Plist(Entry(".txt", "TEXT") +   // 1
                                   Entry(".txt", "ttro") +   // 2 replaces 1
                                   Entry(".JPG", "JPEG") +   // 3 kept as written
                                   Entry("tiff", "TIFF") +   // 4 no dot needed
                                   Entry(".", "DOT ") +      // 5 nothing left: out
                                   Entry("..gz", "Gzip") +   // 6 one dot only is removed
                                   Entry(".zero", "") +      // 7 no type: out
                                   "<string>.x</string>\n" + // 8 not an entry: out
                                   Entry(".pdf", "PDF ")));  // 9
    LogCapture log;
    InitializeExtensionTypeMap();

    const std::unordered_map<std::string, std::string> expected = {
        {"txt", "ttro"}, {"JPG", "JPEG"}, {"tiff", "TIFF"}, {".gz", "Gzip"}, {"pdf", "PDF "}};
    EXPECT_EQ(gExtensionTypeMap, expected);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], "Extension mapping \"" + UserMapping() +
                                  "\": entries 5, 7, 8 left out (no usable \"extension\" or \"file type\")");
}

TEST_F(ExtensionTypeMapTest, FaultsAreLoggedOnceAndLeaveTheMapEmpty) {
    const struct {
        std::string content;  // empty: a link to nothing
        std::string problem;
    } rows[] = {
        {"", "no such file"},
        {"not a property list at all", "not a property list"},
        {"<plist version=\"1.0\"><dict/></plist>", "not an array of mapping entries"},
    };
    for (const auto& row : rows) {
        std::filesystem::remove_all(temp_ / "config");
        if (row.content.empty()) {
            std::filesystem::create_directories(temp_ / "config/corvane");
            std::filesystem::create_symlink(temp_ / "nowhere", UserMapping());
        } else {
            WriteFile(UserMapping(), row.content);
        }
        gExtensionTypeMap = {{"stale", "OLD "}};
        LogCapture log;
        InitializeExtensionTypeMap();
        EXPECT_TRUE(gExtensionTypeMap.empty()) << row.problem;
        EXPECT_EQ(log.lines(), std::vector<std::string>{"Extension mapping \"" + UserMapping() + "\": " + row.problem});
    }
}

TEST_F(ExtensionTypeMapTest, ShippedDefaultWhenTheUserHasNone) {
    LogCapture log;
    InitializeExtensionTypeMap();

    EXPECT_TRUE(log.lines().empty()) << log.lines().front();
    EXPECT_GE(gExtensionTypeMap.size(), 90u);
    const std::pair<const char*, const char*> samples[] = {
        {"pdf", "PDF "}, {"jpg", "JPEG"}, {"txt", "TEXT"}, {"zip", "ZIP "}, {"sit", "SIT!"}, {"class", "Clss"}};
    for (const auto& [extension, type] : samples) {
        EXPECT_EQ(gExtensionTypeMap[extension], type) << extension;
    }
}

class FSGetTypeTest : public ExtensionTypeMapTest {
protected:
    void SetUp() override {
        WriteFile(UserMapping(), Plist(Entry(".jpg", "JPEG") + Entry(".pdf", "PDF ") + Entry(".JPEG", "JPEG") +
                                       Entry(".\xC3\xA9t\xC3\xA9", "SUMR")));
        InitializeExtensionTypeMap();
    }

    std::optional<std::string> TypeOf(const std::string& name) {
        FSRef ref{};
        if (FSPathMakeRef((temp_ / name).c_str(), &ref, nullptr) != noErr) {
            ADD_FAILURE() << "no reference for " << name;
            return std::nullopt;
        }
        return FSGetType(&ref);
    }
};

TEST_F(FSGetTypeTest, ExtensionsAreLookedUpInLowerCase) {
    for (const char* name : {"photo.jpg", "photo.JPG", "report.Pdf", "picture.JPEG", "notes", "summer.\xC3\x89T\xC3\x89"}) {
        WriteFile(temp_ / name, "x");
    }
    EXPECT_EQ(TypeOf("photo.jpg"), "JPEG");
    EXPECT_EQ(TypeOf("photo.JPG"), "JPEG");
    EXPECT_EQ(TypeOf("report.Pdf"), "PDF ");
    EXPECT_EQ(TypeOf("picture.JPEG"), std::nullopt) << "a capitalised mapping entry is never matched";
    EXPECT_EQ(TypeOf("notes"), std::nullopt);
    EXPECT_EQ(TypeOf("summer.\xC3\x89T\xC3\x89"), "SUMR") << "lower case beyond ASCII";
}

TEST_F(FSGetTypeTest, FinderTypeComesFirst) {
    if (!UserXattrsSupported(temp_.path().string())) {
        GTEST_SKIP() << "this file system takes no user extended attributes";
    }
    const struct {
        const char* name;
        OSType finderType;
        std::optional<std::string> type;
        const char* proves;
    } rows[] = {
        {"a.pdf", FOUR_CHAR_CODE("TEXT"), "TEXT", "the Finder type beats the extension"},
        {"b", FOUR_CHAR_CODE("APPL"), "APPL", "no extension needed"},
        {"c.pdf", 0x00414243, "", "a zero first byte gives the empty type, which is returned"},
        {"d.pdf", 0x8E414243, "PDF ", "a type without text leaves it to the extension"},
        {"e.jpg", 0, "JPEG", "no Finder type: the extension decides"},
        {"f", 0x8E414243, std::nullopt, "neither gives a type"},
    };
    for (const auto& row : rows) {
        WriteFile(temp_ / row.name, "x");
        SetXattr(temp_ / row.name, "user.com.apple.FinderInfo", FinderInfoWithType(row.finderType));
        EXPECT_EQ(TypeOf(row.name), row.type) << row.proves;
    }
}

}  // namespace
