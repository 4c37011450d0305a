// The assertion reporter ends the process with the place and the text of the failed condition.
#include <gtest/gtest.h>

#include "platform/base/Assertions.h"

using namespace corvane;

namespace {

int Checked(const int* value) {
    CORVANE_ASSERT(value != NULL);
    return *value;
}

} // namespace

TEST(AssertionsDeathTest, FailedConditionIsReportedAndAborts) {
    EXPECT_DEATH(Checked(nullptr), "AssertionsTest\\.cpp:[0-9]+: failed assertion `value != NULL'\n");
    const int value = 3;
    EXPECT_EQ(Checked(&value), 3);
}
