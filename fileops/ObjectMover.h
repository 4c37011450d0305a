// Puts one item into a destination folder by copying or moving it, never replacing anything: a
// name clash gives the incoming item a new name made unique by a UUID. Key folders are made here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/files/Files.h"

namespace corvane {

/// 1 when the item (or its copy) now lies in the destination folder, or lay there already, and any
/// comment was carried; 0 otherwise. copy nonzero copies, zero moves.
signed char MoveObjectPath(const std::string& sourcePath, const std::string& destinationPath, signed char copy);

/// Copies or moves item into destination; newItem receives the item at its new place.
OSErr MoveObjectRef3(const FSRef* item, const FSRef* destination, FSRef* newItem, signed char copy);

/// A new name for item when its name is taken in destination: stem, " - ", UUID, "." extension.
/// None when the name is free or no new name could be formed.
std::optional<std::u16string> RenameDuplicateFile(const FSRef* destination, const FSRef* item);

/// A name like name made unique: stem, " - ", UUID, "." extension.
std::string UniqueNameLike(const std::string& name);

/// The first size of the path buffer that strategies convert references into.
constexpr std::size_t kStrategyPathBufferSize = 2048;

/// The item's POSIX path as text when it is UTF-8. The buffer starts at bufferSize bytes and grows
/// to fit: a tree may be deeper than any fixed size, and only the log reads the whole path.
std::optional<std::string> PathOfRef(const FSRef* item, std::size_t bufferSize = kStrategyPathBufferSize);

/// The item's name, or none.
std::optional<std::string> FSGetObjectName(const FSRef* item);
std::optional<std::string> GetObjectName(const FSRef* item);

/// The item's parent folder; all zero bytes for a volume root. paramErr without an out-parameter.
OSErr FSGetParentRef(const FSRef* item, FSRef* parent);

/// All UTF-16 code units of a UTF-8 string; none when the text is not valid UTF-8.
std::optional<std::u16string> GetUnicodeString(const std::string& text);

/// False only when the lookup of name in parent reports fnfErr; found is filled only on success.
bool FSObjectExists(const FSRef* parent, const std::string& name, FSRef* found);

/// The item of that name in parent, found (of any kind) or newly made as a folder.
OSErr FSCreateDirectory(const FSRef* parent, const std::string& name, FSRef* folder);

}  // namespace corvane
