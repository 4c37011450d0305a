// How the files of a run fared, counted as the strategies place them, for the summaries that the
// command line and the file managers show after each folder.
#pragma once

#include <cstdint>

namespace corvane {

struct PlacementCounts {
    std::uint64_t copied = 0;
    std::uint64_t moved = 0;
    std::uint64_t leftAlone = 0;  ///< invisible, without the key asked for, or already in place
    std::uint64_t failed = 0;
    std::uint64_t keyFolders = 0;  ///< the key folders that files were copied or moved into, per pass

    PlacementCounts& operator+=(const PlacementCounts& other) {
        copied += other.copied;
        moved += other.moved;
        leftAlone += other.leftAlone;
        failed += other.failed;
        keyFolders += other.keyFolders;
        return *this;
    }
};

/// What the strategies have done since the front end last cleared it.
extern PlacementCounts gPlacementCounts;

}  // namespace corvane
