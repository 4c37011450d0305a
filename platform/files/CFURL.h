// File URLs of items: a POSIX path and whether it names a directory, as the original platform's
// file URLs carry them.
#pragma once

#include <optional>
#include <string>

#include "platform/files/Files.h"

namespace corvane {

struct CFURL {
    std::string path;  ///< POSIX path, UTF-8, without a trailing '/'
    bool isDirectory;
};

/// The file URL of the item; none when the reference is invalid or its path is not valid UTF-8.
std::optional<CFURL> CFURLCreateFromFSRef(const FSRef* ref);

/// The text after the last '.' of the last path component, letter case unchanged (".txt" gives
/// "txt"); none when there is no '.' or nothing follows it.
std::optional<std::string> CFURLCopyPathExtension(const CFURL& url);

inline bool CFURLHasDirectoryPath(const CFURL& url) { return url.isDirectory; }

}  // namespace corvane
