// The File Manager on real folders: references and their identity, lookups, catalog information, the
// iterator, URLs and HFS paths, and Launch Services' packages.

#include <cstdio>
#include <tuple>

#include "platform/base/UnicodeText.h"
#include "platform/files/AutoreleasePool.h"
#include "platform/files/HFSPaths.h"
#include "platform/files/LaunchServices.h"
#include "platform/files/internal/FSRefTable.h"
#include "platform/types/PackageExtensions.h"
#include "support/FilesTestSupport.h"

using namespace corvane;

namespace fs = std::filesystem;

namespace {

FSCatalogInfo InfoOf(const std::string& path, FSCatalogInfoBitmap which) {
    const FSRef ref = EntryRef(path);
    FSCatalogInfo info{};
    EXPECT_EQ(FSGetCatalogInfo(&ref, which, &info, nullptr, nullptr), noErr) << path;
    return info;
}

std::string FinderInfoWithFlags(std::uint16_t flags) {
    return std::string(8, '\0') + static_cast<char>(flags >> 8) + static_cast<char>(flags & 0xFF) +
           std::string(22, '\0');
}

}  // namespace

TEST(FSRef, PathsResolveLikeRealpathAndIdentityHoldsWhileTheObjectAndItsPoolLast) {
    const TempDir dir;
    const std::string real = fs::canonical(dir.path()).string();
    WriteFile(dir / "folder/file.txt", "x");
    symlink("folder", (dir / "link").c_str());
    symlink("nowhere", (dir / "dangling").c_str());
    const OptionBits leaf = kFSPathMakeRefDoNotFollowLeafSymlink;
    const std::tuple<std::string, OptionBits, std::string, bool> rows[] = {
        {dir / "link/../folder/./file.txt", 0, real + "/folder/file.txt", false},
        {dir / "link", 0, real + "/folder", true},         {dir / "link", leaf, real + "/link", false},
        {dir / "dangling", leaf, real + "/dangling", false}, {"/", leaf, "/", true},
        {dir / "link/file.txt", leaf, real + "/folder/file.txt", false}, {dir / "link/", leaf, real + "/folder", true},
    };
    FSRef ref{};
    for (const auto& [path, options, expected, folder] : rows) {
        Boolean isDirectory = !folder;
        ASSERT_EQ(FSPathMakeRefWithOptions(path.c_str(), options, &ref, &isDirectory), noErr) << path;
        EXPECT_EQ(PathOf(ref), expected) << path;
        EXPECT_EQ(static_cast<bool>(isDirectory), folder) << path;
    }
    std::string buffer(real.size() + 7, '\xAA');
    EXPECT_EQ(FSRefMakePath(&ref, buffer.data(), real.size() + 7), errFSNameTooLong) << "no room for the terminator";
    // A reference holds while its path leads to the same object and its pool is open.
    for (const char* name : {"kept", "deleted", "replaced", "other", "outer", "inner"}) {
        WriteFile(dir / name, "");
    }
    ASSERT_EQ(link((dir / "kept").c_str(), (dir / "hard").c_str()), 0);
    const FSRef kept = EntryRef(dir / "kept");
    const FSRef deleted = EntryRef(dir / "deleted");
    const FSRef replaced = EntryRef(dir / "replaced");
    EXPECT_EQ(Compare(kept, EntryRef(dir / "hard")), noErr) << "two names of one object";
    EXPECT_EQ(Compare(kept, replaced), errFSRefsDifferent);
    ASSERT_EQ(unlink((dir / "deleted").c_str()), 0);
    ASSERT_EQ(std::rename((dir / "other").c_str(), (dir / "replaced").c_str()), 0);
    EXPECT_FALSE(FSIsFSRefValid(&deleted));
    EXPECT_FALSE(FSIsFSRefValid(&replaced)) << "another object under the same path";
    const std::uint32_t sizeBefore = FSRefTableSize();
    FSRef outer{}, inner{};
    {
        AutoreleasePool outerPool;
        outer = EntryRef(dir / "outer");
        {
            AutoreleasePool innerPool;
            inner = EntryRef(dir / "inner");
        }
        EXPECT_TRUE(FSIsFSRefValid(&outer) && !FSIsFSRefValid(&inner));
        EXPECT_EQ(EntryRef(dir / "inner").pathSlot, inner.pathSlot) << "the released slot is handed on";
        EXPECT_FALSE(FSIsFSRefValid(&inner)) << "a released reference stays released";
    }
    EXPECT_FALSE(FSIsFSRefValid(&outer));
    EXPECT_TRUE(FSIsFSRefValid(&kept)) << "made with no pool open";
    EXPECT_EQ(EntryRef(dir / "kept").pathSlot, kept.pathSlot);
    EXPECT_EQ(FSRefTableSize(), sizeBefore) << "released slots are reused and one path is recorded once";
}

