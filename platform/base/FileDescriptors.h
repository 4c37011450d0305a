// Open file descriptors as owned values, their limit, writing all of a buffer, and the names in an open
// folder.
#pragma once

#include <dirent.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane {

/// Owns one descriptor and closes it when it goes; -1 owns nothing.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void Reset();
    /// Closes the descriptor now and says how that went: 0, or -1 with errno set (a write the file
    /// system could not complete may only show here).
    int Close();
    /// Hands the descriptor over to a new owner; this one then owns nothing.
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_ = -1;
};

struct FolderStreamCloser {
    void operator()(DIR* stream) const { closedir(stream); }
};
/// Owns an open directory stream and closes it when it goes.
using UniqueFolderStream = std::unique_ptr<DIR, FolderStreamCloser>;

/// A directory stream of the open folder itself, whatever its name leads to now, on a descriptor of its
/// own (so folder keeps its offset); null with errno set when it cannot be had.
UniqueFolderStream OpenFolderStream(int folder);

/// Raises the soft limit of open descriptors to the hard one: a walk holds one descriptor for each
/// folder it is inside of, so the depth of a tree it can tidy is bounded by that limit.
void RaiseDescriptorLimit();

/// Writes all of data to fd, again after an interruption or a short write; false with errno set when a
/// write fails.
bool WriteAll(int fd, std::string_view data);

/// 0 and the names in the open folder ('.' and '..' left out), or an errno. Reads through its own
/// descriptor, so folder keeps its offset.
int ReadFolderNames(int folder, std::vector<std::string>& names);

}  // namespace corvane
