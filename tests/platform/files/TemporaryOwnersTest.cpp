// Named temporaries after a crash: what a killed process left is removed by a later run, and never
// what a live process is still writing.
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>

#include <algorithm>
#include <cstddef>

#include "platform/files/AutoreleasePool.h"
#include "platform/files/Files.h"
#include "platform/files/internal/TemporaryEntry.h"
#include "support/FilesTestSupport.h"
#include "support/WithheldFeatures.h"

using namespace corvane;

namespace fs = std::filesystem;

namespace {

// A child that runs body, tells its answer (empty: failed) and waits to be killed: by the test, or
// when this goes.
struct Child {
    explicit Child(const std::function<std::string()>& body) {
        int pipe[2];
        if (::pipe(pipe) != 0 || (pid = fork()) < 0) {
            return;
        }
        if (pid == 0) {
            const std::string told = body();
            if (told.empty() || write(pipe[1], told.data(), told.size()) < 0) {
                _exit(1);
            }
            for (;;) {
                pause();
            }
        }
        close(pipe[1]);
        char text[256];
        const ssize_t got = read(pipe[0], text, sizeof text);
        close(pipe[0]);
        answer.assign(text, got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    ~Child() { Kill(); }
    void Kill() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }
    pid_t pid = -1;
    std::string answer;
};

// Makes a named temporary in folder, as a copy on a file system without O_TMPFILE does: its name.
// Unlocked, it is as on a file system without locks, where only its name tells that its owner lives.
std::string MakeTemporary(const std::string& folder, bool unlocked = false) {
    WithholdFileSystemFeatures(kUnnamedTemporaries);
    const int at = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat status {};
    TemporaryFile file;
    if (at < 0 || fstat(at, &status) != 0 || CreateTemporaryFile(at, status.st_dev, file) != noErr) {
        return "";
    }
    if (unlocked) {
        flock(file.fd.get(), LOCK_UN);
    }
    return file.name;
}

// Begins an in-place copy named entry in folder, as on FAT, and writes part of it.
std::string BeginInPlaceCopy(const std::string& folder, const std::string& entry) {
    const int at = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    InPlaceRecord record;
    if (at < 0 || OpenInPlaceRecord(at, entry, record) != noErr) {
        return "";
    }
    const int copy = openat(at, entry.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    struct stat status {};
    if (copy < 0 || fstat(copy, &status) != 0 || write(copy, "part", 4) != 4) {
        return "";
    }
    RecordInPlaceEntry(record, status.st_ino);
    return "recorded";
}

// Has the kernel kill this process at its first call of either system call: a run killed at an
// exact moment.
bool KilledAtFirstCallOf(long call, long orCall) {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(call), 1, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(orCall), 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program) == 0;
}

// Copies or moves a folder on a file system without RENAME_NOREPLACE, in a child killed at the first
// call of either system call; true when it was killed.
bool KilledWhilePlacing(const std::string& folder, const std::string& into, bool move, long call, long orCall) {
    return RunInChild([&] {
        WithholdFileSystemFeatures(kRenameNoReplace);
        const AutoreleasePool pool;
        const FSRef item = EntryRef(folder), destination = EntryRef(into);
        if (!KilledAtFirstCallOf(call, orCall)) {
            return 1;
        }
        return int{move ? FSMoveObjectSync(&item, &destination, nullptr, nullptr, 0)
                        : FSCopyObjectSync(&item, &destination, nullptr, nullptr, 0)};
    }) == 300;
}

void RemoveAbandonedTemporariesIn(const std::string& folder) {
    const int at = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    RemoveAbandonedTemporaries(at);
    close(at);
}

}  // namespace

TEST(TemporaryOwners, AKilledCopysTemporaryGoesALiveOnesStays) {
    const TempDir dir;
    Child killed([&] { return MakeTemporary(dir.path()); });
    Child living([&] { return MakeTemporary(dir.path(), true); });
    ASSERT_TRUE(killed.answer.starts_with(kTemporaryPrefix) && living.answer.starts_with(kTemporaryPrefix));
    killed.Kill();
    // Not ours: another program's name, and a temporary of another machine.
    std::string elsewhere = NewTemporaryName();
    elsewhere[kTemporaryPrefix.size()] = elsewhere[kTemporaryPrefix.size()] == 'a' ? 'b' : 'a';
    WriteFile(dir / ".corvane-notes", "");
    WriteFile(dir / elsewhere, "");
    // Whoever holds the lock is alive, even where its process cannot be seen (another namespace).
    const int held = open((dir / killed.answer).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    RemoveAbandonedTemporariesIn(dir.path());
    EXPECT_EQ(ListNames(dir.path()).size(), 4U) << "a locked temporary stays";
    close(held);
    RemoveAbandonedTemporariesIn(dir.path());
    Names left{".corvane-notes", elsewhere, living.answer};
    std::sort(left.begin(), left.end());
    EXPECT_EQ(ListNames(dir.path()), left);
    // Once the second owner is dead, the folder is cleared when first asked in a pool.
    living.Kill();
    const AutoreleasePool pool;
    const FSRef folder = EntryRef(dir.path());
    ASSERT_EQ(FSRemoveAbandonedTemporaries(&folder), noErr);
    left.erase(std::find(left.begin(), left.end(), living.answer));
    EXPECT_EQ(ListNames(dir.path()), left);
}

TEST(TemporaryOwners, AKilledInPlaceCopyGoesWithItsRecordUnlessItWasReplaced) {
    const TempDir dir;
    Child partial([&] { return BeginInPlaceCopy(dir.path(), "photo.jpg"); });
    Child replaced([&] { return BeginInPlaceCopy(dir.path(), "movie.mov"); });
    ASSERT_EQ(partial.answer + replaced.answer, "recordedrecorded");
    ASSERT_EQ(ListNames(dir.path()).size(), 4U) << "two records, two partial copies";
    partial.Kill();
    replaced.Kill();
    // Someone put a file of their own in the place of the partial movie before the next run.
    WriteFile(dir / "keep", "someone's movie");
    ASSERT_EQ(rename((dir / "keep").c_str(), (dir / "movie.mov").c_str()), 0);
    RemoveAbandonedTemporariesIn(dir.path());
    EXPECT_EQ(ListNames(dir.path()), Names{"movie.mov"}) << "no record and no partial copy left";
    EXPECT_EQ(ReadFile(dir / "movie.mov"), "someone's movie");
}

// Without RENAME_NOREPLACE a folder's name is claimed by an empty folder, which the folder then takes
// the place of. A run killed before that rename leaves its claim, which the next run removes unless
// someone has put something into it since; one killed after it leaves the folder in its place, even
// an empty one, which stays.
TEST(TemporaryOwners, AKilledRunsClaimOnAFolderNameGoesWhatTookItsPlaceStays) {
    const TempDir dir;
    WriteFile(dir / "from/Clip.app/video", "video");
    WriteFile(dir / "from/Notes.app/notes", "notes");
    fs::create_directories(dir / "from/Empty.app");
    fs::create_directories(dir / "to");
    for (const char* name : {"Clip.app", "Notes.app"}) {
        ASSERT_TRUE(KilledWhilePlacing(dir / ("from/" + std::string(name)), dir / "to", false, SYS_renameat, SYS_renameat2));
        ASSERT_TRUE(fs::is_empty(dir / ("to/" + std::string(name)))) << "the claim";
    }
    WriteFile(dir / "to/Notes.app/mine", "someone's");
    ASSERT_TRUE(KilledWhilePlacing(dir / "from/Empty.app", dir / "to", true, SYS_unlinkat, SYS_unlink));
    ASSERT_FALSE(fs::exists(dir / "from/Empty.app")) << "moved, its record not yet removed";
    EXPECT_EQ(ListNames(dir / "to").size(), 8U) << "two claims, two copies, the moved folder, three records";
    RemoveAbandonedTemporariesIn(dir / "to");
    EXPECT_EQ(ListNames(dir / "to"), (Names{"Empty.app", "Notes.app"}));
    EXPECT_EQ(ListNames(dir / "to/Notes.app"), Names{"mine"});
    const AutoreleasePool pool;
    const FSRef clip = EntryRef(dir / "from/Clip.app"), to = EntryRef(dir / "to");
    ASSERT_EQ(FSCopyObjectSync(&clip, &to, nullptr, nullptr, 0), noErr) << "the name is free again";
    EXPECT_EQ(ReadFile(dir / "to/Clip.app/video"), "video");
}
