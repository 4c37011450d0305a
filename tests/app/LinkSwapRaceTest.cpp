// While Corvane runs, another user swaps a folder of the tidied one for a link to a folder outside, again and
// again: nothing outside may be read in, written, moved, made or removed.

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <sstream>
#include <thread>

#include "support/FilesTestSupport.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

using namespace corvane;

namespace fs = std::filesystem;

namespace {

const std::string kByExtension = "Aggregate Files by Extension";
const std::string kByDate = "Aggregate Files by Modification Date";
const std::string kDay = "Mar 05, 2007";

struct Race {
    std::string name;
    std::string command;
    bool recurse;
    std::string swapped;  ///< relative to the tidied folder; exchanged with the hidden link ".swap" there
    bool acrossFileSystems;  ///< sub/<day> and the outside folder are each a tmpfs of their own
};

void PrintTo(const Race& race, std::ostream* out) { *out << race.name; }

// Everything a change would show: kind, permissions, times of change and the bytes.
std::string Describe(const fs::path& path) {
    struct stat st {};
    lstat(path.c_str(), &st);
    std::ostringstream text;
    text << std::oct << st.st_mode << std::dec << " mtime " << st.st_mtim.tv_sec << '.' << st.st_mtim.tv_nsec
         << " ctime " << st.st_ctim.tv_sec << '.' << st.st_ctim.tv_nsec << ' '
         << (S_ISREG(st.st_mode) ? ReadFile(path) : "");
    return text.str();
}

std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> entries{{".", Describe(folder)}};
    for (const fs::path& path : fs::recursive_directory_iterator(folder)) {
        entries[path.lexically_relative(folder).string()] = Describe(path);
    }
    return entries;
}

class LinkSwapRace : public ::testing::TestWithParam<Race> {
protected:
    ProgramResult corvane(const std::vector<std::string>& arguments) {
        return RunCorvane(arguments, UserEnvironment(dir / "home"));
    }
    TempDir dir;
};

TEST_P(LinkSwapRace, NothingOutsideTheTidiedFolderIsTouched) {
    const Race& race = GetParam();
    const fs::path folder = dir.path() / "Folder";
    const fs::path sub = folder / "sub";
    fs::path outside = dir.path() / "outside";
    std::optional<TmpfsMount> outsideFileSystem;
    std::optional<TmpfsMount> dayFileSystem;
    if (race.acrossFileSystems) {
        // Moving from sub into its day folder crosses file systems, and so would a move that followed the link.
        outsideFileSystem.emplace(dir / "outside-fs", "16m");
        dayFileSystem.emplace((sub / kDay).string(), "16m");
        if (!outsideFileSystem->mounted || !dayFileSystem->mounted) {
            GTEST_SKIP() << "mounting a tmpfs was refused; run the tests as root";
        }
        outside = dir.path() / "outside-fs/outside";
    } else if (race.command == kByDate) {
        fs::create_directories(sub / kDay);
    }

    // Every file to tidy has a marker by its name outside, so that any step that strays through the
    // link meets a marker to read, overwrite, move or remove. Each content is unique to its file; the
    // files are enough that the run outlasts many swaps, and dated on the day at noon.
    std::set<std::string> originals;
    const auto put = [&](const fs::path& file, const std::string& kind) {
        const std::string content = kind + " " + file.lexically_relative(dir.path()).string();
        WriteFile(file, content);
        SetModified(file, 1173096000);
        return content;
    };
    for (int i = 0; i < 1000; ++i) {
        const std::string name = "a" + std::to_string(i) + (i % 4 != 0 ? ".txt" : ".dat");
        originals.insert({put(folder / name, "tidied"), put(sub / name, "tidied")});
        put(outside / name, "SECRET");
    }
    put(outside / "secret.txt", "SECRET");
    fs::permissions(outside, fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directory_symlink(outside, folder / ".swap");
    const std::map<std::string, std::string> before = Snapshot(outside);
    ASSERT_EQ(corvane({"defaults", "write", "RecurseFolders", "-bool", race.recurse ? "true" : "false"}).exitStatus, 0);

    // The other user's program swaps until Corvane is done.
    const std::string one = folder / race.swapped;
    const std::string other = folder / ".swap";
    std::atomic<long> swaps = 0;
    std::jthread swapper([&](const std::stop_token& stop) {
        while (!stop.stop_requested()) {
            swaps += renameat2(AT_FDCWD, one.c_str(), AT_FDCWD, other.c_str(), RENAME_EXCHANGE) == 0 ? 1 : 0;
        }
    });
    const ProgramResult result = corvane({"run", race.command, folder.string()});
    swapper.request_stop();
    swapper.join();
    // A placement that the swaps spoil fails, and so the run says 1; anything else is a fault.
    EXPECT_LE(result.exitStatus, 1) << result.err.substr(result.err.size() - std::min<size_t>(result.err.size(), 2000));
    EXPECT_EQ(Snapshot(outside), before) << "the outside folder was changed, after " << swaps << " swaps";
    // What the tidied folder holds now, links never followed, is every original and nothing else.
    std::set<std::string> inside;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.symlink_status().type() == fs::file_type::regular) {
            inside.insert(ReadFile(entry.path()));
        }
    }
    std::vector<std::string> odd;
    std::set_symmetric_difference(originals.begin(), originals.end(), inside.begin(), inside.end(),
                                  std::back_inserter(odd));
    EXPECT_TRUE(odd.empty()) << odd.size() << " files lost or read in from outside, the first: " << odd.front();
    if (swaps == 0) {
        GTEST_SKIP() << "the swapper never got to swap while Corvane ran: nothing was raced";
    }
}

INSTANTIATE_TEST_SUITE_P(
    , LinkSwapRace,
    ::testing::Values(Race{"SubfolderOfARecursiveKeyRun", kByExtension, true, "sub", false},
                      Race{"KeyFolderTheRunMakes", kByExtension, true, "txt", false},
                      Race{"DayFolderTheRunMakes", kByDate, false, "2007/" + kDay, false},
                      Race{"DayFolderThatWasThere", kByDate, false, "sub/" + kDay, false},
                      Race{"SubfolderWhoseDayFolderIsAnotherFileSystem", kByDate, false, "sub", true},
                      Race{"DayFolderTheRunMakesWithTheOutsideOnAnotherFileSystem", kByDate, false, "2007/" + kDay,
                           true}),
    [](const ::testing::TestParamInfo<Race>& each) { return each.param.name; });

}  // namespace
