#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Errors.h"
#include "platform/FSRefResolve.h"
#include "platform/FSRefTable.h"
#include "platform/Files.h"

namespace {

// 0 and the path resolved as realpath resolves it, or an errno.
int RealPath(const std::string& path, std::string& resolved) {
    const std::unique_ptr<char, decltype(&std::free)> result(realpath(path.c_str(), nullptr), &std::free);
    if (!result) {
        return errno;
    }
    resolved = result.get();
    return 0;
}

// 0 and the absolute path of what path names, or an errno. Without followLeaf only the folder part
// is resolved and the last name kept, so that a final link names the link; a path without a last
// name of its own ("/", "dir/", "..") is resolved whole.
int AbsolutePath(std::string_view path, bool followLeaf, std::string& absolute) {
    const std::size_t slash = path.rfind('/');
    const std::string_view leaf = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (followLeaf || leaf.empty() || leaf == "." || leaf == "..") {
        return RealPath(std::string(path), absolute);
    }
    std::string folder = slash == std::string_view::npos ? "." : std::string(path.substr(0, slash));
    if (folder.empty()) {
        folder = "/";
    }
    if (const int error = RealPath(folder, absolute); error != 0) {
        return error;
    }
    absolute = ChildPath(absolute, leaf);
    return 0;
}

}  // namespace

OSErr FSPathMakeRef(const char* path, FSRef* ref, Boolean* isDirectory) {
    return FSPathMakeRefWithOptions(path, kFSPathMakeRefDefaultOptions, ref, isDirectory);
}

OSErr FSPathMakeRefWithOptions(const char* path, OptionBits options, FSRef* ref, Boolean* isDirectory) {
    if (path == nullptr || ref == nullptr || (options & ~kFSPathMakeRefDoNotFollowLeafSymlink) != 0) {
        return paramErr;
    }
    std::string absolute;
    const bool followLeaf = (options & kFSPathMakeRefDoNotFollowLeafSymlink) == 0;
    if (const int error = AbsolutePath(path, followLeaf, absolute); error != 0) {
        return OSErrFromErrno(error);
    }
    struct stat status {};
    if (lstat(absolute.c_str(), &status) != 0) {
        return OSErrFromErrno(errno);
    }
    const std::uint32_t slot = FSRefTableAbsolutePath(absolute);
    if (slot == kNoSlot) {
        return memFullErr;
    }
    *ref = MakeFSRef(slot, status);
    if (isDirectory != nullptr) {
        *isDirectory = S_ISDIR(status.st_mode);
    }
    return noErr;
}

OSErr FSRefMakePath(const FSRef* ref, char* path, std::uint32_t maxPathSize) {
    if (path == nullptr || maxPathSize == 0) {
        return paramErr;
    }
    ResolvedRef resolved;
    if (const OSErr status = ResolveFSRef(ref, resolved); status != noErr) {
        return status;
    }
    if (resolved.path.size() >= maxPathSize) {
        return errFSNameTooLong;
    }
    std::memcpy(path, resolved.path.c_str(), resolved.path.size() + 1);
    return noErr;
}

Boolean FSIsFSRefValid(const FSRef* ref) {
    ResolvedRef resolved;
    return ResolveFSRef(ref, resolved) == noErr;
}

OSErr FSCompareFSRefs(const FSRef* ref1, const FSRef* ref2) {
    ResolvedRef first;
    ResolvedRef second;
    if (const OSErr status = ResolveFSRef(ref1, first); status != noErr) {
        return status;
    }
    if (const OSErr status = ResolveFSRef(ref2, second); status != noErr) {
        return status;
    }
    const bool same = first.status.st_dev == second.status.st_dev && first.status.st_ino == second.status.st_ino;
    return same ? noErr : errFSRefsDifferent;
}
