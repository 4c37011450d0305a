// The type-identifier database of the original platform over the freedesktop shared-mime-info
// database: which MIME type a file-name extension stands for.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/MacErrors.h"

namespace corvane {

/// Tag classes: what kind of text a tag is.
inline constexpr std::string_view kUTTagClassFilenameExtension = "public.filename-extension";
inline constexpr std::string_view kUTTagClassMIMEType = "public.mime-type";

/// A globs2 file that is there but was left out, and why (a phrase that follows its name).
struct TypeDatabaseFileFault {
    std::string path;
    std::string problem;
};

/// Reads the mime/globs2 files under $XDG_DATA_HOME (default ~/.local/share) and each folder of
/// $XDG_DATA_DIRS (default /usr/local/share:/usr/share), replacing whatever was loaded before. Each
/// file that exists but cannot be read (not a regular file, over the size limit, no glob line in it)
/// is left out and, when leftOut is given, added to it. fnfErr when no folder has a globs2 file,
/// another status when none that exists could be read (the database is then empty); noErr when at
/// least one was read.
OSErr LoadTypeDatabase(std::vector<TypeDatabaseFileFault>* leftOut = nullptr);

/// The identifier of the type that the database prefers for a tag: for a filename extension it
/// knows, the MIME type of its highest-weighted "*.ext" glob (A-Z matched in any case unless the
/// glob is case-sensitive; among equal weights an exact-case glob, then the more important folder,
/// then the earlier line wins); otherwise a dynamic identifier ("dyn." followed by the tag class and
/// the tag) that has no MIME type.
std::string UTTypeCreatePreferredIdentifierForTag(std::string_view tagClass, std::string_view tag);

/// The identifier's preferred tag of the class; only kUTTagClassMIMEType is known. None for a
/// dynamic identifier or another class.
std::optional<std::string> UTTypeCopyPreferredTagWithClass(std::string_view identifier, std::string_view tagClass);

}  // namespace corvane
