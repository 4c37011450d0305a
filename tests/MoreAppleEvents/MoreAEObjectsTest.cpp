// Object specifiers of real items: class, form, container and the HFS path the Finder is given.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "MoreAppleEvents/MoreAEObjects.h"
#include "platform/HFSPaths.h"
#include "support/TempDir.h"

namespace {

FSRef RefOf(const std::string& path) {
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRefWithOptions(path.c_str(), kFSPathMakeRefDoNotFollowLeafSymlink, &ref, nullptr), noErr);
    return ref;
}

FourCharCode CodeOf(const AEDesc& specifier, AEKeyword key) {
    FourCharCode code = 0;
    EXPECT_EQ(AEGetParamPtr(&specifier, key, typeType, nullptr, &code, sizeof code, nullptr), noErr);
    return code;
}

std::u16string NameOf(const AEDesc& specifier) {
    AEDesc name;
    EXPECT_EQ(AEGetParamDesc(&specifier, keyAEKeyData, typeWildCard, &name), noErr);
    EXPECT_EQ(name.descriptorType, typeUnicodeText);
    std::u16string units(name.data.size() / 2, u'\0');
    AEGetDescData(&name, units.data(), static_cast<long>(name.data.size()));
    return units;
}

std::u16string HFSOf(const std::filesystem::path& path) {
    return CFURLCopyFileSystemPath(CFURL{path.string(), false}, kCFURLHFSPathStyle).value();
}

} // namespace

TEST(MoreAEOCreateObjSpecifier, FileAndFolder) {
    TempDir dir;
    const std::string file = dir / "notes: draft.txt";
    WriteFile(file, "x");
    const std::string folder = dir / "Report.rtfd";
    std::filesystem::create_directory(folder);

    const FSRef fileRef = RefOf(file);
    AEDesc specifier;
    ASSERT_EQ(MoreAEOCreateObjSpecifierFromFSRef(&fileRef, &specifier), noErr);
    EXPECT_EQ(specifier.descriptorType, typeObjectSpecifier);
    EXPECT_EQ(CodeOf(specifier, keyAEDesiredClass), FOUR_CHAR_CODE("file"));
    EXPECT_EQ(CodeOf(specifier, keyAEKeyForm), FOUR_CHAR_CODE("name"));
    AEDesc container;
    ASSERT_EQ(AEGetParamDesc(&specifier, keyAEContainer, typeWildCard, &container), noErr);
    EXPECT_EQ(container, AEDesc{});
    const std::u16string fileName = NameOf(specifier);
    EXPECT_EQ(fileName, HFSOf(std::filesystem::canonical(file)));
    EXPECT_NE(fileName.back(), u':');
    EXPECT_NE(fileName.find(u"notes/ draft.txt"), std::u16string::npos) << "a name's ':' is written '/'";

    const FSRef folderRef = RefOf(folder);
    ASSERT_EQ(MoreAEOCreateObjSpecifierFromFSRef(&folderRef, &specifier), noErr);
    EXPECT_EQ(CodeOf(specifier, keyAEDesiredClass), FOUR_CHAR_CODE("cobj"));
    EXPECT_EQ(NameOf(specifier), HFSOf(std::filesystem::canonical(folder)) + u":");
}

TEST(MoreAEOCreateObjSpecifier, Refusals) {
    AEDesc specifier;
    EXPECT_EQ(MoreAEOCreateObjSpecifierFromFSRef(nullptr, &specifier), paramErr);
    EXPECT_EQ(MoreAEOCreateObjSpecifierFromCFURLRef(nullptr, &specifier), paramErr);
    const CFURL relative{"not/absolute", false};
    EXPECT_EQ(MoreAEOCreateObjSpecifierFromCFURLRef(&relative, &specifier), coreFoundationUnknownErr);

    TempDir dir;
    const std::string file = dir / "gone";
    WriteFile(file, "x");
    const FSRef ref = RefOf(file);
    unlink(file.c_str());
    EXPECT_EQ(MoreAEOCreateObjSpecifierFromFSRef(&ref, &specifier), coreFoundationUnknownErr);
    EXPECT_EQ(specifier, AEDesc{});
}
