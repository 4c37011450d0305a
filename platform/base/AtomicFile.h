// Small files replaced in one step, so that a reader (a file manager, the bus daemon) sees the old
// content or the new one, never a mix of both.
#pragma once

#include <sys/types.h>

#include <string>

namespace corvane {

/// Gives path exactly this content and mode, making its missing parent folders: the content goes to a
/// hidden temporary file in the same folder, which is renamed over path. A file that already holds this
/// content with this mode is left untouched; when path is a symbolic link, its target is replaced and
/// the link stays. On failure path is as it was and errorText says why.
bool ReplaceFileContents(const std::string& path, const std::string& content, mode_t mode, std::string* errorText);

/// Removes the file at path; a file that is not there is no failure.
bool RemoveFileIfPresent(const std::string& path, std::string* errorText);

}  // namespace corvane
