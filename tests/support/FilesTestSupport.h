// Helpers of the File Manager tests: references from paths, a small tmpfs of the test's own, and a
// body run as an unprivileged user.
#pragma once

#include <grp.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <gtest/gtest.h>

#include "platform/files/Files.h"
#include "support/TempDir.h"

namespace corvane {

/// The reference of the entry at path itself (a final link stays the link); the null reference,
/// reported as a failure, when there is none.
inline FSRef EntryRef(const std::string& path) {
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRefWithOptions(path.c_str(), kFSPathMakeRefDoNotFollowLeafSymlink, &ref, nullptr), noErr)
        << path;
    return ref;
}

/// The object's path; empty when the reference is invalid.
inline std::string PathOf(const FSRef& ref) {
    char path[4098];
    return FSRefMakePath(&ref, path, sizeof path) == noErr ? std::string(path) : std::string();
}

inline OSErr Compare(const FSRef& a, const FSRef& b) { return FSCompareFSRefs(&a, &b); }

/// A tmpfs of the given size mounted on a fresh folder, unmounted (when it was mounted) when it goes.
struct TmpfsMount {
    TmpfsMount(const std::string& at, const std::string& size) : folder(at) {
        std::filesystem::create_directories(at);
        mounted = mount("tmpfs", at.c_str(), "tmpfs", 0, ("size=" + size + ",mode=0755").c_str()) == 0;
    }
    ~TmpfsMount() { umount2(folder.c_str(), MNT_DETACH); }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;
    const std::string folder;
    bool mounted = false;
};

/// Runs body in a child, as uid and gid 65534 with no supplementary groups when asNobody, and returns
/// its result; 200 when the privileges could not be dropped, 300 when the child died.
inline int RunInChild(const std::function<int()>& body, bool asNobody = false) {
    const pid_t child = fork();
    if (child == 0) {
        const bool dropped = !asNobody || (setgroups(0, nullptr) == 0 && setresgid(65534, 65534, 65534) == 0 &&
                                           setresuid(65534, 65534, 65534) == 0);
        _exit(dropped ? body() : 200);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : 300;
}

}  // namespace corvane
