#include "platform/types/InternetConfig.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdlib>
#include <filesystem>
#include <tuple>

#include "support/TempDir.h"

using namespace corvane;

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
    const std::string xml = Plist(Entry(".pdf", "PDF ", more) + Entry("tiff", "ab"));
    plist_t root = nullptr;
    plist_from_xml(xml.c_str(), static_cast<uint32_t>(xml.size()), &root);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    WriteFile(temp / "binary.plist", std::string(bytes, length));
    std::free(bytes);
    plist_free(root);
    WriteFile(temp / "xml.plist", xml);
    for (const char* name : {"xml.plist", "binary.plist"}) {
        const ICMappingDatabase database = ICReadMappingFile(temp / name);
        EXPECT_EQ(database.fault, ICMappingFault::none);
        ASSERT_EQ(ICCountMapEntries(database), 2) << name;
        const std::optional<ICMapEntry> first = ICGetIndMapEntry(database, 1);
        const std::optional<ICMapEntry> second = ICGetIndMapEntry(database, 2);
        ASSERT_TRUE(first && second) << name;
        EXPECT_EQ(std::tuple(first->extension, first->fileType, first->fileCreator, first->MIMEType, first->entryName),
                  std::tuple(".pdf", FOUR_CHAR_CODE("PDF "), FOUR_CHAR_CODE("CARO"), "application/pdf", "Acrobat"));
        EXPECT_EQ(std::tuple(second->extension, second->fileType, second->fileCreator),
                  std::tuple("tiff", 0x61620000u, 0u));  // a short code is padded with zero bytes
        EXPECT_FALSE(ICGetIndMapEntry(database, 0) || ICGetIndMapEntry(database, 3));
    }
}

TEST(InternetConfigRead, FaultsOfTheFileAndOfSingleEntries) {
    TempDir temp;
    WriteFile(temp / "empty.plist", "");
    WriteFile(temp / "dict.plist", "<plist version=\"1.0\"><dict/></plist>");
    std::filesystem::create_directory(temp / "folder.plist");
    const std::pair<std::string, ICMappingFault> rows[] = {
        {"absent.plist", ICMappingFault::missing},
        {"folder.plist", ICMappingFault::unreadable},
        {"empty.plist", ICMappingFault::notPropertyList},
        {"dict.plist", ICMappingFault::notEntryArray},
    };
    for (const auto& [name, fault] : rows) {
        EXPECT_EQ(ICReadMappingFile(temp / name).fault, fault) << name;
    }
    // Only the first and the last are whole: a type of five bytes, an extension that is no text and a
    // creator that is no text spoil the others.
    WriteFile(temp / "m.plist", Plist(Entry(".a", "AAAA") + Entry(".d", "TOOLONG") +
                                      "<dict><key>extension</key><integer>4</integer><key>file type</key>"
                                      "<string>DDDD</string></dict>\n" +
                                      Entry(".f", "FFFF", "<key>creator</key><true/>") + Entry(".g", "GGGG")));
    const ICMappingDatabase database = ICReadMappingFile(temp / "m.plist");
    ASSERT_EQ(ICCountMapEntries(database), 5);
    for (long index = 1; index <= 5; ++index) {
        EXPECT_EQ(ICGetIndMapEntry(database, index).has_value(), index == 1 || index == 5) << "entry " << index;
    }
}

}  // namespace
