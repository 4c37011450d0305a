// `corvane run --dry-run` and `corvane undo` around real runs: a preview says what the run does, trees come
// back exactly, what changed since or was killed half way is handled, and journals are kept as asked.

#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <regex>
#include <sstream>

#include "support/PrivateBus.h"
#include "support/TempDir.h"

using namespace corvane;

namespace fs = std::filesystem;

namespace {

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

// The steps the real run journaled, worded as a dry run words them, a line each.
std::string JournaledSteps(const std::string& journalFolder) {
    std::string steps;
    for (const auto& entry : fs::directory_iterator(journalFolder)) {
        std::istringstream lines(ReadFile(entry.path()));
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> fields;
            std::istringstream parts(line);
            for (std::string field; std::getline(parts, field, '\t');) {
                fields.push_back(field);
            }
            if (fields[0] == "folder") {
                steps += "Would make folder \"" + fields[1] + "\"\n";
            } else if (fields[0] == "copy" || fields[0] == "move") {
                const std::string& source = fields[5];
                const std::string& destination = fields[6];
                const std::size_t slash = destination.rfind('/');
                steps += "Would " + fields[0] + " \"" + source + "\"" +
                         (source.substr(source.rfind('/')) != destination.substr(slash)
                              ? " into \"" + destination.substr(0, slash) + "\" under a new name made unique\n"
                              : " to \"" + destination + "\"\n");
            }
        }
    }
    return steps;
}

class Undo : public ::testing::Test {
protected:
    ProgramResult corvane(const std::vector<std::string>& arguments) {
        return RunCorvane(arguments, UserEnvironment(dir / "home"));
    }
    // A folder with a bit of everything: names that clash with what the run makes, a subfolder, a
    // comment, a package, a link, an invisible file, and names with a newline or a ':' (which the
    // catalog shows as '/').
    void MakeFolder() {
        WriteFile(folder + "/report.pdf", "pdf");
        WriteFile(folder + "/notes: draft.txt", "notes");
        WriteFile(folder + "/txt/notes: draft.txt", "older notes");
        WriteFile(folder + "/Sub/in:ner.txt", "inner");
        WriteFile(folder + "/line\nbreak.txt", "odd");
        WriteFile(folder + "/.hidden.txt", "hidden");
        WriteFile(folder + "/Tool.app/Contents/x", "x");
        fs::create_symlink("report.pdf", folder + "/link.pdf");
        if (UserXattrsSupported(folder)) {
            SetXattr(folder + "/notes: draft.txt", "user.xdg.comment", "keep me");
        }
        chmod((folder + "/report.pdf").c_str(), 0640);
        SetModified(folder + "/report.pdf", 981201600);
    }
    TempDir dir;
    const std::string folder = dir / "Folder";
    const std::string journals = dir / "home/.local/state/corvane";
};

}  // namespace

TEST_F(Undo, EveryCommandIsPreviewedStepByStepAndTakenBackExactly) {
    ASSERT_EQ(corvane({"defaults", "write", "RecurseFolders", "-bool", "true"}).exitStatus, 0);
    for (const std::string& command : kCommands) {
        SCOPED_TRACE(command);
        fs::remove_all(folder);
        fs::remove_all(journals);
        MakeFolder();
        const auto before = Snapshot(folder);
        const ProgramResult dry = corvane({"run", "--dry-run", command, folder});
        EXPECT_EQ(dry.exitStatus, 0);
        EXPECT_EQ(dry.err, "") << "no log line, no summary on standard error";
        EXPECT_EQ(Snapshot(folder), before);
        EXPECT_TRUE(ListNames(journals).empty()) << "a dry run journals nothing";
        ASSERT_EQ(corvane({"run", command, folder}).exitStatus, 0);
        const std::string steps = JournaledSteps(journals);
        // The summary that follows the steps starts with the folder.
        EXPECT_EQ(dry.out.substr(0, dry.out.find(folder + ": ")), steps) << "the dry run said what the run then did";
        const ProgramResult undo = corvane({"undo"});
        EXPECT_EQ(undo.exitStatus, 0) << undo.err;
        EXPECT_EQ(Snapshot(folder), before) << undo.err;
        EXPECT_NE(corvane({"undo"}).err.find("was already undone"), std::string::npos);
        EXPECT_EQ(Snapshot(folder), before) << "a second undo changes nothing";
    }
}

TEST_F(Undo, WhatChangedSinceTheRunIsKeptAndANameTakenSinceIsNeverReplaced) {
    WriteFile(folder + "/a.txt", "a");
    WriteFile(folder + "/b.txt", "b");
    WriteFile(folder + "/Tool.app/Contents/x", "x");
    ASSERT_EQ(corvane({"run", "Aggregate Files by Extension", folder}).exitStatus, 0);
    WriteFile(folder + "/txt/a.txt", "edited after the run");
    WriteFile(folder + "/app/Tool.app/Contents/x", "edited inside the copied package");
    const ProgramResult undo = corvane({"undo"});
    EXPECT_EQ(undo.exitStatus, 1);
    EXPECT_NE(undo.err.find("kept " + folder + "/txt/a.txt: it changed since the run copied it"), std::string::npos);
    EXPECT_EQ(ReadFile(folder + "/app/Tool.app/Contents/x"), "edited inside the copied package");
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
    BackgroundProgram run({CORVANE_BINARY, "run", kCommands[0], folder}, UserEnvironment(dir / "home"), "/dev/null");
    // Killed as soon as it has placed some files, whatever it was doing.
    WaitUntil([&] { return ListNames(folder + "/txt").size() >= 100; });
    run.signal(SIGKILL);
    run.wait();
    ASSERT_NE(Snapshot(folder), before);
    const ProgramResult runs = corvane({"runs"});
    EXPECT_NE(runs.out.find("ended early"), std::string::npos) << runs.out;
    const ProgramResult undo = corvane({"undo"});
    EXPECT_EQ(undo.exitStatus, 0) << undo.err;
    for (const auto& [path, facts] : Snapshot(folder)) {
        EXPECT_TRUE(before.contains(path)) << path;
    }
    EXPECT_EQ(Snapshot(folder).size(), before.size());
}

TEST_F(Undo, AJournalThatCannotBeWrittenIsSaidOldOnesArePrunedAndJournalsCanBeTurnedOff) {
    WriteFile(folder + "/a.txt", "a");
    WriteFile(journals, "a file where the journals go");
    const ProgramResult unjournaled = corvane({"run", "Aggregate Files by Extension", folder});
    EXPECT_EQ(unjournaled.exitStatus, 0);
    EXPECT_EQ(ReadFile(folder + "/txt/a.txt"), "a");
    EXPECT_NE(unjournaled.err.find("this run cannot be undone"), std::string::npos) << unjournaled.err;

    fs::remove(journals);
    WriteFile(journals + "/20200101-000000-1.journal", "run\t1577836800\tAggregate Files by Extension\t/x\nend\n");
    SetModified(journals + "/20200101-000000-1.journal", 1577836800);
    ASSERT_EQ(corvane({"defaults", "write", "JournalDays", "-int", "7"}).exitStatus, 0);
    ASSERT_EQ(corvane({"run", "Aggregate Files by Extension", folder}).exitStatus, 0);
    const Names kept = ListNames(journals);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_NE(kept[0], "20200101-000000-1.journal");

    ASSERT_EQ(corvane({"defaults", "write", "JournalRuns", "-bool", "false"}).exitStatus, 0);
    ASSERT_EQ(corvane({"run", "Aggregate Files by Mime Type", folder}).exitStatus, 0);
    EXPECT_EQ(ListNames(journals), kept);
}
