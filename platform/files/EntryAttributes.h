// Extended attributes of an entry named inside an open folder, the entry itself (a link's own,
// never its target's), without walking any path. For the File Manager and Finder sources only.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace corvane {

/// As lgetxattr, lsetxattr and lremovexattr on the entry `name` of the open folder `folder`
/// ("." for the folder itself): -1 and errno on failure.
ssize_t GetEntryAttribute(int folder, const char* name, const char* attribute, void* value, std::size_t size);
int SetEntryAttribute(int folder, const char* name, const char* attribute, const void* value, std::size_t size);
int RemoveEntryAttribute(int folder, const char* name, const char* attribute);

}  // namespace corvane
