// The seven commands on the test's own file system and on FAT and exFAT images (mounted by the kernel,
// else by FUSE), and a run killed in the middle of a large copy there.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "support/PrivateBus.h"
#include "support/TempDir.h"

using namespace corvane;

namespace fs = std::filesystem;

namespace {

bool Succeeds(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// A fresh image of kind ("vfat" or "exfat") mounted on at: by the kernel where it has the file
// system, else by fusefat or exfat-fuse; unmounted, even when the test fails, when it goes.
class MountedImage {
public:
    MountedImage(const std::string& image, const std::string& kind, const std::string& at) : at_(at) {
        fs::create_directories(at);
        const bool fat = kind == "vfat";
        const std::string mkfs = fat ? "mkfs.vfat" : "mkfs.exfat";
        const std::string fuse = fat ? "fusefat" : "mount.exfat-fuse";
        if (geteuid() != 0) {
            reason = "mounting an image needs root";
        } else if (!Succeeds("command -v " + mkfs)) {
            reason = mkfs + " is missing (Debian " + (fat ? "dosfstools" : "exfatprogs") + ", scripts/setup)";
        } else if (!Succeeds("truncate -s 256M " + Quoted(image)) || !Succeeds(mkfs + " " + Quoted(image))) {
            reason = "could not make the image";
        } else if (Succeeds("grep -qw " + kind + " /proc/filesystems") &&
                   Succeeds("mount -o loop -t " + kind + " " + Quoted(image) + " " + Quoted(at))) {
            how = "kernel " + kind;
        } else if (access("/dev/fuse", R_OK | W_OK) != 0 || !Succeeds("command -v " + fuse)) {
            reason = "the kernel has no " + kind + " and " + fuse + " or /dev/fuse is missing";
        } else if (fat && Succeeds("fusefat -o rw+ " + Quoted(image) + " " + Quoted(at))) {
            how = "fusefat";
        } else if (!fat && AttachLoop(image) && Succeeds(fuse + " " + loop_ + " " + Quoted(at))) {
            how = "exfat-fuse";
        } else {
            reason = "neither the kernel nor " + fuse + " could mount the image here";
        }
    }
    ~MountedImage() {
        if (!how.empty() && !Succeeds("fusermount -u " + Quoted(at_)) && !Succeeds("umount " + Quoted(at_))) {
            Succeeds("umount -l " + Quoted(at_));
        }
        if (!loop_.empty()) {
            Succeeds("losetup -d " + loop_);
        }
    }
    MountedImage(const MountedImage&) = delete;
    MountedImage& operator=(const MountedImage&) = delete;

    std::string how;     ///< what mounted it; empty when it is not mounted
    std::string reason;  ///< why it is not mounted

private:
    // exfat-fuse run by root wants a block device.
    bool AttachLoop(const std::string& image) {
        const std::string device = RunCorvane({"-f", "--show", image}, {}, {}, "losetup").out;
        loop_ = device.substr(0, device.find('\n'));
        return !loop_.empty();
    }
    std::string at_;
    std::string loop_;
};

// Noon, so that a file system that keeps local time cannot move it to another day.
constexpr std::time_t kMarch5th2007 = 1173096000;
constexpr std::time_t kJanuary10th2006 = 1136894400;

void WriteDated(const std::string& path, const std::string& bytes, std::time_t when) {
    WriteFile(path, bytes);
    SetModified(path, when);
}

std::string Formatted(std::time_t when, const char* format) {
    char text[64];
    struct tm parts {};
    gmtime_r(&when, &parts);
    return std::string(text, std::strftime(text, sizeof text, format, &parts));
}

std::optional<std::time_t> BirthTime(const std::string& path) {
    struct statx info {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &info) != 0 || (info.stx_mask & STATX_BTIME) == 0) {
        return std::nullopt;
    }
    return info.stx_btime.tv_sec;
}

// Every name under folder, at any depth, that is one of our temporaries; while a run changes the
// folder, those seen before an entry vanished under the walk.
Names TemporariesUnder(const std::string& folder) {
    Names found;
    std::error_code error;
    for (fs::recursive_directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        if (entry->path().filename().string().starts_with(".corvane-")) {
            found.push_back(entry->path().string());
        }
    }
    return found;
}

std::size_t CountStartingWith(const std::vector<std::string>& lines, const std::string& start) {
    return static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.starts_with(start); }));
}

