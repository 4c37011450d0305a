// What a copy carries over from one open object to another: the data, the extended attributes,
// the permissions and the timestamps. For the File Manager sources only.
#pragma once

#include <sys/stat.h>

#include "platform/base/MacErrors.h"

namespace corvane {

/// Whether a copy may leave behind the user attributes that its destination cannot store (a copy
/// keeps what fits, as cp does), or must carry every one or fail (a move, whose source goes).
enum class UserAttributes { KeepWhatFits, KeepAll };

/// Appends the data of the regular file open at from, of status (read from its current offset, as
/// far as the size it had when opened), to the empty file open for writing at to, on the file
/// system of device: cloned where that file system can, else copied in the kernel, else read and
/// written. On failure to holds part of the data.
OSErr CopyFileData(int from, const struct stat& status, int to, dev_t device);

/// Extended attributes, permissions and times of status from from onto to, on the file system of
/// device, in that order. Permissions that file system refuses (FAT keeps only whether a file is
/// writable) are kept as far as it can, as cp does; what it cannot keep is noted with
/// FileSystemDropped.
OSErr CopyMetadata(int from, int to, const struct stat& status, UserAttributes rule, dev_t device);

}  // namespace corvane
