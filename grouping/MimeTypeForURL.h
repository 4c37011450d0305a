// The MIME type of a file from its extension, as the type database prefers it, with a fallback
// that gives every extension a type.
#pragma once

#include <optional>
#include <string>

#include "platform/files/CFURL.h"

namespace corvane {

/// Loads the MIME type database once at start-up; when none could be read, logs one line saying so,
/// and every extension falls back to "application/<extension>".
void InitializeMimeTypeDatabase();

/// The preferred MIME type of the URL's extension, else "application/" followed by the extension
/// with its letter case unchanged; none when url is null or has no extension.
std::optional<std::string> MimeTypeForURL(const CFURL* url);

}  // namespace corvane
