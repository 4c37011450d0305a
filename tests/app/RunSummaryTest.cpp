// The notification's text of a request: what went where, and what failed, pointing to the log.
#include <gtest/gtest.h>

#include "app/RunSummary.h"

using namespace corvane;

TEST(RunSummary, ANotificationTellsFailuresAndFoldersNotTidied) {
    const std::vector<FolderOutcome> one{{"/home/me/Down\nloads", "", PlacementCounts{3, 1, 2, 1, 2}}};
    const NotificationText text = NotificationOf(one);
    EXPECT_EQ(text.summary, "Tidied Down\\nloads");
    EXPECT_EQ(text.body, "3 copied and 1 moved into 2 folders, 2 left alone. 1 failed: the log says why "
                         "(journalctl --user -t Corvane).");
    const std::vector<FolderOutcome> two{{"/a", "", PlacementCounts{1, 0, 0, 0, 1}}, {"/b", "/b does not exist", {}}};
    EXPECT_EQ(NotificationOf(two).body, "1 copied and 0 moved into 1 folder, 0 left alone. 0 failed, 1 folder not "
                                        "tidied: the log says why (journalctl --user -t Corvane).");
}
