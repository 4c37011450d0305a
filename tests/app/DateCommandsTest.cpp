// The four date commands end to end, each command string to its own folders: modification or birth
// time, day or month folders, in the C locale with the time zone fixed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include "support/RunProgram.h"
#include "support/TempDir.h"

using namespace corvane;

namespace {

using Names = std::vector<std::string>;

constexpr std::time_t kFebruary3rd2001Noon = 981201600;  // 2001-02-03 12:00 UTC

std::string Formatted(std::time_t date, const char* format) {
    std::tm parts{};
    gmtime_r(&date, &parts);
    char text[64];
    return std::string(text, std::strftime(text, sizeof text, format, &parts));
}

std::optional<std::time_t> BirthTime(const std::string& path) {
    struct statx info {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &info) != 0 || (info.stx_mask & STATX_BTIME) == 0) {
        return std::nullopt;
    }
    return info.stx_btime.tv_sec;
}

class DateCommands : public ::testing::Test {
protected:
    // A folder holding a.txt, modified at noon on 3 February 2001 whenever it was made.
    std::string folderWithAnOldFile(const std::string& name) {
        const std::string folder = dir / name;
        WriteFile(folder + "/a.txt", "a");
        const timespec times[2] = {{kFebruary3rd2001Noon, 0}, {kFebruary3rd2001Noon, 0}};
        EXPECT_EQ(utimensat(AT_FDCWD, (folder + "/a.txt").c_str(), times, 0), 0);
        return folder;
    }
    void run(const std::string& command, const std::string& folder) {
        const ProgramResult result = RunCorvane(
            {"run", command, folder},
            {{"HOME", dir / "home"}, {"XDG_CONFIG_HOME", dir / "config"}, {"TZ", "UTC"}, {"LC_ALL", "C"}});
        ASSERT_EQ(result.exitStatus, 0) << result.err;
    }
    TempDir dir;
};

TEST_F(DateCommands, ModificationDatesGoToDayOrMonthFoldersInTheirYear) {
    const std::pair<const char*, const char*> rows[] = {
        {"Aggregate Files by Modification Date", "Feb 03, 2001"},
        {"Aggregate Files by Modification Date Ignoring Days", "Feb 2001"},
    };
    for (const auto& [command, inner] : rows) {
        const std::string folder = folderWithAnOldFile(command);
        run(command, folder);
        EXPECT_EQ(ListNames(folder), (Names{"2001", "a.txt"})) << command;
        EXPECT_EQ(ListNames(folder + "/2001"), Names{inner}) << command;
        EXPECT_EQ(ReadFile(folder + "/2001/" + inner + "/a.txt"), "a") << command;
    }
}

TEST_F(DateCommands, CreationDatesAreBirthTimesWhateverTheModificationDate) {
    const std::pair<const char*, const char*> rows[] = {
        {"Aggregate Files by Creation Date", "%b %d, %Y"},
        {"Aggregate Files by Creation Date Ignoring Days", "%b %Y"},
    };
    for (const auto& [command, format] : rows) {
        const std::string folder = folderWithAnOldFile(command);
        const std::optional<std::time_t> born = BirthTime(folder + "/a.txt");
        if (!born) {
            GTEST_SKIP() << "this file system keeps no birth times";
        }
        run(command, folder);
        const std::string year = Formatted(*born, "%Y");
        ASSERT_EQ(ListNames(folder), (Names{year, "a.txt"})) << command << ": by birth, not by 2001";
        // The copy in the year folder was born when it was made, and is moved on by that date.
        const Names inner = ListNames(folder + "/" + year);
        ASSERT_EQ(inner.size(), 1u) << command;
        const std::string copy = folder + "/" + year + "/" + inner[0] + "/a.txt";
        ASSERT_EQ(ReadFile(copy), "a") << command;
        EXPECT_EQ(inner[0], Formatted(BirthTime(copy).value_or(0), format)) << command;
    }
}

}  // namespace
