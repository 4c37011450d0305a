#include "platform/base/DataFiles.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace corvane {

namespace fs = std::filesystem;

namespace {

std::optional<fs::path> ProgramFolder() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error) {
        return std::nullopt;
    }
    return self.parent_path();
}

}  // namespace

std::optional<std::string> FindDataFile(const std::string& name) {
    std::vector<fs::path> folders;
    if (const char* overridden = std::getenv("CORVANE_DATA_DIR"); overridden != nullptr && *overridden != '\0') {
        folders.emplace_back(overridden);
    }
    if (const auto program = ProgramFolder()) {
        folders.push_back(*program / CORVANE_DATA_RELATIVE_DIR);
    }
    folders.emplace_back(CORVANE_SOURCE_DATA_DIR);
    for (const auto& folder : folders) {
        const fs::path candidate = folder / name;
        if (access(candidate.c_str(), R_OK) == 0) {
            return candidate.string();
        }
    }
    return std::nullopt;
}

}  // namespace corvane
