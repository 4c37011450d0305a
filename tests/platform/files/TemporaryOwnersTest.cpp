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
