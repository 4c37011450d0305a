#include "platform/files/CFURL.h"

#include <string>

#include <gtest/gtest.h>

#include "support/FilesTestSupport.h"

using namespace corvane;

namespace {

TEST(CFURLTest, PathExtensionIsTheTextAfterTheLastDotOfTheLastName) {
    const std::pair<const char*, std::optional<std::string>> rows[] = {
        {"/a/archive.tar.gz", "gz"}, {"/a/Photo.JPG", "JPG"}, {"/a/README", std::nullopt},
        {"/a/.profile", "profile"},  {"/a/ends.", std::nullopt}, {"/a.d/plain", std::nullopt}, {"/", std::nullopt},
    };
    for (const auto& [path, extension] : rows) {
        EXPECT_EQ(CFURLCopyPathExtension(CFURL{path, false}), extension) << path;
    }
}

TEST(CFURLTest, FromAReferenceWithAValidUtf8Path) {
    const TempDir dir;
    WriteFile(dir / "folder/file.txt", "");
    WriteFile(dir / "caf\xE9", "");
    const FSRef folder = EntryRef(dir / "folder");
    const FSRef file = EntryRef(dir / "folder/file.txt");
    const FSRef bad = EntryRef(dir / "caf\xE9");
    const FSRef zero{};
    const auto folderURL = CFURLCreateFromFSRef(&folder);
    const auto fileURL = CFURLCreateFromFSRef(&file);
    ASSERT_TRUE(folderURL && fileURL);
    EXPECT_TRUE(CFURLHasDirectoryPath(*folderURL));
    EXPECT_FALSE(CFURLHasDirectoryPath(*fileURL));
    EXPECT_EQ(fileURL->path, folderURL->path + "/file.txt");
    EXPECT_FALSE(CFURLCreateFromFSRef(&bad));
    EXPECT_FALSE(CFURLCreateFromFSRef(&zero));
}

}  // namespace
