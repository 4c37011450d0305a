// What a copy carries over from one open object to another: the data, the extended attributes,
// the permissions and the timestamps. For the File Manager sources only.
#pragma once

#include <sys/stat.h>

#include "platform/MacErrors.h"

/// Appends the data of the regular file open at from (read from its current offset) to the
/// file open for writing at to: cloned where the file system can, else copied in the kernel, else
/// read and written. On failure to holds part of the data.
OSErr CopyFileData(int from, int to);

/// Extended attributes, permissions and times of status from from onto to, in that order.
OSErr CopyMetadata(int from, int to, const struct stat& status);
