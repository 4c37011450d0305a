#include "grouping/PlacementCounts.h"

PlacementCounts gPlacementCounts;
