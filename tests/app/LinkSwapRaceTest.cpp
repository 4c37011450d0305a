// Another local user who can write the tidied folder swaps one of its folders for a symbolic link to a
// folder outside it, again and again, while Corvane runs. Whatever Corvane was about to do in that
// folder must not land outside: nothing there may be read in, written, moved, made or removed.

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <sstream>
#include <stdexcept>

#include "support/FilesTestSupport.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

using namespace corvane;

namespace fs = std::filesystem;

namespace {

const std::string kByExtension = "Aggregate Files by Extension";
const std::string kByDate = "Aggregate Files by Modification Date";
const std::string kDay = "Mar 05, 2007";
constexpr time_t kNoonOfTheDay = 1173096000;  // 2007-03-05 12:00 UTC
// Enough files per folder that the run outlasts many swaps.
constexpr int kFilesPerFolder = 1000;

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
    if (lstat(path.c_str(), &st) != 0) {
        return "missing";
    }
    std::ostringstream text;
    text << std::oct << st.st_mode << std::dec << " mtime " << st.st_mtim.tv_sec << '.' << st.st_mtim.tv_nsec
         << " ctime " << st.st_ctim.tv_sec << '.' << st.st_ctim.tv_nsec;
    if (S_ISREG(st.st_mode)) {
        text << ' ' << ReadFile(path);
    }
    return text.str();
}

std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> entries{{".", Describe(folder)}};
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        entries[entry.path().lexically_relative(folder).string()] = Describe(entry.path());
    }
    return entries;
}

// The contents of the plain files of a tree; links are never followed.
std::set<std::string> Contents(const fs::path& tree) {
    std::set<std::string> contents;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(tree)) {
        if (entry.symlink_status().type() == fs::file_type::regular) {
            contents.insert(ReadFile(entry.path()));
        }
    }
    return contents;
}

// The other user's program. The test kills it as soon as Corvane is done; it also stops by itself after
// a million swaps or once the test process is gone, so that it can never outlive a test for long.
class Swapper {
public:
    Swapper(const std::string& one, const std::string& other) {
        void* shared = mmap(nullptr, sizeof(std::atomic<long>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (shared == MAP_FAILED) {
            throw std::runtime_error("mmap failed");
        }
        swaps_ = new (shared) std::atomic<long>(0);
        const pid_t test = getpid();
        child_ = fork();
        if (child_ == 0) {
            while (*swaps_ < 1'000'000 && getppid() == test) {
                if (renameat2(AT_FDCWD, one.c_str(), AT_FDCWD, other.c_str(), RENAME_EXCHANGE) == 0) {
                    ++*swaps_;
                }
            }
            _exit(0);
        }
    }
    ~Swapper() {
        stop();
        munmap(swaps_, sizeof *swaps_);
    }
    Swapper(const Swapper&) = delete;
    Swapper& operator=(const Swapper&) = delete;

    /// Ends the swapping; the number of swaps made.
    long stop() {
        if (child_ > 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
            child_ = -1;
        }
        return *swaps_;
    }

private:
    std::atomic<long>* swaps_;
    pid_t child_ = -1;
};

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
    // link meets a marker to read, overwrite, move or remove. Each content is unique to its file.
    std::set<std::string> originals;
    std::set<std::string> markers;
    const auto put = [&](const fs::path& file, const std::string& kind, std::set<std::string>& contents) {
        const std::string content = kind + " " + file.lexically_relative(dir.path()).string();
        WriteFile(file, content);
        SetModified(file, kNoonOfTheDay);
        contents.insert(content);
    };
    for (int i = 0; i < kFilesPerFolder; ++i) {
        const std::string name = "a" + std::to_string(i) + (i % 4 != 0 ? ".txt" : ".dat");
        put(folder / name, "tidied", originals);
        put(sub / name, "tidied", originals);
        put(outside / name, "SECRET", markers);
    }
    put(outside / "secret.txt", "SECRET", markers);
    fs::permissions(outside, fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directory_symlink(outside, folder / ".swap");
    const std::map<std::string, std::string> before = Snapshot(outside);
    ASSERT_EQ(corvane({"defaults", "write", "RecurseFolders", "-bool", race.recurse ? "true" : "false"}).exitStatus, 0);

    const std::string link = (folder / ".swap").string();
    Swapper swapper((folder / race.swapped).string(), link);
    const ProgramResult result = corvane({"run", race.command, folder.string()});
    const long swaps = swapper.stop();
    // The link is an item like any other to Corvane, which may have moved it into a date folder of
    // its own (dated by what it points to); wherever it is, it goes before the tree is looked at.
    std::vector<fs::path> links;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_symlink()) {
            links.push_back(entry.path());
        }
    }
    for (const fs::path& each : links) {
        fs::remove(each);
    }

    // A placement that the swaps spoil fails, and so the run says 1; anything else is a fault.
    EXPECT_LE(result.exitStatus, 1) << result.err.substr(result.err.size() - std::min<size_t>(result.err.size(), 2000));
    EXPECT_EQ(Snapshot(outside), before) << "the outside folder was changed, after " << swaps << " swaps";
    const std::set<std::string> inside = Contents(folder);
    for (const std::string& marker : markers) {
        EXPECT_EQ(inside.count(marker), 0u) << "read in from outside: " << marker;
    }
    std::vector<std::string> lost;
    std::set_difference(originals.begin(), originals.end(), inside.begin(), inside.end(), std::back_inserter(lost));
    EXPECT_TRUE(lost.empty()) << lost.size() << " files lost, the first: " << lost.front();
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
                      Race{"DayFolderTheRunMakesWithTheOutsideOnAnotherFileSystem", kByDate, false, "2007/" + kDay, true}),
    [](const ::testing::TestParamInfo<Race>& each) { return each.param.name; });

}  // namespace
