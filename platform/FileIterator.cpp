#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "platform/CatalogInfo.h"
#include "platform/Errors.h"
#include "platform/FSRefResolve.h"
#include "platform/FSRefTable.h"
#include "platform/Files.h"

struct OpaqueFSIterator {
    DIR* stream;
    ResolvedRef container;
    std::uint32_t containerGeneration;
    struct timespec modifiedAtOpen;
    struct timespec changedAtOpen;
};

namespace {

bool SameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool ChangedSinceOpen(const OpaqueFSIterator& iterator) {
    struct stat now {};
    if (fstat(dirfd(iterator.stream), &now) != 0) {
        return true;
    }
    return !SameTime(now.st_mtim, iterator.modifiedAtOpen) || !SameTime(now.st_ctim, iterator.changedAtOpen);
}

// The next entry other than '.' and '..'; null at the end (error 0) or on a read error.
struct dirent* NextEntry(DIR* stream, int& error) {
    for (;;) {
        errno = 0;
        struct dirent* entry = readdir(stream);
        if (entry == nullptr) {
            error = errno;
            return nullptr;
        }
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            return entry;
        }
    }
}

}  // namespace

OSErr FSOpenIterator(const FSRef* container, FSIteratorFlags flags, FSIterator* iterator) {
    if (iterator == nullptr || flags != kFSIterateFlat) {
        return paramErr;
    }
    ResolvedRef resolved;
    if (const OSErr status = ResolveFSRef(container, resolved); status != noErr) {
        return status;
    }
    if (!S_ISDIR(resolved.status.st_mode)) {
        return errFSNotAFolder;
    }
    // O_NOFOLLOW: a folder replaced by a link to another one since it was resolved is not listed.
    const int fd = open(resolved.path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return errno == ELOOP ? errFSNotAFolder : OSErrFromErrno(errno);
    }
    struct stat opened {};
    if (fstat(fd, &opened) != 0 || opened.st_dev != resolved.status.st_dev || opened.st_ino != resolved.status.st_ino) {
        close(fd);
        return fnfErr;
    }
    DIR* stream = fdopendir(fd);
    if (stream == nullptr) {
        const int error = errno;
        close(fd);
        return OSErrFromErrno(error);
    }
    const std::uint32_t generation = FSRefTableGeneration(resolved.slot);
    auto* made = new (std::nothrow)
        OpaqueFSIterator{stream, std::move(resolved), generation, opened.st_mtim, opened.st_ctim};
    if (made == nullptr) {
        closedir(stream);
        return memFullErr;
    }
    *iterator = made;
    return noErr;
}

OSErr FSCloseIterator(FSIterator iterator) {
    if (iterator == nullptr) {
        return paramErr;
    }
    closedir(iterator->stream);
    delete iterator;
    return noErr;
}

OSErr FSGetCatalogInfoBulk(FSIterator iterator, ItemCount maximumObjects, ItemCount* actualObjects,
                           Boolean* containerChanged, FSCatalogInfoBitmap whichInfo,
                           FSCatalogInfo* catalogInfos, FSRef* refs, HFSUniStr255* names) {
    if (iterator == nullptr || actualObjects == nullptr || (whichInfo != kFSCatInfoNone && catalogInfos == nullptr)) {
        return paramErr;
    }
    *actualObjects = 0;
    if (containerChanged != nullptr) {
        *containerChanged = false;
    }
    // Children are recorded under the container's slot, which a closed pool may have handed on.
    if (!FSRefTableLive(iterator->container.slot, iterator->containerGeneration)) {
        return fnfErr;
    }
    OSErr result = noErr;
    const int folder = dirfd(iterator->stream);
    while (*actualObjects < maximumObjects) {
        int error = 0;
        const struct dirent* entry = NextEntry(iterator->stream, error);
        if (entry == nullptr) {
            result = error == 0 ? errFSNoMoreItems : OSErrFromErrno(error);
            break;
        }
        struct stat status {};
        if (fstatat(folder, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            // Gone since it was listed: the changed flag below tells the caller the folder moved on.
            continue;
        }
        const std::uint32_t slot = FSRefTableChild(iterator->container.slot, entry->d_name);
        if (slot == kNoSlot) {
            result = memFullErr;
            break;
        }
        const ItemCount at = *actualObjects;
        if (refs != nullptr) {
            refs[at] = MakeFSRef(slot, status);
        }
        if (catalogInfos != nullptr) {
            catalogInfos[at] = CatalogInfoFor(ChildPath(iterator->container.path, entry->d_name), status, whichInfo);
        }
        // A name without a catalog form is delivered empty: the item is still listed, and whoever
        // asks for its name alone is told bdNamErr.
        if (names != nullptr && CatalogNameOf(slot, names[at]) != noErr) {
            names[at].length = 0;
        }
        ++*actualObjects;
    }
    if (containerChanged != nullptr && ChangedSinceOpen(*iterator)) {
        *containerChanged = true;
    }
    return result;
}
