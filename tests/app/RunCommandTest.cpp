// `corvane run` and `corvane defaults` as a user runs them: real folders, the real program, its log.

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/base/FileDescriptors.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

using namespace corvane;

namespace {

class RunCommand : public ::testing::Test {
protected:
    ProgramResult corvane(const std::vector<std::string>& arguments, const std::vector<std::string>& launcher = {},
                          const std::string& program = CORVANE_BINARY) {
        return RunCorvane(arguments, UserEnvironment(dir / "home"), launcher, program);
    }
    TempDir dir;
};

// Declared after the TempDir, so that a tree no path can reach is gone before removal by path gets to it.
struct RemovedFirst {
    ~RemovedFirst() { std::system(("rm -rf '" + path + "'").c_str()); }
    const std::string path;
};

std::string CouldNotBeMoved(const std::string& file, const std::string& folder) {
    return "The file \"" + file + "\" could not be moved to \"" + folder +
           "\". A file by the same name may exists there already.";
}

}  // namespace

// Usage errors exit with 2 and name what was wrong; folder names may look like options after "--".
TEST_F(RunCommand, TheCommandLineAndTheDefaultsRoundTrip) {
    const std::vector<std::vector<std::string>> mistakes = {
        {}, {"run"}, {"defaults"}, {"defaults", "delete"}, {"defaults", "write", "RecurseFolders"},
        {"defaults", "write", "RecurseFolders", "-bool", "maybe"},
        {"defaults", "write", "RecurseFolders", "-int", "12abc"}};
    for (const auto& arguments : mistakes) {
        const ProgramResult result = corvane(arguments);
        EXPECT_TRUE(result.exitStatus == 2 && !result.err.empty()) << testing::PrintToString(arguments);
    }
    const ProgramResult unknown = corvane({"run", "Aggregate Files By Extension", dir / "A"});
    EXPECT_EQ(unknown.exitStatus, 2);
    EXPECT_NE(unknown.err.find("unknown command \"Aggregate Files By Extension\""), std::string::npos) << unknown.err;
    EXPECT_NE(unknown.err.find("\"Aggregate Files by Creation Date Ignoring Days\""), std::string::npos) << unknown.err;
    const ProgramResult subcommand = corvane({"frobnicate"});
    EXPECT_EQ(subcommand.exitStatus, 2);
    EXPECT_NE(subcommand.err.find("\"frobnicate\""), std::string::npos) << subcommand.err;
    const ProgramResult version = corvane({"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out, "corvane " CORVANE_PROJECT_VERSION "\n");

    WriteFile(dir / "-x/a.txt", "a");
    WriteFile(dir / "--help/b.txt", "b");
    const ProgramResult options =
        corvane({"run", "Aggregate Files by Extension", "--", "-x", "--help"}, {"env", "-C", dir.path().string()});
    EXPECT_EQ(options.exitStatus, 0) << options.err;
    EXPECT_EQ(ReadFile(dir / "-x/txt/a.txt") + ReadFile(dir / "--help/txt/b.txt"), "ab");

    EXPECT_EQ(corvane({"defaults", "read", "RecurseFolders"}).exitStatus, 1);
    EXPECT_EQ(corvane({"defaults", "write", "Greeting", "-string", "hello there"}).exitStatus, 0);
    EXPECT_EQ(corvane({"defaults", "write", "RecurseFolders", "-bool", "false"}).exitStatus, 0);
    EXPECT_EQ(corvane({"defaults", "read"}).out, "{\n    Greeting = hello there;\n    RecurseFolders = 0;\n}\n");
    EXPECT_EQ(corvane({"defaults", "delete", "Greeting"}).exitStatus, 0);
    EXPECT_EQ(corvane({"defaults", "delete", "Greeting"}).exitStatus, 1);
    EXPECT_EQ(corvane({"defaults", "read"}).out, "{\n    RecurseFolders = 0;\n}\n");
}

// B comes before A, as the user gave them; a name that is no UTF-8 is refused before it is looked up; a
// key name taken by a file fails each file of that key, and the run goes on.
TEST_F(RunCommand, EachFolderIsAnsweredInTheOrderGivenAndTheRunIsSummed) {
    WriteFile(dir / "A/a.txt", "a");
    WriteFile(dir / "A/b.txt", "b");
    WriteFile(dir / "A/.hidden.txt", "h");
    WriteFile(dir / "A/noext", "n");
    WriteFile(dir / "A/txt", "a file where the key folder goes");
    WriteFile(dir / "B/b.pdf", "b");
    WriteFile(dir / "B/c.pdf", "c");
    WriteFile(dir / "file.txt", "f");
    WriteFile(dir / "Tool.app/Contents/x.txt", "x");
    const ProgramResult result = corvane({"run", "Aggregate Files by Extension", dir / "B", dir / "missing",
                                          dir / "file.txt", dir / "Tool.app", dir / "bad\xff", dir / "A"});
    EXPECT_EQ(result.exitStatus, 1);
    const std::string expected = dir / "B" + ": 2 copied, 0 moved, 0 left alone, 0 failed\n" + dir / "missing" +
                                 " does not exist\n" + dir / "file.txt" + " is not a folder\n" + dir / "Tool.app" +
                                 " is a package, which Corvane tidies as a file and never enters\n" + dir / "bad\xff" +
                                 " is not a name in UTF-8\n" + dir / "A" +
                                 ": 0 copied, 0 moved, 3 left alone, 2 failed\n" +
                                 "In all: 2 copied, 0 moved, 3 left alone, 2 failed\n";
    EXPECT_NE(result.err.find(expected), std::string::npos) << result.err;
    EXPECT_EQ(ListNames(dir / "B/pdf"), (Names{"b.pdf", "c.pdf"}));
    EXPECT_EQ(ReadFile(dir / "A/txt"), "a file where the key folder goes");
    EXPECT_EQ(corvane({"run", "Aggregate Files by Extension", dir / "missing", dir / "B"}).exitStatus, 1)
        << "a folder skipped is a failure of the run, though every file was placed";
}

// Odd names are placed and logged as text; a FIFO is never opened and a link is placed as the link; a key
// name taken by a link, to a folder outside, to the folder itself or to nothing, is never placed through.
TEST_F(RunCommand, OddNamesAndEntriesAreLoggedAsTextAndNothingIsLostOrPlacedThroughALink) {
    WriteFile(dir / "Folder/100%d %@ done.txt", "percent");
    WriteFile(dir / "Folder/two\nlines.txt", "newline");
    WriteFile(dir / "Folder/\x1b[31mred.txt", "escape");
    WriteFile(dir / "Folder/a:b.txt", "colon");
    WriteFile(dir / "Folder/bad\xff.txt", "not utf-8");
    ASSERT_EQ(mkfifo((dir / "Folder/pipe.txt").c_str(), 0644), 0);
    ASSERT_EQ(symlink("a:b.txt", (dir / "Folder/link.txt").c_str()), 0);
    WriteFile(dir / "Outside/kept.md", "kept");
    const std::map<std::string, std::string> links{
        {"md", dir / "Outside"}, {"csv", "."}, {"log", dir / "Outside/gone"}};
    for (const auto& [key, target] : links) {
        WriteFile(dir / ("Folder/a." + key), key);
        ASSERT_EQ(symlink(target.c_str(), (dir / ("Folder/" + key)).c_str()), 0);
    }
    const ProgramResult result = corvane({"run", "Aggregate Files by Extension", dir / "Folder"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(ReadFile(dir / "Folder/txt/100%d %@ done.txt"), "percent");
    EXPECT_EQ(ReadFile(dir / "Folder/txt/two\nlines.txt"), "newline");
    EXPECT_EQ(ReadFile(dir / "Folder/txt/a:b.txt"), "colon");
    EXPECT_EQ(ReadFile(dir / "Folder/bad\xff.txt"), "not utf-8");
    EXPECT_NE(access((dir / "Folder/txt/bad\xff.txt").c_str(), F_OK), 0);
    struct stat info {};
    ASSERT_EQ(lstat((dir / "Folder/txt/link.txt").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_NE(lstat((dir / "Folder/txt/pipe.txt").c_str(), &info), 0);
    const std::vector<std::string> lines = result.logLines();
    EXPECT_TRUE(Contains(lines, "Moving: " + dir / "Folder/100%d %@ done.txt"));
    EXPECT_TRUE(Contains(lines, "Moved \"a/b.txt\" to \"txt\""));
    // A name cannot forge a line of its own, nor hand the reader's terminal a sequence.
    EXPECT_TRUE(Contains(lines, "Moved \"two\\nlines.txt\" to \"txt\""));
    EXPECT_TRUE(Contains(lines, "Moved \"\\x1b[31mred.txt\" to \"txt\""));
    EXPECT_EQ(result.err.find('\x1b'), std::string::npos);
    EXPECT_TRUE(Contains(lines, CouldNotBeMoved(dir / "Folder/pipe.txt", dir / "Folder/txt"))) << result.err;
    EXPECT_EQ(ListNames(dir / "Outside"), Names{"kept.md"});
    for (const auto& [key, target] : links) {
        EXPECT_EQ(std::filesystem::read_symlink(dir / ("Folder/" + key)).string(), target);
        EXPECT_TRUE(Contains(lines, CouldNotBeMoved(dir / ("Folder/a." + key), dir / ("Folder/" + key)))) << key;
    }
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "An error occurred: -1407"), 3) << result.err;
}

// So few descriptors that a walk keeping open every folder it has passed runs out among the siblings,
// while one holding only the folders it is inside of still reaches the bottom of the chain, whose long
// names take it deeper than a path may be: the test builds and reads it through a descriptor per level.
TEST_F(RunCommand, ARecursiveWalkFitsInFewDescriptorsAndReachesBelowPathMax) {
    if (std::system("command -v prlimit >/dev/null") != 0) {
        GTEST_SKIP() << "prlimit is missing (Debian: util-linux)";
    }
    std::vector<std::string> folders;
    for (int sibling = 0; sibling < 60; ++sibling) {
        folders.push_back(dir / ("Wide/S" + std::to_string(sibling)));
    }
    const std::string name(140, 'D');
    ASSERT_GT((dir / "Deep").size() + 30 * (name.size() + 1), static_cast<std::size_t>(PATH_MAX));
    const RemovedFirst chain{dir / "Deep"};
    std::filesystem::create_directories(dir / "Deep");
    std::vector<UniqueFd> levels;
    levels.emplace_back(open((dir / "Deep").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (int level = 1; level <= 30; ++level) {
        ASSERT_EQ(mkdirat(levels.back().get(), name.c_str(), 0755), 0) << level;
        levels.emplace_back(openat(levels.back().get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        folders.push_back("/proc/self/fd/" + std::to_string(levels.back().get()));
    }
    const std::vector<std::string> extensions{"txt", "pdf", "jpg"};
    for (const std::string& folder : folders) {
        for (const std::string& extension : extensions) {
            WriteFile(folder + "/f." + extension, extension);
        }
    }
    ASSERT_EQ(corvane({"defaults", "write", "RecurseFolders", "-bool", "true"}).exitStatus, 0);
    for (const std::string top : {"Wide", "Deep"}) {
        const ProgramResult result =
            corvane({"run", "Aggregate Files by Extension", dir / top}, {"prlimit", "--nofile=50:50", "--"});
        EXPECT_EQ(result.exitStatus, 0) << top;
        const std::vector<std::string> lines = result.logLines();
        // The folder given is named once, not each subfolder the walk enters.
        EXPECT_EQ(lines.front(), "Aggregating folder " + top);
        for (std::size_t at = 1; at < lines.size(); ++at) {
            EXPECT_TRUE(lines[at].starts_with("Moving: ") || lines[at].starts_with("Moved "))
                << top << ": " << lines[at];
        }
    }
    std::vector<std::string> untidied;
    for (const std::string& folder : folders) {
        for (const std::string& extension : extensions) {
            const std::string file = folder + "/f." + extension;
            if (ReadFile(folder + "/" + extension + "/f." + extension) != extension || ReadFile(file) != extension) {
                untidied.push_back(file);
            }
        }
    }
    EXPECT_TRUE(untidied.empty()) << untidied.size() << " files not copied, the first " << untidied.front();
}
