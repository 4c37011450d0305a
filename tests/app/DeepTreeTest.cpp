// A tree deeper than PATH_MAX tidied end to end. No path to its bottom can be handed to the kernel,
// so the test builds, reads and removes it one name at a time from folder descriptors.

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "platform/base/FileDescriptors.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

using namespace corvane;

namespace {

int OpenFolderAt(int folder, const std::string& name) {
    return openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

void WriteFileAt(int folder, const std::string& name, const std::string& bytes) {
    const UniqueFd file(openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    ASSERT_TRUE(file.valid()) << name;
    ASSERT_EQ(write(file.get(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

std::string ReadFileAt(int folder, const std::string& relative) {
    const UniqueFd file(openat(folder, relative.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    std::string bytes(64, '\0');
    const ssize_t got = file.valid() ? read(file.get(), bytes.data(), bytes.size()) : -1;
    return got < 0 ? std::string("(unreadable)") : bytes.substr(0, static_cast<std::size_t>(got));
}

// Removes name in folder and all it holds, a level at a time, which removal by path cannot do here.
void RemoveAt(int folder, const std::string& name) {
    const int inner = OpenFolderAt(folder, name);
    if (inner < 0) {
        unlinkat(folder, name.c_str(), 0);
        return;
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(fdopendir(inner), closedir);
    std::vector<std::string> names;
    while (const dirent* entry = readdir(listing.get())) {
        if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") {
            names.emplace_back(entry->d_name);
        }
    }
    for (const std::string& inside : names) {
        RemoveAt(dirfd(listing.get()), inside);
    }
    unlinkat(folder, name.c_str(), AT_REMOVEDIR);
}

// Declared after the TempDir, so that the chain is gone before removal by path gets to it.
struct RemovedFirst {
    ~RemovedFirst() { RemoveAt(AT_FDCWD, path); }
    const std::string path;
};

}  // namespace

TEST(DeepTree, ATreeDeeperThanPathMaxIsTidiedToItsBottom) {
    constexpr int kDepth = 40;
    constexpr int kMiddle = kDepth / 2;
    const std::string name(120, 'n');
    TempDir dir;
    const RemovedFirst tree{dir / "Top"};
    ASSERT_GT((dir / "Top").size() + kDepth * (name.size() + 1), static_cast<std::size_t>(PATH_MAX));
    ASSERT_EQ(mkdir((dir / "Top").c_str(), 0755), 0);
    {
        std::vector<UniqueFd> levels;
        levels.emplace_back(OpenFolderAt(AT_FDCWD, dir / "Top"));
        for (int level = 1; level <= kDepth; ++level) {
            ASSERT_EQ(mkdirat(levels.back().get(), name.c_str(), 0755), 0) << level;
            levels.emplace_back(OpenFolderAt(levels.back().get(), name));
        }
        WriteFileAt(levels[kMiddle].get(), "mid.txt", "middle");
        WriteFileAt(levels.back().get(), "deep.txt", "bottom");
    }
    const auto environment = UserEnvironment(dir / "home");
    ASSERT_EQ(RunCorvane({"defaults", "write", "RecurseFolders", "-bool", "true"}, environment).exitStatus, 0);
    const ProgramResult result = RunCorvane({"run", "Aggregate Files by Extension", dir / "Top"}, environment);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_TRUE(Contains(result.logLines(), "Moved \"deep.txt\" to \"txt\"")) << result.err;

    UniqueFd level(OpenFolderAt(AT_FDCWD, dir / "Top"));
    for (int depth = 1; depth <= kDepth; ++depth) {
        level = UniqueFd(OpenFolderAt(level.get(), name));
        ASSERT_TRUE(level.valid()) << depth;
        if (depth == kMiddle) {
            EXPECT_EQ(ReadFileAt(level.get(), "txt/mid.txt"), "middle");
        }
    }
    EXPECT_EQ(ReadFileAt(level.get(), "txt/deep.txt"), "bottom");
    EXPECT_EQ(ReadFileAt(level.get(), "deep.txt"), "bottom") << "the original stays";
}
