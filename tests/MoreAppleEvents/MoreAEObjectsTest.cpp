// Object specifiers of real items: class, form, container and the HFS path the Finder is given.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "MoreAppleEvents/MoreAEObjects.h"
#include "platform/events/AERegistry.h"
#include "platform/files/HFSPaths.h"
#include "support/TempDir.h"

using namespace corvane;

namespace {

FSRef RefOf(const std::string& path) {
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRefWithOptions(path.c_str(), kFSPathMakeRefDoNotFollowLeafSymlink, &ref, nullptr), noErr);
    return ref;
}

} // namespace

TEST(MoreAEOCreateObjSpecifier, FileFolderAndRefusals) {
    TempDir dir;
    WriteFile(dir / "notes: draft.txt", "x");
    std::filesystem::create_directory(dir / "Report.rtfd");
    const std::string folder = std::filesystem::canonical(dir.path()).string();
    const std::u16string hfsDir = CFURLCopyFileSystemPath(CFURL{folder, false}, kCFURLHFSPathStyle).value();
    const std::tuple<std::string, DescType, std::u16string> rows[] = {
        {"notes: draft.txt", cFile, hfsDir + u":notes/ draft.txt"},
        {"Report.rtfd", cObject, hfsDir + u":Report.rtfd:"},
    };
    for (const auto& [name, itemClass, hfsPath] : rows) {
        const FSRef ref = RefOf(dir / name);
        AEDesc specifier;
        ASSERT_EQ(MoreAEOCreateObjSpecifierFromFSRef(&ref, &specifier), noErr);
        AEDesc noContainer;
        AEDesc keyData;
        AECreateDesc(typeUnicodeText, hfsPath.data(), static_cast<long>(hfsPath.size() * 2), &keyData);
        AEDesc expected;
        CreateObjSpecifier(itemClass, &noContainer, formName, &keyData, true, &expected);
        EXPECT_EQ(specifier, expected);
    }
    AEDesc specifier;
    const CFURL relative{"not/absolute", false};
    EXPECT_EQ(MoreAEOCreateObjSpecifierFromCFURLRef(&relative, &specifier), coreFoundationUnknownErr);
    const FSRef ref = RefOf(dir / "notes: draft.txt");
    std::filesystem::remove(dir / "notes: draft.txt");
    EXPECT_EQ(MoreAEOCreateObjSpecifierFromFSRef(&ref, &specifier), coreFoundationUnknownErr);
    EXPECT_EQ(specifier, AEDesc{});
}
