// The children of a folder, fetched ten at a time, as a list of references in listing order.
#pragma once

#include <vector>

#include "platform/files/Files.h"

namespace corvane {

/// Every direct child of container, appended in listing order. On failure the collection is left
/// empty and the status says why; paramErr when an out-parameter is missing.
OSErr FSGetDirectoryItems(const FSRef* container, std::vector<FSRef>* collection, ItemCount* count,
                          Boolean* containerChanged);

/// All children of folder; empty when it has none or cannot be listed.
std::vector<FSRef> GetDirectoryItemsList(const FSRef* folder);

/// The children of folder that are not plain folders (files, packages, items that cannot be
/// described); empty when there are none or the folder cannot be listed.
std::vector<FSRef> GetDirectoryFilesList(const FSRef* folder);

}  // namespace corvane
