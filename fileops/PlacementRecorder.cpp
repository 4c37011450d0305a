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

void RecordItemPlaced(signed char copy, const std::string& sourcePath, const FSRef* placed) {
    if (Installed().itemPlaced) {
        Installed().itemPlaced(copy, sourcePath, placed);
    }
}

}  // namespace corvane