// Each command on a folder of its own under root, a card's when how names what mounted it.
void EveryCommandIn(const std::string& root, const std::string& how, const std::string& home) {
    for (int command = 0; command < 7; ++command) {
        const std::string folder = root + "/c" + std::to_string(command);
        WriteDated(folder + "/a.txt", "alpha", kMarch5th2007);
        WriteDated(folder + "/b.jpg", "beta", kJanuary10th2006);
        WriteDated(folder + "/notes", "no extension", kMarch5th2007);
        const std::optional<std::time_t> born = BirthTime(folder + "/a.txt");
        const ProgramResult result = RunCorvane({"run", kCommands[command], folder}, UserEnvironment(home));
        const std::vector<std::string> lines = result.logLines();
        SCOPED_TRACE(kCommands[command] + " on " + how + "\n" + result.err);
        const Names untouched{"a.txt", "b.jpg", "notes"};
        // FAT and exFAT refuse the ':' of text:plain and image:jpeg: said, and nothing moves.
        const bool refused = command == 2 && how != "local";
        const char* format = command == 3 || command == 4 ? "%b %d, %Y" : "%b %Y";
        const char* const keys[][2] = {{"/txt", "/jpg"}, {"/TEXT", "/JPEG"}, {"/text:plain", "/image:jpeg"}};
        if (refused) {
            EXPECT_EQ(ListNames(folder), untouched);
            const std::string unmade = "The folder \"text/plain\" could not be made in \"" + folder + "\".";
            EXPECT_EQ(CountStartingWith(lines, unmade), 1U);
        } else if (command < 3) {
            EXPECT_EQ(ReadFile(folder + keys[command][0] + "/a.txt") + ReadFile(folder + keys[command][1] + "/b.jpg"),
                      "alphabeta");
        } else if (command == 3 || command == 5) {
            EXPECT_EQ(ListNames(folder), (Names{"2006", "2007", "a.txt", "b.jpg", "notes"}));
            EXPECT_EQ(ListNames(folder + "/2007"), Names{Formatted(kMarch5th2007, format)});
            EXPECT_EQ(ReadFile(folder + "/2007/" + Formatted(kMarch5th2007, format) + "/a.txt"), "alpha");
            EXPECT_EQ(ReadFile(folder + "/2006/" + Formatted(kJanuary10th2006, format) + "/b.jpg"), "beta");
        } else if (born) {  // by birth, whatever the modification date
            EXPECT_EQ(ReadFile(folder + Formatted(*born, "/%Y/") + Formatted(*born, format) + "/a.txt"), "alpha");
            EXPECT_EQ(ListNames(folder), (Names{Formatted(*born, "%Y"), "a.txt", "b.jpg", "notes"}));
        } else {
            EXPECT_EQ(ListNames(folder), untouched) << "no birth times here: every file stays";
        }
        EXPECT_EQ(result.exitStatus, refused ? 1 : 0);
        EXPECT_EQ(ReadFile(folder + "/a.txt") + ReadFile(folder + "/b.jpg"), "alphabeta") << "originals stay";
        EXPECT_EQ(TemporariesUnder(folder), Names{});
    }
}

class RemovableMedia : public ::testing::TestWithParam<std::string> {
protected:
    TempDir dir;
};

}  // namespace

TEST(CommandsOnTheLocalFileSystem, EveryCommand) {
    const TempDir dir;
    EveryCommandIn(dir.path(), "local", dir / "home");
}

// Every command on the card, then a run killed in the middle of a large copy there, after which the next
// run leaves nothing behind.
TEST_P(RemovableMedia, EveryCommandAndARunKilledInTheMiddleOfALargeCopyOnTheCard) {
    const std::string card = dir / "card";
    const MountedImage mounted(dir / "card.img", GetParam(), card);
    if (mounted.how.empty()) {
        GTEST_SKIP() << mounted.reason;
    }
    EveryCommandIn(card, mounted.how, dir / "home");

    const std::string folder = card + "/DCIM";
    const std::string big(96 << 20, 'v');
    // A small package first, so that the large one is copied the way this file system needs from the start.
    WriteFile(folder + "/Album.app/cover", "cover");
    WriteFile(folder + "/Clip.app/video", big);
    BackgroundProgram run({CORVANE_BINARY, "run", kCommands[0], folder}, UserEnvironment(dir / "home"), "/dev/null");
    // Killed as soon as the large file's copy is seen, which is long before it can be complete: a
    // listing, unlike a file's size, is never cached by FUSE.
    const auto copyBegun = [&] {
        std::error_code error;
        for (fs::recursive_directory_iterator entry(folder + "/app", error), end; !error && entry != end;
             entry.increment(error)) {
            if (entry->path().filename() == "video") {
                return true;
            }
        }
        return false;
    };
    WaitUntil(copyBegun);
    run.signal(SIGKILL);
    run.wait();
    if (TemporariesUnder(folder).empty()) {
        GTEST_SKIP() << "the copy ended before the run could be killed, or never began";
    }
    const ProgramResult rerun = RunCorvane({"run", kCommands[0], folder}, UserEnvironment(dir / "home"));
    EXPECT_EQ(rerun.exitStatus, 0) << rerun.err;
    EXPECT_EQ(TemporariesUnder(folder), Names{});
    const Names placed = ListNames(folder + "/app");
    EXPECT_EQ(CountStartingWith(placed, "Clip"), 1U) << "the partial copy is gone, its name taken anew";
    EXPECT_TRUE(ReadFile(folder + "/app/Clip.app/video") == big) << "the copy is whole";
}

INSTANTIATE_TEST_SUITE_P(, RemovableMedia, ::testing::Values("vfat", "exfat"),
                         [](const auto& each) { return each.param; });
