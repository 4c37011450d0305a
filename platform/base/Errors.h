// The one place where an errno becomes a status, so a logged number always means the same thing.
#pragma once

#include "platform/base/MacErrors.h"

namespace corvane {

/// ENOENT is fnfErr, EEXIST dupFNErr, ENOSPC dskFulErr, EACCES/EPERM afpAccessDenied, and so on;
/// anything unlisted is ioErr. 0 gives noErr.
OSErr OSErrFromErrno(int error);

}  // namespace corvane
