#include "platform/InternetConfig.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdlib>
#include <filesystem>
#include <tuple>

#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace {

std::string Plist(const std::string& arrayBody) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<array>\n" + arrayBody +
           "</array>\n</plist>\n";
}

std::string Entry(const std::string& extension, const std::string& type, const std::string& more = "") {
    return "<dict><key>extension</key><string>" + extension + "</string><key>file type</key><string>" + type +
           "</string>" + more + "</dict>\n";
}

TEST(InternetConfigRead, EntriesInOrderWithTheirCodesFromXmlOrBinaryLists) {
    TempDir temp;
    const std::string more = "<key>creator</key><string>CARO</string><key>MIME type</key><string>application/pdf"
                             "</string><key>entry name</key><string>Acrobat</string>";
    WriteFile(temp / "m.plist", Plist(Entry(".pdf", "PDF ", more) + Entry("tiff", "ab")));
    const ICMappingDatabase database = ICReadMappingFile(temp / "m.plist");
    EXPECT_EQ(database.fault, ICMappingFault::none);
    ASSERT_EQ(ICCountMapEntries(database), 2);
    const std::optional<ICMapEntry> first = ICGetIndMapEntry(database, 1);
    const std::optional<ICMapEntry> second = ICGetIndMapEntry(database, 2);
    ASSERT_TRUE(first && second);
    // A trailing space belongs to the code; a short code is padded with zero bytes.
    EXPECT_EQ(std::tuple(first->extension, first->fileType, first->fileCreator, first->MIMEType, first->entryName),
              std::tuple(".pdf", FOUR_CHAR_CODE("PDF "), FOUR_CHAR_CODE("CARO"), "application/pdf", "Acrobat"));
    EXPECT_EQ(std::tuple(second->extension, second->fileType, second->fileCreator),
              std::tuple("tiff", 0x61620000u, 0u));
    EXPECT_FALSE(ICGetIndMapEntry(database, 0) || ICGetIndMapEntry(database, 3));

    const std::string xml = Plist(Entry(".gif", "GIFf"));
    plist_t root = nullptr;
    plist_from_xml(xml.c_str(), static_cast<uint32_t>(xml.size()), &root);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    WriteFile(temp / "binary.plist", std::string(bytes, length));
    std::free(bytes);
    plist_free(root);
    const std::optional<ICMapEntry> gif = ICGetIndMapEntry(ICReadMappingFile(temp / "binary.plist"), 1);
    ASSERT_TRUE(gif);
    EXPECT_EQ(gif->fileType, FOUR_CHAR_CODE("GIFf"));
}

TEST(InternetConfigRead, FaultsOfTheFileAndOfSingleEntries) {
    TempDir temp;
    WriteFile(temp / "garbage.plist", "this is not a property list");
    WriteFile(temp / "empty.plist", "");
    WriteFile(temp / "dict.plist", "<plist version=\"1.0\"><dict/></plist>");
    std::filesystem::create_directory(temp / "folder.plist");
    std::filesystem::create_symlink(temp / "nowhere", temp / "dangling.plist");
    const std::pair<std::string, ICMappingFault> rows[] = {
        {"absent.plist", ICMappingFault::missing},        {"dangling.plist", ICMappingFault::missing},
        {"folder.plist", ICMappingFault::unreadable},     {"garbage.plist", ICMappingFault::notPropertyList},
        {"empty.plist", ICMappingFault::notPropertyList}, {"dict.plist", ICMappingFault::notEntryArray},
    };
    for (const auto& [name, fault] : rows) {
        const ICMappingDatabase database = ICReadMappingFile(temp / name);
        EXPECT_EQ(database.fault, fault) << name;
        EXPECT_EQ(ICCountMapEntries(database), 0) << name;
    }
    EXPECT_NE(ICReadMappingFile(temp / "folder.plist").readError, noErr);

    // Only the first and the last are whole: no dict, no type, a type of five bytes, an extension
    // that is no text and a creator that is no text spoil the others.
    WriteFile(temp / "m.plist", Plist(Entry(".a", "AAAA") + "<string>.b</string>\n" +
                                      "<dict><key>extension</key><string>.c</string></dict>\n" +
                                      Entry(".d", "TOOLONG") +
                                      "<dict><key>extension</key><integer>4</integer><key>file type</key>"
                                      "<string>DDDD</string></dict>\n" +
                                      Entry(".f", "FFFF", "<key>creator</key><true/>") + Entry(".g", "GGGG")));
    const ICMappingDatabase database = ICReadMappingFile(temp / "m.plist");
    EXPECT_EQ(database.fault, ICMappingFault::none);
    ASSERT_EQ(ICCountMapEntries(database), 7);
    for (long index = 1; index <= 7; ++index) {
        EXPECT_EQ(ICGetIndMapEntry(database, index).has_value(), index == 1 || index == 7) << "entry " << index;
    }
}

TEST(InternetConfigLocate, UserFileWhenPresentEvenBrokenElseTheDefault) {
    TempDir temp;
    ScopedEnvironment environment;
    environment.set("XDG_CONFIG_HOME", temp / "config");
    environment.set("CORVANE_DATA_DIR", temp / "data");
    WriteFile(temp / "data/extension-mapping.plist", Plist(""));
    EXPECT_EQ(ICMappingFilePath(), temp / "data/extension-mapping.plist");
    std::filesystem::create_directories(temp / "config/corvane");
    std::filesystem::create_symlink(temp / "nowhere", temp / "config/corvane/extension-mapping.plist");
    EXPECT_EQ(ICMappingFilePath(), temp / "config/corvane/extension-mapping.plist");
}

}  // namespace
