// `corvane undo` after real runs: every tree comes back exactly as it was, what changed since the run is
// kept and reported, a name taken since is never replaced, a killed run is taken back, and a second
// undo changes nothing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "support/RunProgram.h"
#include "support/TempDir.h"

using namespace corvane;

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kCommands{
    "Aggregate Files by Extension",         "Aggregate Files by File Type",
    "Aggregate Files by Mime Type",         "Aggregate Files by Modification Date",
    "Aggregate Files by Creation Date",     "Aggregate Files by Modification Date Ignoring Days",
    "Aggregate Files by Creation Date Ignoring Days"};

// Each entry below root: its kind, content or link target, permissions, data time and extended
// attributes. A folder's own times change with its entries and are left out.
std::map<std::string, std::string> Snapshot(const std::string& root) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string path = entry.path();
        struct stat info {};
        lstat(path.c_str(), &info);
        std::string facts = std::to_string(info.st_mode);
        if (S_ISREG(info.st_mode)) {
            facts += " " + ReadFile(path) + " " + std::to_string(info.st_mtim.tv_sec) + "." +
                     std::to_string(info.st_mtim.tv_nsec);
        } else if (S_ISLNK(info.st_mode)) {
            facts += " -> " + fs::read_symlink(path).string();
        }
        char names[1024];
        const ssize_t size = llistxattr(path.c_str(), names, sizeof names);
        for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
            facts += std::string(" ") + (names + at) + "=" + GetXattr(path, names + at).value_or("");
        }
        tree[path.substr(root.size())] = facts;
    }
    return tree;
}

class Undo : public ::testing::Test {
protected:
    std::map<std::string, std::string> environment() {
        return {{"HOME", dir / "home"}, {"XDG_CONFIG_HOME", dir / "home/.config"},
                {"XDG_STATE_HOME", dir / "home/state"}, {"TZ", "UTC"}};
    }
    ProgramResult corvane(const std::vector<std::string>& arguments) { return RunCorvane(arguments, environment()); }
    // A folder with a bit of everything: names that clash with what the run makes, a subfolder, a
    // comment, a package, a link, an invisible file and a name with a newline.
    void MakeFolder() {
        WriteFile(folder + "/report.pdf", "pdf");
        WriteFile(folder + "/notes.txt", "notes");
        WriteFile(folder + "/txt/notes.txt", "older notes");
        WriteFile(folder + "/Sub/inner.txt", "inner");
        WriteFile(folder + "/line\nbreak.txt", "odd");
        WriteFile(folder + "/.hidden.txt", "hidden");
        WriteFile(folder + "/Tool.app/Contents/x", "x");
        fs::create_symlink("report.pdf", folder + "/link.pdf");
        if (UserXattrsSupported(folder)) {
            SetXattr(folder + "/notes.txt", "user.xdg.comment", "keep me");
        }
        chmod((folder + "/report.pdf").c_str(), 0640);
        const timespec past[2] = {{981201600, 0}, {981201600, 0}};
        utimensat(AT_FDCWD, (folder + "/report.pdf").c_str(), past, 0);
    }
    TempDir dir;
    const std::string folder = dir / "Folder";
};

}  // namespace

TEST_F(Undo, EveryCommandWithRecursionIsTakenBackExactly) {
    ASSERT_EQ(corvane({"defaults", "write", "RecurseFolders", "-bool", "true"}).exitStatus, 0);
    for (const std::string& command : kCommands) {
        fs::remove_all(folder);
        MakeFolder();
        const auto before = Snapshot(folder);
        const ProgramResult run = corvane({"run", command, folder});
        ASSERT_EQ(run.exitStatus, 0) << command << run.err;
        ASSERT_NE(Snapshot(folder), before) << command << ": the run changed nothing to undo";
        const ProgramResult undo = corvane({"undo"});
        EXPECT_EQ(undo.exitStatus, 0) << command << undo.err;
        EXPECT_EQ(Snapshot(folder), before) << command << undo.err;
        const ProgramResult again = corvane({"undo"});
        EXPECT_NE(again.err.find("was already undone"), std::string::npos) << again.err;
        EXPECT_EQ(Snapshot(folder), before) << command << ": a second undo changes nothing";
    }
}

TEST_F(Undo, WhatChangedSinceTheRunIsKeptAndANameTakenSinceIsNeverReplaced) {
    WriteFile(folder + "/a.txt", "a");
    WriteFile(folder + "/b.txt", "b");
    ASSERT_EQ(corvane({"run", "Aggregate Files by Extension", folder}).exitStatus, 0);
    WriteFile(folder + "/txt/a.txt", "edited after the run");
    const ProgramResult undo = corvane({"undo"});
    EXPECT_EQ(undo.exitStatus, 1);
    EXPECT_NE(undo.err.find("kept " + folder + "/txt/a.txt: it changed since the run copied it"), std::string::npos)
        << undo.err;
    EXPECT_EQ(ListNames(folder + "/txt"), std::vector<std::string>{"a.txt"}) << "the unchanged copy went";
    EXPECT_EQ(ReadFile(folder + "/txt/a.txt"), "edited after the run");

    fs::remove_all(folder);
    WriteFile(folder + "/Sub/c.txt", "c");
    ASSERT_EQ(corvane({"run", "Aggregate Files by Modification Date", folder}).exitStatus, 0);
    // The date command moved Sub/c.txt into a day folder; a new c.txt takes the name it came from.
    WriteFile(folder + "/Sub/c.txt", "new c");
    EXPECT_EQ(corvane({"undo"}).exitStatus, 0);
    const std::vector<std::string> names = ListNames(folder + "/Sub");
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(ReadFile(folder + "/Sub/c.txt"), "new c");
    const std::string& back = names[0] == "c.txt" ? names[1] : names[0];
    EXPECT_TRUE(std::regex_match(back, std::regex("c - [0-9A-F-]{36}\\.txt"))) << back;
    EXPECT_EQ(ReadFile(folder + "/Sub/" + back), "c");
}

