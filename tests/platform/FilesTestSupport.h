// Helpers of the File Manager tests: references from paths, a small tmpfs of the test's own, a body
// run as an unprivileged user, and a look for temporaries left behind.
#pragma once

#include <grp.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "support/TempDir.h"

/// The reference of the entry at path itself (a final link stays the link); the null reference when
/// there is none, which the test then reports.
inline FSRef EntryRef(const std::string& path) {
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRefWithOptions(path.c_str(), kFSPathMakeRefDoNotFollowLeafSymlink, &ref, nullptr), noErr)
        << path;
    return ref;
}

/// A tmpfs of the given size mounted on a fresh folder, unmounted when it goes.
class TmpfsMount {
public:
    TmpfsMount(const std::string& folder, const std::string& size) : folder_(folder) {
        std::filesystem::create_directories(folder);
        const std::string options = "size=" + size + ",mode=0755";
        mounted_ = mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~TmpfsMount() {
        if (mounted_) {
            umount2(folder_.c_str(), MNT_DETACH);
        }
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool mounted() const { return mounted_; }

private:
    std::string folder_;
    bool mounted_ = false;
};

/// Runs body in a child process as uid and gid 65534 with no supplementary groups and returns its
/// result; 200 when the privileges could not be dropped, 300 when the child died.
inline int RunAsNobody(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) {
        const bool dropped = setgroups(0, nullptr) == 0 && setresgid(65534, 65534, 65534) == 0 &&
                             setresuid(65534, 65534, 65534) == 0;
        _exit(dropped ? body() : 200);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return 300;
    }
    return WEXITSTATUS(status);
}

/// Whether a copy left one of its hidden temporaries in folder.
inline bool HasTemporaries(const std::string& folder) {
    for (const auto& name : ListNames(folder)) {
        if (name.starts_with(".corvane-")) {
            return true;
        }
    }
    return false;
}

/// A catalog name from ASCII text.
inline std::u16string CatalogName(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }
