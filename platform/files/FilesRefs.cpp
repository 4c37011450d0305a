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

#include "platform/base/Errors.h"
#include "platform/base/FileDescriptors.h"
#include "platform/files/FSRefResolve.h"
#include "platform/files/Files.h"
#include "platform/files/internal/FSRefTable.h"

namespace corvane {

namespace {

// The entry for a slot whose object is open at folder under name, with its status.
OSErr Found(std::uint32_t slot, int folder, std::string name, const struct stat& status, ResolvedRef& entry) {
    if (slot == kNoSlot) {
        return memFullErr;
    }
    entry = ResolvedRef{folder, std::move(name), status, slot};
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
// folder swapped for a link on the way is no folder. The final entry is read unless readLeaf is false.
OSErr WalkBelowRoot(std::uint32_t slot, std::string_view rest, ResolvedRef& entry, bool readLeaf = true) {
    int folder = -1;
    struct stat status {};
    if (const OSErr error = FSRefTableFolderAsSeen(slot, folder, &status); error != noErr) {
        return error;
    }
    for (;;) {
        const std::size_t start = rest.find_first_not_of('/');
        if (start == std::string_view::npos) {
            return Found(slot, folder, ".", status, entry);
        }
        rest.remove_prefix(start);
        const std::string_view name = rest.substr(0, rest.find('/'));
        rest.remove_prefix(name.size());
        if (rest.find_first_not_of('/') == std::string_view::npos) {
            if (!readLeaf) {
                entry = ResolvedRef{folder, std::string(name), {}, kNoSlot};
                return noErr;
            }
            FSRef found{};
            if (const OSErr error = MakeChildFSRef(slot, folder, name, &found, status); error != noErr) {
                return error;
            }
            return Found(found.pathSlot, folder, std::string(name), status, entry);
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
OSErr ResolveOutsideRoots(const char* path, bool followLeaf, ResolvedRef& entry) {
    UniqueFd object(open(path, O_PATH | O_CLOEXEC | (followLeaf ? 0 : O_NOFOLLOW)));
    struct stat status {};
    if (!object.valid() || fstat(object.get(), &status) != 0) {
        return OSErrFromErrno(errno);
    }
    std::string absolute;
    if (const int error = PathOfDescriptor(object.get(), path, absolute); error != 0) {
        return OSErrFromErrno(error);
    }
    std::string name = ".";
    std::string folderPath = absolute;
    if (!S_ISDIR(status.st_mode)) {
        const std::size_t slash = absolute.rfind('/');
        folderPath = slash == 0 ? "/" : absolute.substr(0, slash);
        name = absolute.substr(slash + 1);
        object = UniqueFd(open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    struct stat folderStatus {};
    if (!object.valid() || fstat(object.get(), &folderStatus) != 0) {
        return OSErrFromErrno(errno);
    }
    const std::uint32_t root = FSRefTableRoot(folderPath, std::move(object), folderStatus);
    int at = -1;
    if (root == kNoSlot) {
        return memFullErr;
    }
    if (const OSErr error = FSRefTableFolderAsSeen(root, at); error != noErr) {
        return error;
    }
    if (name == ".") {
        return Found(root, at, name, status, entry);
    }
    FSRef found{};
    struct stat seen {};
    if (const OSErr error = MakeChildFSRef(root, at, name, &found, seen); error != noErr) {
        return error;
    }
    if (seen.st_dev != status.st_dev || seen.st_ino != status.st_ino) {
        return fnfErr;
    }
    return Found(found.pathSlot, at, std::move(name), seen, entry);
}

}  // namespace

OSErr FSPathMakeRef(const char* path, FSRef* ref, Boolean* isDirectory) {
    return FSPathMakeRefWithOptions(path, kFSPathMakeRefDefaultOptions, ref, isDirectory);
}

namespace {

OSErr FindPath(const char* path, OptionBits options, bool readLeaf, ResolvedRef& entry) {
    if (path == nullptr || (options & ~kFSPathMakeRefDoNotFollowLeafSymlink) != 0) {
        return paramErr;
    }
    if (!HasDotComponent(path)) {
        std::string_view rest;
        // A root's own path is a folder someone names anew, which may be another folder by now.
        const std::uint32_t root = FSRefTableRootOf(path, rest);
        if (root != kNoSlot && rest.find_first_not_of('/') != std::string_view::npos) {
            return WalkBelowRoot(root, rest, entry, readLeaf);
        }
    }
    return ResolveOutsideRoots(path, (options & kFSPathMakeRefDoNotFollowLeafSymlink) == 0, entry);
}

}  // namespace

OSErr ResolvePath(const char* path, OptionBits options, ResolvedRef& entry) {
    return FindPath(path, options, true, entry);
}

OSErr LocatePath(const char* path, ResolvedRef& entry) {
    return FindPath(path, kFSPathMakeRefDoNotFollowLeafSymlink, false, entry);
}

OSErr FSPathMakeRefWithOptions(const char* path, OptionBits options, FSRef* ref, Boolean* isDirectory) {
    if (ref == nullptr) {
        return paramErr;
    }
    ResolvedRef entry;
    if (const OSErr status = ResolvePath(path, options, entry); status != noErr) {
        return status;
    }
    *ref = MakeFSRef(entry.slot, entry.status);
    if (isDirectory != nullptr) {
        *isDirectory = S_ISDIR(entry.status.st_mode);
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

}  // namespace corvane
