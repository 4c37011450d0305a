// Named temporaries after a crash: what a killed process left is removed by a later run, and never
// what a live process is still writing.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/files/AutoreleasePool.h"
#include "platform/files/Files.h"
#include "platform/files/internal/TemporaryEntry.h"
#include "support/FilesTestSupport.h"
#include "support/WithheldFeatures.h"

using namespace corvane;

namespace {

// A child that runs body, tells its answer (empty: failed) and waits to be killed; the answer, or
// empty when the child failed, and the child in pid.
std::string InChild(const std::function<std::string()>& body, pid_t& pid) {
    int pipe[2];
    if (::pipe(pipe) != 0) {
        return "";
    }
    pid = fork();
    if (pid == 0) {
        close(pipe[0]);
        const std::string answer = body();
        if (answer.empty() || write(pipe[1], answer.data(), answer.size()) < 0) {
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
    return std::string(text, got > 0 ? static_cast<std::size_t>(got) : 0);
}

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

Names Sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

// A child that is killed when it goes, if the test did not kill it first.
struct Child {
    pid_t pid = -1;
    ~Child() { Kill(); }
    void Kill() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }
};

}  // namespace

TEST(TemporaryOwners, AKilledCopysTemporaryGoesALiveOnesStays) {
    const TempDir dir;
    Child first, second;
    const std::string killed = InChild([&] { return MakeTemporary(dir.path()); }, first.pid);
    const std::string living = InChild([&] { return MakeTemporary(dir.path(), true); }, second.pid);
    ASSERT_TRUE(first.pid > 0 && second.pid > 0 && killed.starts_with(kTemporaryPrefix) && living.starts_with(kTemporaryPrefix))
        << killed << " " << living;
    first.Kill();
    // Not ours: another program's name, and a temporary of another machine.
    std::string elsewhere = NewTemporaryName();
    elsewhere[kTemporaryPrefix.size()] = elsewhere[kTemporaryPrefix.size()] == 'a' ? 'b' : 'a';
    for (const std::string& name : {std::string(".corvane-notes"), elsewhere}) {
        WriteFile(dir / name, "");
    }
    const int folder = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    {
        // Whoever holds the lock is alive, even where its process cannot be seen (another namespace).
        const int held = open((dir / killed).c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
        RemoveAbandonedTemporaries(folder);
        EXPECT_EQ(ListNames(dir.path()).size(), 4U) << "a locked temporary stays";
        close(held);
    }
    RemoveAbandonedTemporaries(folder);
    close(folder);
    EXPECT_EQ(ListNames(dir.path()), Sorted({".corvane-notes", elsewhere, living}));
    // Once the second owner is dead, the folder is cleared when first asked in a pool.
    second.Kill();
    const AutoreleasePool pool;
    const FSRef folderRef = EntryRef(dir.path());
    ASSERT_EQ(FSRemoveAbandonedTemporaries(&folderRef), noErr);
    EXPECT_EQ(ListNames(dir.path()), Sorted({".corvane-notes", elsewhere}));
}

TEST(TemporaryOwners, AKilledInPlaceCopyGoesWithItsRecordUnlessItWasReplaced) {
    const TempDir dir;
    Child partial, replaced;
    ASSERT_EQ(InChild([&] { return BeginInPlaceCopy(dir.path(), "photo.jpg"); }, partial.pid), "recorded");
    ASSERT_EQ(InChild([&] { return BeginInPlaceCopy(dir.path(), "movie.mov"); }, replaced.pid), "recorded");
    ASSERT_EQ(ListNames(dir.path()).size(), 4U) << "two records, two partial copies";
    partial.Kill();
    replaced.Kill();
    // Someone put a file of their own in the place of the partial movie before the next run.
    const std::string keep = dir / "keep";
    WriteFile(keep, "someone's movie");
    ASSERT_EQ(rename(keep.c_str(), (dir / "movie.mov").c_str()), 0);
    const int folder = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    RemoveAbandonedTemporaries(folder);
    close(folder);
    EXPECT_EQ(ListNames(dir.path()), Names{"movie.mov"}) << "no record and no partial copy left";
    EXPECT_EQ(ReadFile(dir / "movie.mov"), "someone's movie");
}
