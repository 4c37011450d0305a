#include "platform/CFURL.h"

#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "tests/platform/FilesTestSupport.h"

namespace {

TEST(CFURLTest, PathExtensionIsTheTextAfterTheLastDotOfTheLastName) {
    struct Row {
        const char* path;
        std::optional<std::string> extension;
    };
    const Row rows[] = {
        {"/a/report.txt", "txt"},
        {"/a/archive.tar.gz", "gz"},
        {"/a/Photo.JPG", "JPG"},
        {"/a/README", std::nullopt},
        {"/a/.profile", "profile"},
        {"/a/.config.old", "old"},
        {"/a/ends.", std::nullopt},
        {"/a.d/plain", std::nullopt},
        {"/", std::nullopt},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CFURLCopyPathExtension(CFURL{row.path, false}), row.extension) << row.path;
    }
}

TEST(CFURLTest, FromReference) {
    const TempDir dir;
    WriteFile(dir / "folder/file.txt", "");
    const FSRef folder = EntryRef(dir / "folder");
    const FSRef file = EntryRef(dir / "folder/file.txt");
    const auto folderURL = CFURLCreateFromFSRef(&folder);
    const auto fileURL = CFURLCreateFromFSRef(&file);
    ASSERT_TRUE(folderURL && fileURL);
    EXPECT_TRUE(CFURLHasDirectoryPath(*folderURL));
    EXPECT_FALSE(CFURLHasDirectoryPath(*fileURL));
    EXPECT_EQ(fileURL->path, folderURL->path + "/file.txt");
    EXPECT_EQ(CFURLCopyPathExtension(*fileURL), "txt");
}

TEST(CFURLTest, NoURLWithoutAValidUtf8Path) {
    const TempDir dir;
    WriteFile(dir / "caf\xE9", "");
    WriteFile(dir / "gone", "");
    const FSRef bad = EntryRef(dir / "caf\xE9");
    const FSRef gone = EntryRef(dir / "gone");
    unlink((dir / "gone").c_str());
    EXPECT_FALSE(CFURLCreateFromFSRef(&bad));
    EXPECT_FALSE(CFURLCreateFromFSRef(&gone));
    const FSRef zero{};
    EXPECT_FALSE(CFURLCreateFromFSRef(&zero));
}

}  // namespace
