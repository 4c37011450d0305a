// Whoever keeps a record of what a run placed (the run journal) is told of each placement as it
// happens, so that an undo can find every key folder made and every item copied or moved.
#pragma once

#include <functional>
#include <string>

#include "platform/files/Files.h"

namespace corvane {

struct PlacementRecorder {
    /// A key folder that the run made.
    std::function<void(const FSRef* folder)> folderMade;
    /// An item that now lies at placed, copied (copy nonzero) or moved from sourcePath; told also when
    /// the placement failed afterwards (its comment did not follow), since the item is there.
    std::function<void(signed char copy, const std::string& sourcePath, const FSRef* placed)> itemPlaced;
};

/// Installs recorder for the placements that follow; returns the one installed before.
PlacementRecorder SetPlacementRecorder(PlacementRecorder recorder);

void RecordFolderMade(const FSRef* folder);
void RecordItemPlaced(signed char copy, const std::string& sourcePath, const FSRef* placed);

}  // namespace corvane
