// `corvane run` and `corvane defaults` as a user runs them: real folders, the real program, its log.

#include <sys/stat.h>
#include <unistd.h>

#include <regex>

#include "support/RunProgram.h"
#include "support/TempDir.h"

using namespace corvane;

namespace {

const std::string kUuid = "[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}";

class RunCommand : public ::testing::Test {
protected:
    ProgramResult corvane(const std::vector<std::string>& arguments, const std::vector<std::string>& launcher = {},
                          const std::string& program = CORVANE_BINARY) {
        return RunCorvane(arguments, UserEnvironment(dir / "home"), launcher, program);
    }
    ProgramResult byExtension(const std::string& folder) { return corvane({"run", "Aggregate Files by Extension", folder}); }
    TempDir dir;
};

std::string CouldNotBeMoved(const std::string& file, const std::string& folder) {
    return "The file \"" + file + "\" could not be moved to \"" + folder +
           "\". A file by the same name may exists there already.";
}

}  // namespace

TEST_F(RunCommand, GroupsVisibleFilesByExtensionLogsEachStepAndNeverOverwrites) {
    WriteFile(dir / "Downloads/report.pdf", "pdf bytes");
    WriteFile(dir / "Downloads/photo.JPG", "jpeg bytes");
    WriteFile(dir / "Downloads/notes", "no extension");
    WriteFile(dir / "Downloads/.hidden.txt", "hidden");
    const bool xattrs = UserXattrsSupported(dir.path());
    if (xattrs) {
        SetXattr(dir / "Downloads/report.pdf", "user.xdg.comment", "r\xc3\xa9sum\xc3\xa9 \xf0\x9f\x93\x81");
    }
    const ProgramResult result = byExtension(dir / "Downloads");
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(ReadFile(dir / "Downloads/pdf/report.pdf"), "pdf bytes");
    EXPECT_EQ(ReadFile(dir / "Downloads/JPG/photo.JPG"), "jpeg bytes");
    EXPECT_EQ(ReadFile(dir / "Downloads/report.pdf"), "pdf bytes") << "originals stay";
    if (xattrs) {
        EXPECT_EQ(GetXattr(dir / "Downloads/pdf/report.pdf", "user.xdg.comment"), "r\xc3\xa9sum\xc3\xa9 \xf0\x9f\x93\x81");
    }
    EXPECT_EQ(ListNames(dir / "Downloads"),
              (std::vector<std::string>{".hidden.txt", "JPG", "notes", "pdf", "photo.JPG", "report.pdf"}));
    const std::vector<std::string> lines = result.logLines();
    EXPECT_EQ(lines.front(), "Aggregating folder Downloads");
    EXPECT_TRUE(Contains(lines, "Moving: " + dir / "Downloads/report.pdf"));
    EXPECT_TRUE(Contains(lines, "Moved \"report.pdf\" to \"pdf\""));
    EXPECT_TRUE(Contains(lines, "Moved \"photo.JPG\" to \"JPG\""));
    EXPECT_EQ(lines.size(), 5u) << result.err;

    WriteFile(dir / "Downloads/report.pdf", "second");
    byExtension(dir / "Downloads");
    const std::vector<std::string> names = ListNames(dir / "Downloads/pdf");
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(ReadFile(dir / "Downloads/pdf/report.pdf"), "pdf bytes");
    EXPECT_TRUE(std::regex_match(names[0], std::regex("report - " + kUuid + "\\.pdf"))) << names[0];
    EXPECT_EQ(ReadFile(dir / ("Downloads/pdf/" + names[0])), "second");
}

