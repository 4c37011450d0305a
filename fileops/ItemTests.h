// The questions every layer asks of an item: is it a plain folder, is it invisible, what is it called.
#pragma once

#include <optional>
#include <string>

#include "platform/files/Files.h"

namespace corvane {

/// A container (folder or volume) that is not a package; false when it cannot be described.
bool ItemIsPlainFolder(const FSRef* item);

/// A name beginning with "."; for an item that is not a folder, also the Finder invisible flag.
bool IsInvisible(const FSRef* item);

/// The outputs that are given: Finder information, extended Finder information, is-directory.
OSErr FSGetFinderInfo(const FSRef* item, FinderInfo* info, ExtendedFinderInfo* extendedInfo, Boolean* isDirectory);

/// The item's catalog name; paramErr without a place for it.
OSErr FSGetFileDirName(const FSRef* item, HFSUniStr255* name);

/// The item's name as UTF-8 text, or none when it cannot be read.
std::optional<std::string> FSGetName(const FSRef* item);

}  // namespace corvane