// Catalog names swap '/' and ':' and must be UTF-8; lookups and new folders never replace a name.
TEST(FilesLookup, FindsAndCreatesByCatalogNameWithoutReplacing) {
    const TempDir dir;
    WriteFile(dir / "taken", "keep");
    const std::tuple<std::string, OSErr, std::u16string> names[] = {
        {"image:jpeg", noErr, u"image/jpeg"}, {std::string(255, 'n'), noErr, std::u16string(255, u'n')},
        {"\xE6\x9C\x88", noErr, u"\u6708"},   {"caf\xE9", bdNamErr, u""},
    };
    for (const auto& [posix, status, catalog] : names) {
        WriteFile(dir / posix, "");
        const FSRef ref = EntryRef(dir / posix);
        HFSUniStr255 name{};
        EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, &name, nullptr), status) << posix;
        EXPECT_EQ(std::u16string(name.unicode, name.length), catalog) << posix;
    }
    EXPECT_EQ(InfoOf(dir / "caf\xE9", kFSCatInfoNodeFlags).nodeFlags, 0) << "the other fields can still be read";
    symlink("image:jpeg", (dir / "link").c_str());
    const FSRef parent = EntryRef(dir.path());
    const std::tuple<std::u16string, OSErr, std::string> found[] = {
        {u"image/jpeg", noErr, "image:jpeg"}, {u"link", noErr, "link"},  // the link itself
        {std::u16string(256, u'n'), errFSNameTooLong, ""}, {u"LINK", fnfErr, ""},
        {u"image:jpeg", bdNamErr, ""}, {u"..", bdNamErr, ""},
    };
    FSRef ref{};
    for (const auto& [name, status, entry] : found) {
        ASSERT_EQ(FSMakeFSRefUnicode(&parent, name.size(), name.data(), 0, &ref), status) << name.size();
        if (status == noErr) {
            EXPECT_EQ(PathOf(ref), PathOf(EntryRef(dir / entry))) << entry;
        }
    }
    const std::pair<std::u16string, OSErr> made[] = {
        {u"new/folder", noErr}, {std::u16string(85, u'\u6708'), noErr},  // 85 letters of three bytes fit
        {u"taken", dupFNErr},   {u"image/jpeg", dupFNErr},
        {u"a:b", bdNamErr},     {std::u16string(86, u'\u6708'), errFSNameTooLong},
    };
    for (const auto& [name, status] : made) {
        EXPECT_EQ(FSCreateDirectoryUnicode(&parent, name.size(), name.data(), kFSCatInfoNone, nullptr, &ref, nullptr),
                  status)
            << name.size();
    }
    EXPECT_TRUE(fs::is_directory(dir / "new:folder"));
    EXPECT_EQ(ReadFile(dir / "taken") + ReadFile(dir / "image:jpeg"), "keep");
    EXPECT_EQ(ListNames(dir.path()).size(), 8U);
}