TEST_F(RunCommand, DefaultsRoundTripAndATrueRecurseFoldersRecurses) {
    EXPECT_EQ(corvane({"defaults", "read", "RecurseFolders"}).exitStatus, 1);
    EXPECT_EQ(corvane({"defaults", "write", "Greeting", "-string", "hello there"}).exitStatus, 0);
    EXPECT_EQ(corvane({"defaults", "write", "RecurseFolders", "-bool", "false"}).exitStatus, 0);
    EXPECT_EQ(corvane({"defaults", "read"}).out, "{\n    Greeting = hello there;\n    RecurseFolders = 0;\n}\n");
    EXPECT_EQ(corvane({"defaults", "delete", "Greeting"}).exitStatus, 0);
    EXPECT_EQ(corvane({"defaults", "delete", "Greeting"}).exitStatus, 1);
    EXPECT_EQ(corvane({"defaults", "read"}).out, "{\n    RecurseFolders = 0;\n}\n");

    WriteFile(dir / "Folder/Sub/inner.txt", "x");
    EXPECT_EQ(corvane({"defaults", "write", "RecurseFolders", "-bool", "true"}).exitStatus, 0);
    EXPECT_EQ(corvane({"defaults", "read", "RecurseFolders"}).out, "1\n");
    const ProgramResult result = byExtension(dir / "Folder");
    EXPECT_EQ(ReadFile(dir / "Folder/Sub/txt/inner.txt"), "x");
    EXPECT_EQ(result.logLines().front(), "Aggregating folder Folder");
    EXPECT_EQ(result.logLines().size(), 3u) << result.err;
}

// Usage errors exit with 2 and name what was wrong; folder names may look like options after "--".
TEST_F(RunCommand, TheCommandLine) {
    const std::vector<std::vector<std::string>> mistakes = {
        {},
        {"run"},
        {"defaults"},
        {"defaults", "write", "RecurseFolders", "-bool", "maybe"},
        {"defaults", "write", "RecurseFolders", "-int", "12abc"},
        {"defaults", "write", "RecurseFolders"},
        {"defaults", "delete"},
    };
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
}

TEST_F(RunCommand, EachFolderIsAnsweredAndTheRunIsSummed) {
    WriteFile(dir / "A/a.txt", "a");
    WriteFile(dir / "A/.hidden.txt", "h");
    WriteFile(dir / "A/noext", "n");
    WriteFile(dir / "A/txt", "a file where the key folder goes");
    WriteFile(dir / "B/b.pdf", "b");
    WriteFile(dir / "B/c.pdf", "c");
    WriteFile(dir / "file.txt", "f");
    std::filesystem::create_directories(dir / "Tool.app");
    const ProgramResult result = corvane({"run", "Aggregate Files by Extension", dir / "A", dir / "missing",
                                          dir / "file.txt", dir / "Tool.app", dir / "B"});
    EXPECT_EQ(result.exitStatus, 1);
    const std::string expected = dir / "A" + ": 0 copied, 0 moved, 3 left alone, 1 failed\n" + dir / "missing" +
                                 " does not exist\n" + dir / "file.txt" + " is not a folder\n" + dir / "Tool.app" +
                                 " is a package, which Corvane tidies as a file and never enters\n" + dir / "B" +
                                 ": 2 copied, 0 moved, 0 left alone, 0 failed\n" +
                                 "In all: 2 copied, 0 moved, 3 left alone, 1 failed\n";
    EXPECT_NE(result.err.find(expected), std::string::npos) << result.err;
    EXPECT_EQ(ListNames(dir / "B/pdf"), (std::vector<std::string>{"b.pdf", "c.pdf"}));
    EXPECT_EQ(corvane({"run", "Aggregate Files by Extension", dir / "missing", dir / "B"}).exitStatus, 1)
        << "a folder skipped is a failure of the run, though every file was placed";
}

