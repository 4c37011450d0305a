#include "grouping/PlacementCounts.h"

namespace corvane {

PlacementCounts gPlacementCounts;

}  // namespace corvane
