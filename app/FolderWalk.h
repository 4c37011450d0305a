// Which folders a request groups and in which order.
#pragma once

#include "platform/files/Files.h"

namespace corvane {

/// The preference RecurseFolders, read afresh: true only when stored as the boolean true.
bool RecurseFolders();

/// Logs "Aggregating folder %@", then walks and groups folder inside its own pool.
void FoldFolder(const FSRef* folder);

/// Groups every visible plain subfolder first (when RecurseFolders says so), depth first, then folder.
void fold_folder(const FSRef* folder);

/// Runs the strategy of gCorvaneType on folder.
void aggregate_files(const FSRef* folder);

}  // namespace corvane