TEST(CatalogInfo, FinderInfoFolderFlagAndNodeIDsOfTheEntryItself) {
    const TempDir dir;
    WriteFile(dir / "folder/plain.txt", "");
    symlink("folder", (dir / "link").c_str());
    EXPECT_EQ(InfoOf(dir / "link", kFSCatInfoNodeFlags).nodeFlags, 0) << "a link to a folder is no folder";
    WriteFile(dir / "gone", "");
    const FSRef gone = EntryRef(dir / "gone");
    const FSRef root = EntryRef("/");
    FSRef parent{};
    ASSERT_EQ(FSGetCatalogInfo(&root, kFSCatInfoNone, nullptr, nullptr, &parent), noErr);
    EXPECT_EQ(Compare(parent, root), noErr) << "the parent of the root is itself";
    unlink((dir / "gone").c_str());
    FSCatalogInfo info{};
    info.nodeID = 77;
    EXPECT_EQ(FSGetCatalogInfo(&gone, kFSCatInfoNodeID, &info, nullptr, nullptr), fnfErr);
    EXPECT_EQ(info.nodeID, 77U) << "a failure writes nothing";
    if (const TmpfsMount volume(dir / "volume", "1m"); volume.mounted) {
        WriteFile(dir / "volume/inside/file", "");
        EXPECT_EQ(InfoOf(dir / "volume", kFSCatInfoNodeID).nodeID, fsRtDirID);
        EXPECT_NE(InfoOf(dir / "volume/inside", kFSCatInfoNodeID).nodeID, fsRtDirID);
    }
    SKIP_WITHOUT_USER_XATTRS(dir.path());
    const std::string hidden = "TEXTttxt" + FinderInfoWithFlags(kIsInvisible).substr(8);
    WriteFile(dir / "hidden.txt", "");
    WriteFile(dir / "short.txt", "");
    SetXattr(dir / "hidden.txt", "user.com.apple.FinderInfo", hidden);
    SetXattr(dir / "short.txt", "user.com.apple.FinderInfo", hidden.substr(1));
    symlink("hidden.txt", (dir / "hidden-link").c_str());
    for (const char* name : {"folder/plain.txt", "short.txt", "hidden-link"}) {
        EXPECT_EQ(InfoOf(dir / name, kFSCatInfoFinderInfo).finderInfo.finderFlags, 0) << name;
    }
}

