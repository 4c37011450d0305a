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
    /// An item about to be copied (copy nonzero) or moved from sourcePath into the folder at
    /// destinationPath under finalName: told before anything is placed, so that a run killed in the
    /// middle of a placement leaves its trace.
    std::function<void(signed char copy, const FSRef* item, const std::string& sourcePath,
                       const std::string& destinationPath, const std::string& finalName)>
        itemPlacing;
    /// The item that the placement told last now lies at placed.
    std::function<void(const FSRef* placed)> itemPlaced;
};

/// Installs recorder for the placements that follow; returns the one installed before.
PlacementRecorder SetPlacementRecorder(PlacementRecorder recorder);

void RecordFolderMade(const FSRef* folder);
/// Whether a recorder listens, so that nothing is worked out for nobody.
bool PlacementsRecorded();
void RecordItemPlacing(signed char copy, const FSRef* item, const std::string& sourcePath,
                       const std::string& destinationPath, const std::string& finalName);
void RecordItemPlaced(const FSRef* placed);

}  // namespace corvane
