// HFS-style paths: the exact form the Finder is given, and the way back to the very same POSIX path.
#include <gtest/gtest.h>

#include "platform/files/HFSPaths.h"

using namespace corvane;

TEST(HFSPaths, Forms) {
    const std::pair<std::string, std::u16string> rows[] = {
        {"/", u"Root"},         {"/Users/me/notes.txt", u"Root:Users:me:notes.txt"}, {"/a:b/c", u"Root:a/b:c"},
        {"/Root", u"Root:Root"}, {"/with space/ca fé 😀", u"Root:with space:ca fé 😀"},
    };
    for (const auto& [posix, hfs] : rows) {
        EXPECT_EQ(CFURLCopyFileSystemPath(CFURL{posix, false}, kCFURLHFSPathStyle), hfs) << posix;
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
            // The Finder is told a folder with the trailing ':' that names it a container.
            const std::optional<CFURL> back =
                CFURLCreateWithFileSystemPath(isDirectory ? *hfs + u':' : *hfs, kCFURLHFSPathStyle, false);
            ASSERT_TRUE(back) << path;
            EXPECT_EQ(std::pair(back->path, back->isDirectory), std::pair(path, isDirectory));
        }
    }
}

TEST(HFSPaths, WhatHasNoCounterpartIsRefused) {
    for (const std::string& posix : {std::string(), std::string("relative/path"), std::string("/a//b"),
                                     std::string("/a/"), std::string("/a\0b", 4), std::string("/bad\xFF")}) {
        EXPECT_FALSE(CFURLCopyFileSystemPath(CFURL{posix, false}, kCFURLHFSPathStyle)) << posix;
    }
    for (const std::u16string& hfs :
         {std::u16string(u""), std::u16string(u":relative"), std::u16string(u"Other:a"), std::u16string(u"Rootx:a"),
          std::u16string(u"Root::"), std::u16string(u"Root:a::b"), std::u16string(u"Root:a::"),
          std::u16string(u"Root:a\0b", 8), std::u16string(u"Root:\xD800")}) {
        EXPECT_FALSE(CFURLCreateWithFileSystemPath(hfs, kCFURLHFSPathStyle, false));
    }
}
