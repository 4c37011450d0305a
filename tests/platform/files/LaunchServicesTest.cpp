#include "platform/files/LaunchServices.h"

#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "platform/types/PackageExtensions.h"
#include "support/FilesTestSupport.h"

using namespace corvane;

namespace {

TEST(PackageExtensionsTest, ParsedListIsTheBuiltInOneAndHoldsTheCommonBundles) {
    EXPECT_EQ(ParsePackageExtensions("# comment\napp\n  Bundle  # trailing\n\n.rtfd\r\nAppDir\n"),
              (std::set<std::string, std::less<>>{"app", "bundle", "rtfd", "appdir"}));
    EXPECT_EQ(ParsePackageExtensions(BuiltInPackageExtensions()),
              ParsePackageExtensions(ReadFile(CORVANE_SOURCE_DIR "/packaging/package-extensions")));
    for (const auto& [extension, package] : {std::pair{"APP", true}, {"framework", true}, {"xcodeproj", true},
                                             {"AppDir", true}, {"lproj", false}, {"", false}}) {
        EXPECT_EQ(IsPackageExtension(extension), package) << extension;
    }
}

TEST(LaunchServicesTest, PlainFoldersPackagesFilesAndLinks) {
    const TempDir dir;
    for (const char* name : {"Folder", "Tool.app", "Notes.RTFD", "English.lproj", ".app", "Bundled"}) {
        std::filesystem::create_directory(dir / name);
    }
    WriteFile(dir / "file.app", "");
    symlink("Folder", (dir / "link.app").c_str());
    const bool xattrs = UserXattrsSupported(dir.path());
    if (xattrs) {
        const char flags = static_cast<char>(kHasBundle >> 8);
        SetXattr(dir / "Bundled", "user.com.apple.FinderInfo", std::string(8, '\0') + flags + std::string(23, '\0'));
    }
    const LSItemInfoFlags folder = kLSItemInfoIsContainer;
    const LSItemInfoFlags package = kLSItemInfoIsContainer | kLSItemInfoIsPackage;
    const std::pair<std::string, LSItemInfoFlags> rows[] = {
        {"Folder", folder}, {"Tool.app", package}, {"Notes.RTFD", package}, {"English.lproj", folder},
        {".app", folder},  // a name that only begins with a dot has no extension
        {"Bundled", xattrs ? package : folder},  // kHasBundle in its Finder flags
        {"file.app", kLSItemInfoIsPlainFile}, {"link.app", kLSItemInfoIsSymlink}, {"/", folder},
    };
    for (const auto& [name, expected] : rows) {
        LSItemInfoRecord info{};
        const FSRef ref = EntryRef(name == "/" ? name : dir / name);
        EXPECT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestAllFlags, &info), noErr) << name;
        EXPECT_EQ(name == "/" ? info.flags & package : info.flags, expected) << name;
    }
}

}  // namespace
