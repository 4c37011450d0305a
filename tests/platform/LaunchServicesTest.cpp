#include "platform/LaunchServices.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/PackageExtensions.h"
#include "support/TempDir.h"
#include "tests/platform/FilesTestSupport.h"

namespace {

LSItemInfoFlags FlagsOf(const std::string& path) {
    LSItemInfoRecord info{};
    const FSRef ref = EntryRef(path);
    EXPECT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestAllFlags, &info), noErr) << path;
    return info.flags;
}

bool IsPlainFolder(LSItemInfoFlags flags) {
    return (flags & kLSItemInfoIsContainer) != 0 && (flags & kLSItemInfoIsPackage) == 0;
}

TEST(PackageExtensionsTest, ParsesTheListFormat) {
    const auto extensions = ParsePackageExtensions("# comment\napp\n  Bundle  # trailing\n\n.rtfd\r\nAppDir\n");
    EXPECT_EQ(extensions, (std::set<std::string, std::less<>>{"app", "bundle", "rtfd", "appdir"}));
}

TEST(PackageExtensionsTest, BuiltInListIsTheShippedList) {
    EXPECT_EQ(ParsePackageExtensions(BuiltInPackageExtensions()),
              ParsePackageExtensions(ReadFile(CORVANE_SOURCE_DIR "/packaging/package-extensions")));
}

TEST(PackageExtensionsTest, ShippedListHoldsTheCommonBundles) {
    for (const char* extension : {"app", "APP", "bundle", "framework", "plugin", "kext", "rtfd", "pkg", "mpkg",
                                  "xcodeproj", "xcworkspace", "photoslibrary", "pages", "numbers", "key", "AppDir",
                                  "prefPane", "qlgenerator", "mdimporter", "saver", "wdgt"}) {
        EXPECT_TRUE(IsPackageExtension(extension)) << extension;
    }
    for (const char* extension : {"lproj", "txt", "d", ""}) {
        EXPECT_FALSE(IsPackageExtension(extension)) << extension;
    }
}

class LaunchServicesTest : public ::testing::Test {
protected:
    TempDir dir_;
};

TEST_F(LaunchServicesTest, PlainFoldersAndPackages) {
    const bool xattrs = UserXattrsSupported(dir_.path());
    struct Row {
        const char* name;
        bool folder;
        bool packageByFlag;
        LSItemInfoFlags expected;
        const char* why;
    };
    const Row rows[] = {
        {"Folder", true, false, kLSItemInfoIsContainer, "an ordinary folder is plain"},
        {"Tool.app", true, false, kLSItemInfoIsContainer | kLSItemInfoIsPackage, "an application bundle"},
        {"Notes.RTFD", true, false, kLSItemInfoIsContainer | kLSItemInfoIsPackage, "extension in any case"},
        {"Thing.AppDir", true, false, kLSItemInfoIsContainer | kLSItemInfoIsPackage, "an AppImage folder"},
        {"English.lproj", true, false, kLSItemInfoIsContainer, "a localization folder is plain"},
        {".app", true, false, kLSItemInfoIsContainer, "a name that only begins with a dot has no extension"},
        {"Bundled", true, true, kLSItemInfoIsContainer | kLSItemInfoIsPackage, "kHasBundle in the Finder flags"},
        {"file.app", false, false, kLSItemInfoIsPlainFile, "a file is never a container"},
    };
    for (const auto& row : rows) {
        if (row.packageByFlag && !xattrs) {
            continue;
        }
        const std::string path = dir_ / row.name;
        if (row.folder) {
            std::filesystem::create_directory(path);
        } else {
            WriteFile(path, "");
        }
        if (row.packageByFlag) {
            std::string finderInfo(32, '\0');
            finderInfo[8] = static_cast<char>(kHasBundle >> 8);
            SetXattr(path, "user.com.apple.FinderInfo", finderInfo);
        }
        EXPECT_EQ(FlagsOf(path), row.expected) << row.why;
    }
}

TEST_F(LaunchServicesTest, LinkToAFolderIsNoContainer) {
    std::filesystem::create_directory(dir_ / "Folder");
    symlink("Folder", (dir_ / "link").c_str());
    symlink("Folder", (dir_ / "link.app").c_str());
    EXPECT_EQ(FlagsOf(dir_ / "link"), kLSItemInfoIsSymlink);
    EXPECT_EQ(FlagsOf(dir_ / "link.app"), kLSItemInfoIsSymlink);
}

TEST_F(LaunchServicesTest, VolumeRootIsAPlainFolder) { EXPECT_TRUE(IsPlainFolder(FlagsOf("/"))); }

TEST_F(LaunchServicesTest, ItemThatCannotBeDescribed) {
    WriteFile(dir_ / "gone", "");
    const FSRef ref = EntryRef(dir_ / "gone");
    unlink((dir_ / "gone").c_str());
    LSItemInfoRecord info{};
    EXPECT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestAllFlags, &info), fnfErr);
    EXPECT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestAllFlags, nullptr), paramErr);
}

}  // namespace
