#include "platform/files/internal/TemporaryOwners.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/base/FileDescriptors.h"
#include "platform/files/internal/TemporaryEntry.h"

namespace corvane {

namespace {

// Who made a temporary: the first hexadecimal digits of the machine's and the boot's identities,
// and the process id with the process's start time (which tells a process from a later one that
// got the same id).
struct Owner {
    std::string machine;
    std::string boot;
    long long process = 0;
    unsigned long long start = 0;
    bool inPlaceRecord = false;
};

constexpr std::size_t kIdentityDigits = 8;

std::string IdentityDigits(const char* file) {
    const UniqueFd in(open(file, O_RDONLY | O_CLOEXEC));
    char text[64];
    const ssize_t got = in.valid() ? read(in.get(), text, sizeof text) : -1;
    std::string digits;
    for (ssize_t at = 0; at < got && digits.size() < kIdentityDigits; ++at) {
        if (std::isxdigit(static_cast<unsigned char>(text[at])) != 0) {
            digits += text[at];
        }
    }
    return digits.size() == kIdentityDigits ? digits : std::string();
}

enum class Liveness { lives, gone, unknown };

// The start time of a process of this boot, read from /proc (field 22, counted after the command
// name in parentheses, which may itself hold blanks and parentheses).
Liveness ProcessStarted(long long process, unsigned long long& start) {
    const UniqueFd stat(open(("/proc/" + std::to_string(process) + "/stat").c_str(), O_RDONLY | O_CLOEXEC));
    if (!stat.valid()) {
        return errno == ENOENT ? Liveness::gone : Liveness::unknown;
    }
    char text[1024];
    const ssize_t got = read(stat.get(), text, sizeof text - 1);
    if (got <= 0) {
        return Liveness::unknown;
    }
    text[got] = '\0';
    const char* at = std::strrchr(text, ')');
    // From the blank before the state (field 3) to the blank before the start time.
    constexpr int kBlanksToStart = 19;
    for (int blank = 0; at != nullptr && blank < kBlanksToStart; ++blank) {
        at = std::strchr(at + 2, ' ');
    }
    return at != nullptr && std::sscanf(at, " %llu", &start) == 1 ? Liveness::lives : Liveness::unknown;
}

// This process's identity, learnt again in a child after fork.
const Owner& Self() {
    static Owner self;
    if (self.process != getpid()) {
        self.machine = IdentityDigits("/etc/machine-id");
        self.boot = IdentityDigits("/proc/sys/kernel/random/boot_id");
        self.process = getpid();
        if (ProcessStarted(self.process, self.start) != Liveness::lives) {
            self.boot.clear();
        }
    }
    return self;
}

std::optional<Owner> OwnerInName(std::string_view name) {
    if (!name.starts_with(kTemporaryPrefix)) {
        return std::nullopt;
    }
    const std::string rest(name.substr(kTemporaryPrefix.size()));
    char machine[kIdentityDigits + 1] = {};
    char boot[kIdentityDigits + 1] = {};
    Owner owner;
    int used = 0;
    if (std::sscanf(rest.c_str(), "%8[0-9a-f]-%8[0-9a-f]-%lld-%llu-%*16[0-9a-f]%n", machine, boot, &owner.process,
                    &owner.start, &used) != 4) {
        return std::nullopt;
    }
    const std::string_view suffix = std::string_view(rest).substr(static_cast<std::size_t>(used));
    if (!suffix.empty() && suffix != kInPlaceRecordSuffix) {
        return std::nullopt;
    }
    owner.inPlaceRecord = !suffix.empty();
    owner.machine = machine;
    owner.boot = boot;
    return owner;
}

// Whether the owner of a temporary still runs. Only a process of this machine can be asked; one of
// an earlier boot of it is gone.
Liveness OwnerLiveness(const Owner& owner) {
    const Owner& self = Self();
    if (self.machine.empty() || self.boot.empty() || owner.machine != self.machine) {
        return Liveness::unknown;
    }
    if (owner.boot != self.boot) {
        return Liveness::gone;
    }
    unsigned long long start = 0;
    const Liveness process = ProcessStarted(owner.process, start);
    return process == Liveness::lives && start != owner.start ? Liveness::gone : process;
}

bool IsEmpty(int folder, const std::string& entry, const struct stat& status) {
    if (!S_ISDIR(status.st_mode)) {
        return S_ISREG(status.st_mode) && status.st_size == 0;
    }
    const UniqueFd inner(openat(folder, entry.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    std::vector<std::string> names;
    return inner.valid() && ReadFolderNames(inner.get(), names) == 0 && names.empty();
}

// The entry that an abandoned in-place record names: removed while it is the one recorded (a claim
// on a name only while it is still empty, since what took its place is no longer it), or, when its
// maker was killed before it could record which one, while it is still empty.
void RemoveRecordedEntry(int folder, int record) {
    char text[512];
    const ssize_t got = pread(record, text, sizeof text - 1, 0);
    const char* end = got > 0 ? static_cast<const char*>(std::memchr(text, '\0', static_cast<std::size_t>(got))) : nullptr;
    if (end == nullptr || end == text) {
        return;
    }
    text[got] = '\0';
    const std::string entry(static_cast<const char*>(text), end);
    unsigned long long inode = 0;
    int used = 0;
    const bool recorded = std::sscanf(end + 1, "%llu%n", &inode, &used) == 1;
    const bool claim = recorded && std::string_view(end + 1 + used) == kClaimMark;
    struct stat status {};
    if (entry.find('/') != std::string::npos || entry == "." || entry == ".." ||
        fstatat(folder, entry.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return;
    }
    if (recorded && !claim ? status.st_ino == inode
                           : (!recorded || status.st_ino == inode) && IsEmpty(folder, entry, status)) {
        RemoveTree(folder, entry, true);
    }
}

void RemoveIfAbandoned(int folder, const std::string& name) {
    const std::optional<Owner> owner = OwnerInName(name);
    if (!owner || OwnerLiveness(*owner) != Liveness::gone) {
        return;
    }
    struct stat status {};
    if (fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return;
    }
    if (S_ISLNK(status.st_mode)) {
        unlinkat(folder, name.c_str(), 0);
        return;
    }
    const bool isFolder = S_ISDIR(status.st_mode);
    if (!isFolder && !S_ISREG(status.st_mode)) {
        return;
    }
    const UniqueFd held(
        openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (isFolder ? O_DIRECTORY : 0)));
    struct stat opened {};
    if (!held.valid() || fstat(held.get(), &opened) != 0 || opened.st_dev != status.st_dev ||
        opened.st_ino != status.st_ino) {
        return;
    }
    // A process in another process namespace looks gone from here; its lock says otherwise.
    if (flock(held.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        return;
    }
    if (owner->inPlaceRecord && !isFolder) {
        RemoveRecordedEntry(folder, held.get());
    }
    if (isFolder) {
        RemoveTree(folder, name, true);
    } else {
        unlinkat(folder, name.c_str(), 0);
    }
}

}  // namespace

std::string NewTemporaryName(std::string_view suffix) {
    static std::uint64_t counter = 0;
    std::uint64_t random = 0;
    if (getrandom(&random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
        random = static_cast<std::uint64_t>(getpid()) << 32;
    }
    random ^= ++counter;
    const Owner& self = Self();
    const std::string unknown(kIdentityDigits, '0');
    char text[128];
    std::snprintf(text, sizeof text, "%s-%s-%lld-%llu-%016llx", self.machine.empty() ? unknown.c_str() : self.machine.c_str(),
                  self.boot.empty() ? unknown.c_str() : self.boot.c_str(), self.process, self.start,
                  static_cast<unsigned long long>(random));
    return std::string(kTemporaryPrefix) + text + std::string(suffix);
}

void LockTemporary(int fd) { flock(fd, LOCK_EX | LOCK_NB); }

void RemoveAbandonedTemporaries(int folder) {
    std::vector<std::string> names;
    if (ReadFolderNames(folder, names) != 0) {
        return;
    }
    for (const std::string& name : names) {
        RemoveIfAbandoned(folder, name);
    }
}

}  // namespace corvane
