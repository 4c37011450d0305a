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

void RecordItemPlacing(signed char copy, const FSRef* item, const FSRef* destination, const std::string& finalName) {
    if (Installed().itemPlacing) {
        Installed().itemPlacing(copy, item, destination, finalName);
    }
}

void RecordItemPlaced(const FSRef* placed) {
    if (Installed().itemPlaced) {
        Installed().itemPlaced(placed);
    }
}

}  // namespace corvane
