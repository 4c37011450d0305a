// Object specifiers of real items: class, form, container and the HFS path the Finder is given.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <tuple>

#include "MoreAppleEvents/MoreAEObjects.h"
#include "platform/AERegistry.h"
#include "platform/HFSPaths.h"
#include "support/TempDir.h"

namespace {

FSRef RefOf(const std::string& path) {
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRefWithOptions(path.c_str(), kFSPathMakeRefDoNotFollowLeafSymlink, &ref, nullptr), noErr);
    return ref;
}

AEDesc Param(const AEDesc& record, AEKeyword key) {
    AEDesc value;
    EXPECT_EQ(AEGetParamDesc(&record, key, typeWildCard, &value), noErr);
    return value;
}

AEDesc Plain(DescType type, const void* data, std::size_t size) {
    AEDesc desc;
    AECreateDesc(type, data, static_cast<long>(size), &desc);
    return desc;
}

} // namespace

TEST(MoreAEOCreateObjSpecifier, FileAndFolder) {
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
        EXPECT_EQ(specifier.descriptorType, typeObjectSpecifier);
        EXPECT_EQ(Param(specifier, keyAEDesiredClass), Plain(typeType, &itemClass, 4));
        EXPECT_EQ(Param(specifier, keyAEKeyForm), Plain(typeEnumerated, &formName, 4));
        EXPECT_EQ(Param(specifier, keyAEContainer), AEDesc{});
        EXPECT_EQ(Param(specifier, keyAEKeyData), Plain(typeUnicodeText, hfsPath.data(), hfsPath.size() * 2));
    }
}

TEST(MoreAEOCreateObjSpecifier, Refusals) {
    AEDesc specifier;
    EXPECT_EQ(MoreAEOCreateObjSpecifierFromFSRef(nullptr, &specifier), paramErr);
    EXPECT_EQ(MoreAEOCreateObjSpecifierFromCFURLRef(nullptr, &specifier), paramErr);
    const CFURL relative{"not/absolute", false};
    EXPECT_EQ(MoreAEOCreateObjSpecifierFromCFURLRef(&relative, &specifier), coreFoundationUnknownErr);
    TempDir dir;
    WriteFile(dir / "gone", "x");
    const FSRef ref = RefOf(dir / "gone");
    unlink((dir / "gone").c_str());
    EXPECT_EQ(MoreAEOCreateObjSpecifierFromFSRef(&ref, &specifier), coreFoundationUnknownErr);
    EXPECT_EQ(specifier, AEDesc{});
}
