// The type-identifier database of the original platform over the freedesktop shared-mime-info
// database: which MIME type a file-name extension stands for.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/MacErrors.h"

/// Tag classes: what kind of text a tag is.
inline constexpr std::string_view kUTTagClassFilenameExtension = "public.filename-extension";
inline constexpr std::string_view kUTTagClassMIMEType = "public.mime-type";

/// Reads the mime/globs2 files under $XDG_DATA_HOME (default ~/.local/share) and each folder of
/// $XDG_DATA_DIRS (default /usr/local/share:/usr/share), replacing whatever was loaded before.
/// fnfErr when no folder has a globs2 file, another status when none that exists could be read
/// (the database is then empty); noErr when at least one was read.
OSErr LoadTypeDatabase();

/// The identifier of the type that the database prefers for a tag: for a filename extension it
/// knows, the MIME type of its highest-weighted "*.ext" glob (A-Z matched in any case unless the
/// glob is case-sensitive; among equal weights an exact-case glob, then the more important folder,
/// then the earlier line wins); otherwise a dynamic identifier ("dyn." followed by the tag class and
/// the tag) that has no MIME type.
std::string UTTypeCreatePreferredIdentifierForTag(std::string_view tagClass, std::string_view tag);

/// The identifier's preferred tag of the class; only kUTTagClassMIMEType is known. None for a
/// dynamic identifier or another class.
std::optional<std::string> UTTypeCopyPreferredTagWithClass(std::string_view identifier, std::string_view tagClass);
