#include "platform/files/FileAttributes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>

#include "platform/base/Errors.h"
#include "platform/files/FSRefResolve.h"

namespace corvane {

namespace {

BirthTimeStandIns& StandIns() {
    static BirthTimeStandIns standIns;
    return standIns;
}

}  // namespace

void SetBirthTimeStandIns(BirthTimeStandIns standIns) { StandIns() = std::move(standIns); }

OSErr FileAttributesAtPath(const std::string& path, FileAttributes* attributes) {
    if (attributes == nullptr) {
        return paramErr;
    }
    // The entry is found as every item is, never through a link on the way; only a final link is
    // followed, for the dates of what it points to, by the statx that reads the entry.
    ResolvedRef entry;
    if (const OSErr status = LocatePath(path.c_str(), entry); status != noErr) {
        return status;
    }
    struct statx info {};
    if (statx(entry.at, entry.name.c_str(), 0, STATX_MTIME | STATX_BTIME, &info) == 0) {
        FileAttributes dates;
        if ((info.stx_mask & STATX_MTIME) != 0) {
            dates.modificationDate = static_cast<std::time_t>(info.stx_mtime.tv_sec);
        }
        // A file system that keeps no birth time leaves the bit clear rather than failing.
        if ((info.stx_mask & STATX_BTIME) != 0) {
            dates.creationDate = static_cast<std::time_t>(info.stx_btime.tv_sec);
        }
        if (!StandIns().empty()) {
            const auto standIn = StandIns().find({makedev(info.stx_dev_major, info.stx_dev_minor), info.stx_ino});
            if (standIn != StandIns().end()) {
                dates.creationDate = standIn->second;
            }
        }
        *attributes = dates;
        return noErr;
    }
    if (errno != ENOSYS) {
        return OSErrFromErrno(errno);
    }
    // A kernel or sandbox without statx still has stat, which knows no birth time.
    struct stat plain {};
    if (fstatat(entry.at, entry.name.c_str(), &plain, 0) != 0) {
        return OSErrFromErrno(errno);
    }
    *attributes = FileAttributes{plain.st_mtim.tv_sec, std::nullopt};
    return noErr;
}

std::optional<std::time_t> FileAttributeDate(const FileAttributes& attributes, std::string_view key) {
    if (key == NSFileModificationDate) {
        return attributes.modificationDate;
    }
    if (key == NSFileCreationDate) {
        return attributes.creationDate;
    }
    return std::nullopt;
}

}  // namespace corvane
