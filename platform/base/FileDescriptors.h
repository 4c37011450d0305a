// Open file descriptors as owned values, their limit, writing all of a buffer, and the names in an open
// folder.
#pragma once

#include <cstddef>
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

private:
    int fd_ = -1;
};

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