TEST(FileIterator, DeliversInChunksInListingOrderAndNoticesChanges) {
    const TempDir dir;
    fs::create_directory(dir / "empty");
    for (int i = 0; i < 23; ++i) {
        WriteFile(dir / ("full/item" + std::to_string(i)), "");
    }
    fs::create_directory(dir / "full/image:jpeg");
    symlink("image:jpeg", (dir / "full/link").c_str());
    std::vector<std::string> delivered, listed;
    Boolean changed = true;
    // Asks for up to ten children, checks each one's name and folder flag, and keeps its name.
    const auto next = [&](FSIterator iterator) {
        FSRef refs[10];
        FSCatalogInfo infos[10];
        HFSUniStr255 names[10];
        ItemCount count = 99;
        const OSErr status =
            FSGetCatalogInfoBulk(iterator, 10, &count, &changed, kFSCatInfoNodeFlags, infos, refs, names);
        for (ItemCount i = 0; i < count; ++i) {
            const fs::path path = PathOf(refs[i]);
            delivered.push_back(path.filename().string());
            EXPECT_EQ(PosixNameFromCatalogName({names[i].unicode, names[i].length}), path.filename().string());
            EXPECT_EQ((infos[i].nodeFlags & kFSNodeIsDirectoryMask) != 0, fs::is_directory(fs::symlink_status(path)));
        }
        return status;
    };
    const auto open = [](const std::string& folder, OSErr expected = noErr) {
        const FSRef ref = EntryRef(folder);
        FSIterator iterator = nullptr;
        EXPECT_EQ(FSOpenIterator(&ref, kFSIterateFlat, &iterator), expected) << folder;
        return iterator;
    };
    FSIterator iterator = open(dir / "empty");
    EXPECT_EQ(next(iterator), errFSNoMoreItems);
    FSCloseIterator(iterator);
    iterator = open(dir / "full");
    EXPECT_EQ(next(iterator), noErr);
    EXPECT_EQ(next(iterator), noErr);
    EXPECT_EQ(delivered.size(), 20U);
    EXPECT_EQ(next(iterator), errFSNoMoreItems);
    EXPECT_FALSE(changed);
    EXPECT_EQ(FSCloseIterator(iterator), noErr);
    for (const auto& entry : fs::directory_iterator(dir / "full")) {
        listed.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(delivered, listed);
    iterator = open(dir / "full");
    next(iterator);
    WriteFile(dir / "full/arrived", "");
    next(iterator);
    EXPECT_TRUE(changed);
    FSCloseIterator(iterator);
    open(dir / "full/item0", errFSNotAFolder);
    open(dir / "full/link", errFSNotAFolder);
}

// The duplicate names and the MIME types read the extensions that are there; these paths have none.
TEST(CFURL, NoExtensionAfterAFinalDotOrInAFoldersNameAndNoURLWithoutUtf8) {
    for (const char* path : {"/a/ends.", "/a.d/plain", "/"}) {
        EXPECT_EQ(CFURLCopyPathExtension(CFURL{path, false}), std::nullopt) << path;
    }
    const TempDir dir;
    WriteFile(dir / "caf\xE9", "");
    const FSRef bad = EntryRef(dir / "caf\xE9");
    EXPECT_FALSE(CFURLCreateFromFSRef(&bad));
}

// HFS-style paths: the exact form the Finder is given, the way back to the very same POSIX path, and
// no form at all for what has no counterpart.
TEST(HFSPaths, FormsRoundTripsAndRefusals) {
    const std::pair<std::string, std::u16string> rows[] = {
        {"/", u"Root"}, {"/Users/me/notes.txt", u"Root:Users:me:notes.txt"}, {"/a:b/c", u"Root:a/b:c"},
    };
    for (const auto& [posix, hfs] : rows) {
        EXPECT_EQ(CFURLCopyFileSystemPath(CFURL{posix, false}, kCFURLHFSPathStyle), hfs) << posix;
    }
    EXPECT_EQ(CFURLCopyFileSystemPath(CFURL{"/a:b", false}, kCFURLPOSIXPathStyle), u"/a:b");
    const std::string paths[] = {"/", "/a/b", "/:", "/::", "/a:/:b", "/Root/Root:", "/日本語/한국어/Ελληνικά"};
    for (const std::string& path : paths) {
        for (bool isDirectory : {false, true}) {
            const std::optional<std::u16string> hfs =
                CFURLCopyFileSystemPath(CFURL{path, isDirectory}, kCFURLHFSPathStyle);
            ASSERT_TRUE(hfs) << path;
            // The Finder is told a folder with the trailing ':' that names it a container.
            const std::optional<CFURL> back =
                CFURLCreateWithFileSystemPath(isDirectory ? *hfs + u':' : *hfs, kCFURLHFSPathStyle, false);
            ASSERT_TRUE(back) << path;
            EXPECT_EQ(std::pair(back->path, back->isDirectory), std::pair(path, isDirectory));
        }
    }
    for (const std::string& posix : {std::string(), std::string("relative/path"), std::string("/a//b"),
                                     std::string("/a/"), std::string("/a\0b", 4), std::string("/bad\xFF")}) {
        EXPECT_FALSE(CFURLCopyFileSystemPath(CFURL{posix, false}, kCFURLHFSPathStyle)) << posix;
    }
    for (const std::u16string& hfs :
         {std::u16string(u"Other:a"), std::u16string(u"Rootx:a"), std::u16string(u"Root::"),
          std::u16string(u"Root:a::b"), std::u16string(u"Root:a::"), std::u16string(u"Root:a\0b", 8),
          std::u16string(u"Root:\xD800")}) {
        EXPECT_FALSE(CFURLCreateWithFileSystemPath(hfs, kCFURLHFSPathStyle, false));
    }
}

TEST(LaunchServices, PackageExtensionsAndPlainFoldersPackagesFilesAndLinks) {
    EXPECT_EQ(ParsePackageExtensions("# comment\napp\n  Bundle  # trailing\n\n.rtfd\r\nAppDir\n"),
              (std::set<std::string, std::less<>>{"app", "bundle", "rtfd", "appdir"}));
    EXPECT_EQ(ParsePackageExtensions(BuiltInPackageExtensions()),
              ParsePackageExtensions(ReadFile(CORVANE_SOURCE_DIR "/packaging/package-extensions")));
    EXPECT_FALSE(IsPackageExtension(""));
    const TempDir dir;
    for (const char* name : {"Folder", "Tool.APP", "Notes.RTFD", "English.lproj", ".app", "Bundled"}) {
        fs::create_directory(dir / name);
    }
    WriteFile(dir / "file.app", "");
    symlink("Folder", (dir / "link.app").c_str());
    const bool xattrs = UserXattrsSupported(dir.path());
    if (xattrs) {
        SetXattr(dir / "Bundled", "user.com.apple.FinderInfo", FinderInfoWithFlags(kHasBundle));
    }
    const LSItemInfoFlags folder = kLSItemInfoIsContainer;
    const LSItemInfoFlags package = kLSItemInfoIsContainer | kLSItemInfoIsPackage;
    const std::pair<std::string, LSItemInfoFlags> rows[] = {
        {"Folder", folder}, {"Tool.APP", package}, {"Notes.RTFD", package}, {"English.lproj", folder},
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
