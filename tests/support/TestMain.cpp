// The test programs' main: the Finder answers comment events from the start, as it does in corvane.
#include <gtest/gtest.h>

#include "platform/finder/Finder.h"

using namespace corvane;

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    InstallFinder();
    return RUN_ALL_TESTS();
}