TEST_F(Undo, ARunKilledHalfWayIsTakenBack) {
    for (int i = 0; i < 3000; ++i) {
        WriteFile(folder + "/f" + std::to_string(i) + (i % 2 ? ".txt" : ".dat"), std::string(64, 'x'));
    }
    const auto before = Snapshot(folder);
    const pid_t child = fork();
    if (child == 0) {
        for (const auto& [name, value] : environment()) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        freopen("/dev/null", "w", stderr);
        execl(CORVANE_BINARY, CORVANE_BINARY, "run", "Aggregate Files by Extension", folder.c_str(), nullptr);
        _exit(127);
    }
    // Killed as soon as it has placed some files, whatever it was doing.
    while (!fs::exists(folder + "/txt") || ListNames(folder + "/txt").size() < 100) {
        usleep(1000);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_NE(Snapshot(folder), before);
    const ProgramResult runs = corvane({"runs"});
    EXPECT_NE(runs.out.find("ended early"), std::string::npos) << runs.out;
    const ProgramResult undo = corvane({"undo"});
    EXPECT_EQ(undo.exitStatus, 0) << undo.err;
    const auto after = Snapshot(folder);
    for (const auto& [path, facts] : after) {
        EXPECT_TRUE(before.contains(path)) << path;
    }
    EXPECT_EQ(after.size(), before.size());
}

namespace {

// The steps the real run journaled, worded as a dry run words them.
std::vector<std::string> JournaledSteps(const std::string& journalFolder) {
    std::vector<std::string> steps;
    for (const auto& entry : fs::directory_iterator(journalFolder)) {
        std::istringstream lines(ReadFile(entry.path()));
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> fields;
            std::istringstream parts(line);
            for (std::string field; std::getline(parts, field, '\t');) {
                fields.push_back(field);
            }
            if (fields[0] == "folder") {
                steps.push_back("Would make folder \"" + fields[1] + "\"");
            } else if (fields[0] == "copy" || fields[0] == "move") {
                const std::string& source = fields[5];
                const std::string& destination = fields[6];
                const std::string verb = "Would " + fields[0] + " \"" + source + "\"";
                const bool renamed = source.substr(source.rfind('/')) != destination.substr(destination.rfind('/'));
                steps.push_back(renamed ? verb + " into \"" + destination.substr(0, destination.rfind('/')) +
                                              "\" under a new name made unique"
                                        : verb + " to \"" + destination + "\"");
            }
        }
    }
    return steps;
}

}  // namespace

TEST_F(Undo, ADryRunSaysStepByStepWhatTheRunThenDoesAndChangesNothing) {
    ASSERT_EQ(corvane({"defaults", "write", "RecurseFolders", "-bool", "true"}).exitStatus, 0);
    for (const std::string& command : kCommands) {
        fs::remove_all(folder);
        fs::remove_all(dir / "home/state");
        MakeFolder();
        const auto before = Snapshot(folder);
        const ProgramResult dry = corvane({"run", "--dry-run", command, folder});
        EXPECT_EQ(dry.exitStatus, 0) << command << dry.err;
        EXPECT_EQ(dry.err, "") << "no log line, no summary on standard error";
        EXPECT_EQ(Snapshot(folder), before) << command;
        EXPECT_FALSE(fs::exists(dir / "home/state/corvane") && !fs::is_empty(dir / "home/state/corvane"))
            << "a dry run journals nothing";
        ASSERT_EQ(corvane({"run", command, folder}).exitStatus, 0) << command;
        std::vector<std::string> said;
        std::istringstream lines(dry.out);
        for (std::string line; std::getline(lines, line) && line.starts_with("Would ");) {
            said.push_back(line);
        }
        EXPECT_FALSE(said.empty()) << command;
        EXPECT_EQ(said, JournaledSteps(dir / "home/state/corvane")) << command;
    }
}

TEST_F(Undo, OldJournalsArePrunedAndJournalsCanBeTurnedOff) {
    WriteFile(folder + "/a.txt", "a");
    WriteFile(dir / "home/state/corvane/20200101-000000-1.journal", "run\t1577836800\tAggregate Files by Extension\t/x\nend\n");
    const timespec longAgo[2] = {{1577836800, 0}, {1577836800, 0}};
    utimensat(AT_FDCWD, (dir / "home/state/corvane/20200101-000000-1.journal").c_str(), longAgo, 0);
    ASSERT_EQ(corvane({"defaults", "write", "JournalDays", "-int", "7"}).exitStatus, 0);
    ASSERT_EQ(corvane({"run", "Aggregate Files by Extension", folder}).exitStatus, 0);
    const std::vector<std::string> journals = ListNames(dir / "home/state/corvane");
    ASSERT_EQ(journals.size(), 1u);
    EXPECT_NE(journals[0], "20200101-000000-1.journal");

    ASSERT_EQ(corvane({"defaults", "write", "JournalRuns", "-bool", "false"}).exitStatus, 0);
    ASSERT_EQ(corvane({"run", "Aggregate Files by Mime Type", folder}).exitStatus, 0);
    EXPECT_EQ(ListNames(dir / "home/state/corvane"), journals);
}