TEST_F(RunCommand, AwkwardNamesAreLoggedAsTextAndNothingIsLost) {
    WriteFile(dir / "Folder/100%d %@ done.txt", "percent");
    WriteFile(dir / "Folder/two\nlines.txt", "newline");
    WriteFile(dir / "Folder/\x1b[31mred.txt", "escape");
    WriteFile(dir / "Folder/a:b.txt", "colon");
    WriteFile(dir / "Folder/bad\xff.txt", "not utf-8");
    const ProgramResult result = byExtension(dir / "Folder");
    EXPECT_EQ(ReadFile(dir / "Folder/txt/100%d %@ done.txt"), "percent");
    EXPECT_EQ(ReadFile(dir / "Folder/txt/two\nlines.txt"), "newline");
    EXPECT_EQ(ReadFile(dir / "Folder/txt/a:b.txt"), "colon");
    EXPECT_EQ(ReadFile(dir / "Folder/bad\xff.txt"), "not utf-8");
    EXPECT_NE(access((dir / "Folder/txt/bad\xff.txt").c_str(), F_OK), 0);
    EXPECT_TRUE(Contains(result.logLines(), "Moving: " + dir / "Folder/100%d %@ done.txt"));
    EXPECT_TRUE(Contains(result.logLines(), "Moved \"a/b.txt\" to \"txt\""));
    // A name cannot forge a line of its own, nor hand the reader's terminal a sequence.
    EXPECT_TRUE(Contains(result.logLines(), "Moved \"two\\nlines.txt\" to \"txt\""));
    EXPECT_TRUE(Contains(result.logLines(), "Moved \"\\x1b[31mred.txt\" to \"txt\""));
    EXPECT_EQ(result.err.find('\x1b'), std::string::npos);
}

TEST_F(RunCommand, KeyFolderNameTakenByAFileFailsEachCopyAndGoesOn) {
    WriteFile(dir / "Folder/jpg", "a file, not a folder");
    WriteFile(dir / "Folder/a.jpg", "a");
    WriteFile(dir / "Folder/b.jpg", "b");
    WriteFile(dir / "Folder/c.txt", "c");
    const ProgramResult result = byExtension(dir / "Folder");
    EXPECT_EQ(ReadFile(dir / "Folder/jpg"), "a file, not a folder");
    EXPECT_EQ(ReadFile(dir / "Folder/txt/c.txt"), "c");
    const std::vector<std::string> lines = result.logLines();
    for (const char* file : {"a.jpg", "b.jpg"}) {
        EXPECT_TRUE(Contains(lines, CouldNotBeMoved(dir / (std::string("Folder/") + file), dir / "Folder/jpg"))) << result.err;
    }
}

TEST_F(RunCommand, AKeyNameTakenByALinkIsNeverPlacedThrough) {
    WriteFile(dir / "Outside/kept.md", "kept");
    const std::string targets[] = {dir / "Outside", ".", dir / "Outside/missing"};
    for (std::size_t row = 0; row < std::size(targets); ++row) {
        SCOPED_TRACE(targets[row]);
        const std::string folder = dir / ("Folder" + std::to_string(row));
        WriteFile(folder + "/a.txt", "a");
        WriteFile(folder + "/b.pdf", "b");
        ASSERT_EQ(symlink(targets[row].c_str(), (folder + "/txt").c_str()), 0);
        const ProgramResult result = byExtension(folder);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(ListNames(dir / "Outside"), std::vector<std::string>{"kept.md"});
        EXPECT_EQ(ListNames(folder), (std::vector<std::string>{"a.txt", "b.pdf", "pdf", "txt"}));
        EXPECT_EQ(ReadFile(folder + "/pdf/b.pdf"), "b");
        EXPECT_EQ(std::filesystem::read_symlink(folder + "/txt").string(), targets[row]);
        const std::vector<std::string> lines = result.logLines();
        EXPECT_TRUE(Contains(lines, "An error occurred: -1407")) << result.err;
        EXPECT_TRUE(Contains(lines, CouldNotBeMoved(folder + "/a.txt", folder + "/txt"))) << result.err;
    }
}

