#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "platform/base/Errors.h"
#include "platform/files/FSRefResolve.h"
#include "platform/files/Files.h"
#include "platform/files/internal/CatalogInfo.h"
#include "platform/files/internal/FSRefTable.h"

namespace corvane {

struct OpaqueFSIterator {
    UniqueFolderStream stream;
    std::uint32_t containerSlot;
    std::uint32_t containerGeneration;
    dev_t device;
    struct timespec modifiedAtOpen;
    struct timespec changedAtOpen;
    /// Whether the listing's inode numbers are the objects' own, learnt from the first file: a
    /// FUSE file system without use_ino (fusefat, exfat-fuse) lists numbers of its own.
    enum class ListedInodes { unknown, own, others } listedInodes = ListedInodes::unknown;
};

namespace {

bool SameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool ChangedSinceOpen(const OpaqueFSIterator& iterator) {
    struct stat now {};
    if (fstat(dirfd(iterator.stream.get()), &now) != 0) {
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

// The identity and kind of a listed entry. The listing already tells them for a file, a link or a
// special file, which cannot be a mount point's root, where its inode numbers are the objects' own;
// a folder may be a mount point, and is asked.
bool StatusOfEntry(OpaqueFSIterator& iterator, const struct dirent& entry, bool wantAll, struct stat& status) {
    using ListedInodes = OpaqueFSIterator::ListedInodes;
    mode_t kind = 0;
    switch (entry.d_type) {
    case DT_REG: kind = S_IFREG; break;
    case DT_LNK: kind = S_IFLNK; break;
    case DT_FIFO: kind = S_IFIFO; break;
    case DT_SOCK: kind = S_IFSOCK; break;
    case DT_CHR: kind = S_IFCHR; break;
    case DT_BLK: kind = S_IFBLK; break;
    default: break;
    }
    if (kind == 0 || wantAll || iterator.listedInodes != ListedInodes::own) {
        if (fstatat(dirfd(iterator.stream.get()), entry.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            return false;
        }
        if (kind != 0 && iterator.listedInodes == ListedInodes::unknown) {
            iterator.listedInodes = status.st_ino == entry.d_ino ? ListedInodes::own : ListedInodes::others;
        }
        return true;
    }
    status = {};
    status.st_dev = iterator.device;
    status.st_ino = entry.d_ino;
    status.st_mode = kind;
    return true;
}

}  // namespace

OSErr FSOpenIterator(const FSRef* container, FSIteratorFlags flags, FSIterator* iterator) {
    if (iterator == nullptr || flags != kFSIterateFlat) {
        return paramErr;
    }
    int folder = -1;
    if (const OSErr status = FolderOfRef(container, folder); status != noErr) {
        return status;
    }
    UniqueFolderStream stream = OpenFolderStream(folder);
    struct stat opened {};
    if (stream == nullptr || fstat(dirfd(stream.get()), &opened) != 0) {
        return OSErrFromErrno(errno);
    }
    auto* made = new (std::nothrow) OpaqueFSIterator{std::move(stream), container->pathSlot, container->generation,
                                                     opened.st_dev, opened.st_mtim, opened.st_ctim};
    if (made == nullptr) {
        return memFullErr;
    }
    *iterator = made;
    return noErr;
}

OSErr FSCloseIterator(FSIterator iterator) {
    if (iterator == nullptr) {
        return paramErr;
    }
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
    if (!FSRefTableLive(iterator->containerSlot, iterator->containerGeneration)) {
        return fnfErr;
    }
    OSErr result = noErr;
    const int folder = dirfd(iterator->stream.get());
    while (*actualObjects < maximumObjects) {
        int error = 0;
        const struct dirent* entry = NextEntry(iterator->stream.get(), error);
        if (entry == nullptr) {
            result = error == 0 ? errFSNoMoreItems : OSErrFromErrno(error);
            break;
        }
        ResolvedRef child{folder, entry->d_name, {}, kNoSlot};
        if (!StatusOfEntry(*iterator, *entry, whichInfo != kFSCatInfoNone, child.status)) {
            // Gone since it was listed: the changed flag below tells the caller the folder moved on.
            continue;
        }
        child.slot = FSRefTableChild(iterator->containerSlot, entry->d_name);
        if (child.slot == kNoSlot) {
            result = memFullErr;
            break;
        }
        const ItemCount at = *actualObjects;
        if (refs != nullptr) {
            refs[at] = MakeFSRef(child.slot, child.status);
        }
        if (catalogInfos != nullptr) {
            catalogInfos[at] = CatalogInfoFor(child, whichInfo);
        }
        // A name without a catalog form is delivered empty: the item is still listed, and whoever
        // asks for its name alone is told bdNamErr.
        if (names != nullptr && CatalogNameOf(child.slot, names[at]) != noErr) {
            names[at].length = 0;
        }
        ++*actualObjects;
    }
    if (containerChanged != nullptr && ChangedSinceOpen(*iterator)) {
        *containerChanged = true;
    }
    return result;
}

}  // namespace corvane
