// The invisibility and plain-folder tests of items, on real folders.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>

#include "fileops/ItemTests.h"
#include "support/FilesTestSupport.h"
#include "support/TempDir.h"

using namespace corvane;

namespace {

// The Finder information attribute as the original platform stores it: big-endian, flags at bytes 8-9.
std::string FinderInfoWithFlags(std::uint16_t flags, const char* type = "\0\0\0\0") {
    std::string info(32, '\0');
    std::memcpy(info.data(), type, 4);
    info[8] = static_cast<char>(flags >> 8);
    info[9] = static_cast<char>(flags & 0xFF);
    return info;
}

}  // namespace

TEST(ItemTests, InvisibilityRules) {
    TempDir dir;
    if (!UserXattrsSupported(dir.path())) {
        GTEST_SKIP() << "this file system takes no user extended attributes";
    }
    WriteFile(dir / "Folder/.dotfile", "x");
    WriteFile(dir / "Folder/flagged.txt", "x");
    WriteFile(dir / "Folder/plain.txt", "x");
    mkdir((dir / "Folder/FlaggedFolder").c_str(), 0755);
    mkdir((dir / "Folder/.dotfolder").c_str(), 0755);
    SetXattr(dir / "Folder/flagged.txt", "user.com.apple.FinderInfo", FinderInfoWithFlags(kIsInvisible));
    SetXattr(dir / "Folder/FlaggedFolder", "user.com.apple.FinderInfo", FinderInfoWithFlags(kIsInvisible));
    const struct {
        const char* name;
        bool invisible;
    } rows[] = {
        {".dotfile", true}, {"flagged.txt", true}, {"plain.txt", false}, {"FlaggedFolder", false}, {".dotfolder", true},
    };
    for (const auto& row : rows) {
        const FSRef item = EntryRef(dir / (std::string("Folder/") + row.name));
        EXPECT_EQ(IsInvisible(&item), row.invisible) << row.name;
    }
}
