#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Errors.h"
#include "platform/FSRefResolve.h"
#include "platform/FSRefTable.h"
#include "platform/FileDescriptors.h"
#include "platform/Files.h"

namespace {

OSErr FinishRef(std::uint32_t slot, const struct stat& status, FSRef* ref, Boolean* isDirectory) {
    if (slot == kNoSlot) {
        return memFullErr;
    }
    *ref = MakeFSRef(slot, status);
    if (isDirectory != nullptr) {
        *isDirectory = S_ISDIR(status.st_mode);
    }
    return noErr;
}

// Whether a path needs the file system's own rules: a "." or ".." in it means something else than
// a name to look up.
bool HasDotComponent(std::string_view path) {
    while (!path.empty()) {
        const std::size_t start = path.find_first_not_of('/');
        if (start == std::string_view::npos) {
            return false;
        }
        path.remove_prefix(start);
        const std::string_view name = path.substr(0, path.find('/'));
        if (name == "." || name == "..") {
            return true;
        }
        path.remove_prefix(name.size());
    }
    return false;
}

// Below a live root, one name at a time from the root's descriptor; no link is ever followed, so a
// folder swapped for a link on the way is no folder.
OSErr WalkBelowRoot(std::uint32_t slot, std::string_view rest, FSRef* ref, Boolean* isDirectory) {
    int folder = -1;
    struct stat status {};
    if (const OSErr error = FSRefTableFolderAsSeen(slot, folder, &status); error != noErr) {
        return error;
    }
    for (;;) {
        const std::size_t start = rest.find_first_not_of('/');
        if (start == std::string_view::npos) {
            return FinishRef(slot, status, ref, isDirectory);
        }
        rest.remove_prefix(start);
        const std::string_view name = rest.substr(0, rest.find('/'));
        rest.remove_prefix(name.size());
        if (rest.find_first_not_of('/') == std::string_view::npos) {
            FSRef found{};
            if (const OSErr error = MakeChildFSRef(slot, folder, name, &found, status); error != noErr) {
                return error;
            }
            return FinishRef(found.pathSlot, status, ref, isDirectory);
        }
        slot = FSRefTableChild(slot, name);
        if (slot == kNoSlot) {
            return memFullErr;
        }
        if (const OSErr error = FSRefTableFolderAsSeen(slot, folder, &status); error != noErr) {
            return error;
        }
    }
}

// The absolute path of what fd names, as the kernel knows it; else what realpath makes of path.
int PathOfDescriptor(int fd, const char* path, std::string& absolute) {
    std::string link(PATH_MAX, '\0');
    const ssize_t got = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), link.data(), link.size());
    if (got > 0 && static_cast<std::size_t>(got) < link.size() && link.front() == '/') {
        link.resize(static_cast<std::size_t>(got));
        absolute = std::move(link);
        return 0;
    }
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path, nullptr), &std::free);
    if (!resolved) {
        return errno;
    }
    absolute = resolved.get();
    return 0;
}

// Outside every root: the file system resolves the path once. A folder becomes a root itself;
// anything else is an entry of its folder, which becomes a root, checked to be the object opened.
OSErr ResolveOutsideRoots(const char* path, bool followLeaf, FSRef* ref, Boolean* isDirectory) {
    UniqueFd object(open(path, O_PATH | O_CLOEXEC | (followLeaf ? 0 : O_NOFOLLOW)));
    struct stat status {};
    if (!object.valid() || fstat(object.get(), &status) != 0) {
        return OSErrFromErrno(errno);
    }
    std::string absolute;
    if (const int error = PathOfDescriptor(object.get(), path, absolute); error != 0) {
        return OSErrFromErrno(error);
    }
    if (S_ISDIR(status.st_mode)) {
        return FinishRef(FSRefTableRoot(absolute, std::move(object), status), status, ref, isDirectory);
    }
    const std::size_t slash = absolute.rfind('/');
    const std::string folderPath = slash == 0 ? "/" : absolute.substr(0, slash);
    UniqueFd folder(open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat folderStatus {};
    if (!folder.valid() || fstat(folder.get(), &folderStatus) != 0) {
        return OSErrFromErrno(errno);
    }
    const std::uint32_t root = FSRefTableRoot(folderPath, std::move(folder), folderStatus);
    if (root == kNoSlot) {
        return memFullErr;
    }
    int at = -1;
    if (const OSErr error = FSRefTableFolderAsSeen(root, at); error != noErr) {
        return error;
    }
    FSRef found{};
    struct stat entry {};
    if (const OSErr error = MakeChildFSRef(root, at, absolute.substr(slash + 1), &found, entry); error != noErr) {
        return error;
    }
    if (entry.st_dev != status.st_dev || entry.st_ino != status.st_ino) {
        return fnfErr;
    }
    return FinishRef(found.pathSlot, entry, ref, isDirectory);
}

}  // namespace

OSErr FSPathMakeRef(const char* path, FSRef* ref, Boolean* isDirectory) {
    return FSPathMakeRefWithOptions(path, kFSPathMakeRefDefaultOptions, ref, isDirectory);
}

OSErr FSPathMakeRefWithOptions(const char* path, OptionBits options, FSRef* ref, Boolean* isDirectory) {
    if (path == nullptr || ref == nullptr || (options & ~kFSPathMakeRefDoNotFollowLeafSymlink) != 0) {
        return paramErr;
    }
    if (!HasDotComponent(path)) {
        std::string_view rest;
        // A root's own path is a folder someone names anew, which may be another folder by now.
        const std::uint32_t root = FSRefTableRootOf(path, rest);
        if (root != kNoSlot && rest.find_first_not_of('/') != std::string_view::npos) {
            return WalkBelowRoot(root, rest, ref, isDirectory);
        }
    }
    return ResolveOutsideRoots(path, (options & kFSPathMakeRefDoNotFollowLeafSymlink) == 0, ref, isDirectory);
}

OSErr FSRefMakePath(const FSRef* ref, char* path, std::uint32_t maxPathSize) {
    if (path == nullptr || maxPathSize == 0) {
        return paramErr;
    }
    ResolvedRef resolved;
    if (const OSErr status = ResolveFSRef(ref, resolved); status != noErr) {
        return status;
    }
    const std::string made = FSRefTablePath(ref->pathSlot);
    if (made.size() >= maxPathSize) {
        return errFSNameTooLong;
    }
    std::memcpy(path, made.c_str(), made.size() + 1);
    return noErr;
}

Boolean FSIsFSRefValid(const FSRef* ref) {
    ResolvedRef resolved;
    return ResolveFSRef(ref, resolved) == noErr;
}

OSErr FSCompareFSRefs(const FSRef* ref1, const FSRef* ref2) {
    if (ref1 == nullptr || ref2 == nullptr) {
        return paramErr;
    }
    if (!FSRefTableLive(ref1->pathSlot, ref1->generation) || !FSRefTableLive(ref2->pathSlot, ref2->generation)) {
        return fnfErr;
    }
    const bool same = ref1->device == ref2->device && ref1->inode == ref2->inode;
    return same ? noErr : errFSRefsDifferent;
}