TEST_F(RunCommand, SpecialFilesAreNeverOpenedAndTheRunGoesOn) {
    WriteFile(dir / "Folder/a.txt", "x");
    ASSERT_EQ(mkfifo((dir / "Folder/pipe.txt").c_str(), 0644), 0);
    ASSERT_EQ(symlink("a.txt", (dir / "Folder/link.txt").c_str()), 0);
    const ProgramResult result = byExtension(dir / "Folder");
    EXPECT_EQ(ReadFile(dir / "Folder/txt/a.txt"), "x");
    struct stat info {};
    ASSERT_EQ(lstat((dir / "Folder/txt/link.txt").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_NE(lstat((dir / "Folder/txt/pipe.txt").c_str(), &info), 0);
    EXPECT_TRUE(Contains(result.logLines(), CouldNotBeMoved(dir / "Folder/pipe.txt", dir / "Folder/txt")));
}

TEST_F(RunCommand, AFolderTheUserMayNotWriteLosesNothing) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "dropping to uid 65534 needs root";
    }
    chmod(dir.path().c_str(), 0755);
    WriteFile(dir / "Folder/a.txt", "x");
    mkdir((dir / "Folder/txt").c_str(), 0755);
    chmod((dir / "Folder").c_str(), 0755);
    mkdir((dir / "home").c_str(), 0777);
    // The build folder may lie where that user cannot reach; a copy of the program beside the test data can.
    const std::string program = dir / "corvane";
    std::filesystem::copy_file(CORVANE_BINARY, program);
    chmod(program.c_str(), 0755);
    const ProgramResult result = corvane({"run", "Aggregate Files by Extension", dir / "Folder"},
                                         {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"}, program);
    EXPECT_TRUE(ListNames(dir / "Folder/txt").empty());
    EXPECT_EQ(ReadFile(dir / "Folder/a.txt"), "x");
    EXPECT_TRUE(Contains(result.logLines(), "An error occurred: -5000")) << result.err;
}

// So few descriptors that a walk keeping open every folder it has passed runs out among the siblings,
// while one holding only the folders it is inside of still reaches the bottom of the chain.
TEST_F(RunCommand, ARecursiveWalkFitsInFewDescriptors) {
    if (std::system("command -v prlimit >/dev/null") != 0) {
        GTEST_SKIP() << "prlimit is missing (Debian: util-linux)";
    }
    constexpr int kSiblings = 60;
    constexpr int kDepth = 30;
    std::vector<std::string> folders;
    for (int sibling = 0; sibling < kSiblings; ++sibling) {
        folders.push_back(dir / ("Wide/S" + std::to_string(sibling)));
    }
    std::string chain = dir / "Deep";
    for (int level = 0; level < kDepth; ++level) {
        folders.push_back(chain += "/D");
    }
    for (const std::string& folder : folders) {
        for (const char* extension : {"txt", "pdf", "jpg"}) {
            WriteFile(folder + "/f." + extension, extension);
        }
    }
    ASSERT_EQ(corvane({"defaults", "write", "RecurseFolders", "-bool", "true"}).exitStatus, 0);
    for (const std::string top : {"Wide", "Deep"}) {
        const ProgramResult result =
            corvane({"run", "Aggregate Files by Extension", dir / top}, {"prlimit", "--nofile=50:50", "--"});
        EXPECT_EQ(result.exitStatus, 0) << top;
        for (const std::string& line : result.logLines()) {
            EXPECT_FALSE(line.starts_with("An error occurred")) << top << ": " << line;
        }
    }
    std::vector<std::string> untidied;
    for (const std::string& folder : folders) {
        for (const std::string extension : {"txt", "pdf", "jpg"}) {
            if (ReadFile(folder + "/" + extension + "/f." + extension) != extension) {
                untidied.push_back(folder + "/f." + extension);
            }
        }
    }
    EXPECT_TRUE(untidied.empty()) << untidied.size() << " files not copied, the first " << untidied.front();
}
