// HFS-style paths: the exact form the Finder is given, and the way back to the very same POSIX path.
#include <gtest/gtest.h>

#include "platform/HFSPaths.h"

namespace {

std::u16string HFS(const std::string& path, bool isDirectory = false) {
    return CFURLCopyFileSystemPath(CFURL{path, isDirectory}, kCFURLHFSPathStyle).value_or(u"(none)");
}

} // namespace

TEST(HFSPaths, Forms) {
    struct Row {
        std::string posix;
        std::u16string hfs;
    };
    const Row rows[] = {
        {"/", u"Root"},
        {"/Users/me/notes.txt", u"Root:Users:me:notes.txt"},
        {"/a:b/c", u"Root:a/b:c"},
        {"/image:jpeg", u"Root:image/jpeg"},
        {"/with space/ca fé", u"Root:with space:ca fé"},
        {"/Root", u"Root:Root"},
        {"/emoji 😀", u"Root:emoji 😀"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(HFS(row.posix), row.hfs) << row.posix;
    }
    EXPECT_EQ(CFURLCopyFileSystemPath(CFURL{"/a:b", false}, kCFURLPOSIXPathStyle), u"/a:b");
}

TEST(HFSPaths, EveryPathRoundTrips) {
    const std::string paths[] = {
        "/", "/a", "/a/b/c/d/e/f/g/h/i/j", "/:", "/::", "/a:/:b", "/name:with:colons/x",
        "/ leading and trailing ", "/./..", "/.hidden/...", "/Root/Root:", "/日本語/한국어/Ελληνικά",
        "/e\xCC\x81/\xC3\xA9", "/tab\there", "/line\nbreak", "/" + std::string(255, 'x') + "/" + std::string(255, ':'),
    };
    for (const std::string& path : paths) {
        for (bool isDirectory : {false, true}) {
            const std::optional<std::u16string> hfs =
                CFURLCopyFileSystemPath(CFURL{path, isDirectory}, kCFURLHFSPathStyle);
            ASSERT_TRUE(hfs) << path;
            // The Finder sees a folder with the trailing ':' that names it a container.
            const std::u16string sent = isDirectory ? *hfs + u':' : *hfs;
            const std::optional<CFURL> back = CFURLCreateWithFileSystemPath(sent, kCFURLHFSPathStyle, false);
            ASSERT_TRUE(back) << path;
            EXPECT_EQ(back->path, path);
            EXPECT_EQ(back->isDirectory, isDirectory) << path;
        }
    }
}

TEST(HFSPaths, WhatHasNoCounterpartIsRefused) {
    const std::string posixPaths[] = {"", "relative/path", "/a//b", "/a/", std::string("/a\0b", 4), "/bad\xFF"};
    for (const std::string& posix : posixPaths) {
        EXPECT_FALSE(CFURLCopyFileSystemPath(CFURL{posix, false}, kCFURLHFSPathStyle)) << posix;
    }
    const std::u16string hfsPaths[] = {
        u"", u":relative", u"Other:a", u"Rootx:a", u"Root::", u"Root:a::b", u"Root:a::",
        std::u16string(u"Root:a\0b", 8), std::u16string(u"Root:\xD800"),
    };
    for (const std::u16string& hfs : hfsPaths) {
        EXPECT_FALSE(CFURLCreateWithFileSystemPath(hfs, kCFURLHFSPathStyle, false));
    }
}
