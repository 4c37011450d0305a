// Removing one item by its reference, the entry itself and never what a link leads to.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/base/Errors.h"
#include "platform/files/FSRefResolve.h"
#include "platform/files/Files.h"

namespace corvane {

OSErr FSDeleteObject(const FSRef* item) {
    ResolvedRef entry;
    if (const OSErr status = ResolveFSRef(item, entry); status != noErr) {
        return status;
    }
    const bool folder = S_ISDIR(entry.status.st_mode);
    if (unlinkat(entry.at, entry.name.c_str(), folder ? AT_REMOVEDIR : 0) == 0) {
        return noErr;
    }
    return errno == ENOTEMPTY || errno == EEXIST ? fBsyErr : OSErrFromErrno(errno);
}

OSErr FSGetObjectState(const FSRef* item, FSObjectState* state) {
    if (state == nullptr) {
        return paramErr;
    }
    ResolvedRef entry;
    if (const OSErr status = ResolveFSRef(item, entry); status != noErr) {
        return status;
    }
    *state = {static_cast<std::uint64_t>(entry.status.st_dev), static_cast<std::uint64_t>(entry.status.st_ino),
              static_cast<std::int64_t>(entry.status.st_size), NanosecondsOf(entry.status.st_mtim)};
    return noErr;
}

FSObjectState FSObjectStateWhenSeen(const FSRef* item) {
    return {item->device, item->inode, item->sizeWhenSeen, item->modifiedNanosecondsWhenSeen};
}

}  // namespace corvane
