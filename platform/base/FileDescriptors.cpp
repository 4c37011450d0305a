#include "platform/base/FileDescriptors.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corvane {

void UniqueFd::Reset() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

int UniqueFd::Close() {
    return close(std::exchange(fd_, -1));
}

UniqueFolderStream OpenFolderStream(int folder) {
    UniqueFd fd(openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) {
        return nullptr;
    }
    UniqueFolderStream stream(fdopendir(fd.get()));
    if (stream != nullptr) {
        fd.Release();
    }
    return stream;
}

void RaiseDescriptorLimit() {
    struct rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

int ReadFolderNames(int folder, std::vector<std::string>& names) {
    const UniqueFolderStream stream = OpenFolderStream(folder);
    if (stream == nullptr) {
        return errno;
    }
    int error = 0;
    for (;;) {
        errno = 0;
        const struct dirent* entry = readdir(stream.get());
        if (entry == nullptr) {
            error = errno;
            break;
        }
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.emplace_back(entry->d_name);
        }
    }
    return error;
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace corvane
