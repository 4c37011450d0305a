#include "platform/InternetConfig.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdlib>
#include <filesystem>

#include "platform/DataFiles.h"
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

TEST(InternetConfigRead, EntriesInOrderWithTheirCodes) {
    TempDir temp;
    WriteFile(temp / "m.plist",
              Plist("<dict><key>extension</key><string>.pdf</string><key>file type</key><string>PDF </string>"
                    "<key>creator</key><string>CARO</string><key>MIME type</key><string>application/pdf</string>"
                    "<key>entry name</key><string>Acrobat</string></dict>\n" +
                    Entry("tiff", "ab")));
    const ICMappingDatabase database = ICReadMappingFile(temp / "m.plist");

    EXPECT_EQ(database.fault, ICMappingFault::none);
    ASSERT_EQ(ICCountMapEntries(database), 2);
    const std::optional<ICMapEntry> first = ICGetIndMapEntry(database, 1);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->extension, ".pdf");
    EXPECT_EQ(first->fileType, FOUR_CHAR_CODE("PDF ")) << "the trailing space belongs to the code";
    EXPECT_EQ(first->fileCreator, FOUR_CHAR_CODE("CARO"));
    EXPECT_EQ(first->MIMEType, "application/pdf");
    EXPECT_EQ(first->entryName, "Acrobat");
    const std::optional<ICMapEntry> second = ICGetIndMapEntry(database, 2);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->extension, "tiff");
    EXPECT_EQ(second->fileType, 0x61620000u) << "a short code is padded with zero bytes";
    EXPECT_EQ(second->fileCreator, 0u);
    EXPECT_FALSE(ICGetIndMapEntry(database, 0));
    EXPECT_FALSE(ICGetIndMapEntry(database, 3));
}

TEST(InternetConfigRead, BinaryPropertyLists) {
    TempDir temp;
    plist_t root = plist_new_array();
    plist_t entry = plist_new_dict();
    plist_dict_set_item(entry, "extension", plist_new_string(".gif"));
    plist_dict_set_item(entry, "file type", plist_new_string("GIFf"));
    plist_array_append_item(root, entry);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    WriteFile(temp / "m.plist", std::string(bytes, length));
    std::free(bytes);
    plist_free(root);

    const ICMappingDatabase database = ICReadMappingFile(temp / "m.plist");
    ASSERT_EQ(ICCountMapEntries(database), 1);
    ASSERT_TRUE(ICGetIndMapEntry(database, 1));
    EXPECT_EQ(ICGetIndMapEntry(database, 1)->fileType, FOUR_CHAR_CODE("GIFf"));
}

TEST(InternetConfigRead, FaultsOfTheFile) {
    TempDir temp;
    WriteFile(temp / "garbage.plist", "this is not a property list");
    WriteFile(temp / "empty.plist", "");
    WriteFile(temp / "dict.plist", "<plist version=\"1.0\"><dict/></plist>");
    std::filesystem::create_directory(temp / "folder.plist");
    std::filesystem::create_symlink(temp / "nowhere", temp / "dangling.plist");

    const struct {
        std::string name;
        ICMappingFault fault;
    } rows[] = {
        {"absent.plist", ICMappingFault::missing},        {"dangling.plist", ICMappingFault::missing},
        {"folder.plist", ICMappingFault::unreadable},     {"garbage.plist", ICMappingFault::notPropertyList},
        {"empty.plist", ICMappingFault::notPropertyList}, {"dict.plist", ICMappingFault::notEntryArray},
    };
    for (const auto& row : rows) {
        const ICMappingDatabase database = ICReadMappingFile(temp / row.name);
        EXPECT_EQ(database.fault, row.fault) << row.name;
        EXPECT_EQ(database.path, temp / row.name);
        EXPECT_EQ(ICCountMapEntries(database), 0) << row.name;
    }
    EXPECT_NE(ICReadMappingFile(temp / "folder.plist").readError, noErr);
}

TEST(InternetConfigRead, MalformedEntriesAreCountedButNotRead) {
    TempDir temp;
    WriteFile(temp / "m.plist",
              Plist(Entry(".a", "AAAA") +                                                      // 1 fine
                    "<string>.b</string>\n" +                                                  // 2 not a dict
                    "<dict><key>extension</key><string>.c</string></dict>\n" +                  // 3 no type
                    Entry(".d", "TOOLONG") +                                                   // 4 five bytes and more
                    "<dict><key>extension</key><integer>4</integer><key>file type</key><string>DDDD</string>"
                    "</dict>\n" +                                                              // 5 extension not text
                    "<dict><key>extension</key><string>.f</string><key>file type</key><string>FFFF</string>"
                    "<key>creator</key><true/></dict>\n" +                                     // 6 bad creator
                    Entry(".g", "GGGG")));                                                     // 7 fine
    const ICMappingDatabase database = ICReadMappingFile(temp / "m.plist");

    EXPECT_EQ(database.fault, ICMappingFault::none);
    ASSERT_EQ(ICCountMapEntries(database), 7);
    for (long index = 1; index <= 7; ++index) {
        EXPECT_EQ(ICGetIndMapEntry(database, index).has_value(), index == 1 || index == 7) << "entry " << index;
    }
}

TEST(InternetConfigLocate, UserFileWhenPresentElseTheShippedDefault) {
    TempDir temp;
    ScopedEnvironment environment;
    environment.set("XDG_CONFIG_HOME", temp / "config");
    environment.set("CORVANE_DATA_DIR", temp / "data");
    WriteFile(temp / "data/extension-mapping.plist", Plist(""));

    EXPECT_EQ(ICMappingFilePath(), temp / "data/extension-mapping.plist");

    // Present but broken is still the user's: it is read, not passed over.
    std::filesystem::create_directories(temp / "config/corvane");
    std::filesystem::create_symlink(temp / "nowhere", temp / "config/corvane/extension-mapping.plist");
    EXPECT_EQ(ICMappingFilePath(), temp / "config/corvane/extension-mapping.plist");
}

TEST(InternetConfigDefault, ShippedMappingReadsWhole) {
    ScopedEnvironment environment;
    environment.set("CORVANE_DATA_DIR", "");
    const std::optional<std::string> path = FindDataFile("extension-mapping.plist");
    ASSERT_TRUE(path) << "the default mapping is not found beside the program or in the source tree";
    const ICMappingDatabase database = ICReadMappingFile(*path);

    ASSERT_EQ(database.fault, ICMappingFault::none);
    EXPECT_GE(ICCountMapEntries(database), 90);
    bool sawPdf = false;
    for (long index = 1; index <= ICCountMapEntries(database); ++index) {
        const std::optional<ICMapEntry> entry = ICGetIndMapEntry(database, index);
        ASSERT_TRUE(entry) << "entry " << index;
        EXPECT_TRUE(entry->extension.starts_with('.')) << entry->extension;
        EXPECT_NE(entry->fileType, 0u) << entry->extension;
        if (entry->extension == ".pdf") {
            sawPdf = true;
            EXPECT_EQ(entry->fileType, FOUR_CHAR_CODE("PDF "));
            EXPECT_EQ(entry->fileCreator, FOUR_CHAR_CODE("CARO"));
        }
    }
    EXPECT_TRUE(sawPdf);
}

}  // namespace
