#include "fileops/PlacementRecorder.h"

#include <utility>

namespace corvane {

namespace {

PlacementRecorder& Installed() {
    static PlacementRecorder recorder;
    return recorder;
}

}  // namespace

PlacementRecorder SetPlacementRecorder(PlacementRecorder recorder) {
    return std::exchange(Installed(), std::move(recorder));
}

void RecordFolderMade(const FSRef* folder) {
    if (Installed().folderMade) {
        Installed().folderMade(folder);
    }
}

bool PlacementsRecorded() { return static_cast<bool>(Installed().itemPlacing); }

void RecordItemPlacing(signed char copy, const FSRef* item, const std::string& sourcePath,
                       const std::string& destinationPath, const std::string& finalName) {
    if (Installed().itemPlacing) {
        Installed().itemPlacing(copy, item, sourcePath, destinationPath, finalName);
    }
}

void RecordItemPlaced(const FSRef* placed) {
    if (Installed().itemPlaced) {
        Installed().itemPlaced(placed);
    }
}

}  // namespace corvane
