// The key strategies when the folder changes under them while they run.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include "grouping/KeyGrouping.h"
#include "platform/base/Log.h"
#include "support/TempDir.h"

using namespace corvane;

TEST(KeyGrouping, FilesThatVanishAfterTheListingAreLoggedAndSkipped) {
    TempDir dir;
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        WriteFile(dir / (std::string("Folder/") + name), name);
    }
    FSRef folder{};
    ASSERT_EQ(FSPathMakeRef((dir / "Folder").c_str(), &folder, nullptr), noErr);
    std::vector<std::string> lines;
    std::string first;
    // Another process empties the folder as soon as the first file is under way.
    std::vector<std::string> failures;
    const LogSink previous = SetLogSink([&](const std::string& line, LogPriority priority) {
        lines.push_back(line);
        if (priority == LogPriority::warning) {
            failures.push_back(line);
        }
        if (first.empty() && line.starts_with("Moving: ")) {
            first = line.substr(line.rfind('/') + 1);
            for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
                if (name != first) {
                    unlink((dir / (std::string("Folder/") + name)).c_str());
                }
            }
        }
    });
    aggregate_files_by_extension(&folder);
    SetLogSink(previous);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Inavlid FSRef"), 2);
    EXPECT_EQ(failures, (std::vector<std::string>{"Inavlid FSRef", "Inavlid FSRef"}));
    EXPECT_EQ(ListNames(dir / "Folder/txt"), std::vector<std::string>{first});
}
