#include "platform/base/Errors.h"

#include <cerrno>

namespace corvane {

OSErr OSErrFromErrno(int error) {
    switch (error) {
    case 0: return noErr;
    case ENOENT: return fnfErr;
    case EEXIST:
    case ENOTEMPTY: return dupFNErr;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return dskFulErr;
    case EACCES:
    case EPERM: return afpAccessDenied;
    case EROFS: return wPrErr;
    case ETXTBSY:
    case EBUSY: return fLckdErr;
    case ENAMETOOLONG: return errFSNameTooLong;
    case ENOTDIR: return errFSNotAFolder;
    case ENOMEM: return memFullErr;
    case EINVAL: return paramErr;
    default: return ioErr;
    }
}

}  // namespace corvane
