#include "app/DryRun.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/RunJournal.h"
#include "fileops/ObjectMover.h"
#include "fileops/PlacementRecorder.h"
#include "platform/base/FileDescriptors.h"
#include "platform/base/Log.h"
#include "platform/files/EntryAttributes.h"
#include "platform/files/FileAttributes.h"

namespace corvane {

namespace {

constexpr const char* kFinderInfo = "user.com.apple.FinderInfo";

// The view lives where the session keeps its runtime files (memory on every desktop), else in the
// temporary folder.
std::string ViewParent() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info {};
    if (runtime != nullptr && runtime[0] == '/' && stat(runtime, &info) == 0 && S_ISDIR(info.st_mode) &&
        access(runtime, W_OK) == 0) {
        return runtime;
    }
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    return error ? "/tmp" : temporary.string();
}

void CopyFinderInfo(int realFolder, const char* name, int viewFolder, const char* viewName) {
    char info[64];
    const ssize_t size = GetEntryAttribute(realFolder, name, kFinderInfo, info, sizeof info);
    if (size > 0) {
        SetEntryAttribute(viewFolder, viewName, kFinderInfo, info, static_cast<std::size_t>(size));
    }
}

// Each entry of the real folder again in the view: folders with their entries, files empty but of the
// same size, times and permissions, links with the same target, anything else as a FIFO, which a run
// refuses to copy just the same. Nothing below the folder is reached through a link.
void MirrorFolder(int real, int view, BirthTimeStandIns& births) {
    const UniqueFolderStream stream = OpenFolderStream(real);
    if (stream == nullptr) {
        return;
    }
    std::vector<std::pair<std::string, mode_t>> folders;
    while (const dirent* entry = readdir(stream.get())) {
        const char* name = entry->d_name;
        struct statx info {};
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0 ||
            statx(real, name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) {
            continue;
        }
        const mode_t mode = info.stx_mode & 07777;
        if (S_ISDIR(info.stx_mode)) {
            if (mkdirat(view, name, 0700) == 0) {
                folders.emplace_back(name, mode);
            }
        } else if (S_ISREG(info.stx_mode)) {
            const UniqueFd file(openat(view, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
            struct stat made {};
            if (!file.valid() || ftruncate(file.get(), static_cast<off_t>(info.stx_size)) != 0 ||
                fstat(file.get(), &made) != 0) {
                continue;
            }
            const timespec times[2] = {{info.stx_atime.tv_sec, info.stx_atime.tv_nsec},
                                       {info.stx_mtime.tv_sec, info.stx_mtime.tv_nsec}};
            futimens(file.get(), times);
            fchmod(file.get(), mode);
            births[{made.st_dev, made.st_ino}] =
                (info.stx_mask & STATX_BTIME) != 0 ? std::optional<std::time_t>(info.stx_btime.tv_sec) : std::nullopt;
        } else if (S_ISLNK(info.stx_mode)) {
            char target[PATH_MAX];
            const ssize_t length = readlinkat(real, name, target, sizeof target - 1);
            if (length < 0) {
                continue;
            }
            target[length] = '\0';
            symlinkat(target, view, name);
            continue;
        } else {
            mkfifoat(view, name, 0600);
        }
        CopyFinderInfo(real, name, view, name);
    }
    for (const auto& [name, mode] : folders) {
        const UniqueFd inner(openat(real, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        const UniqueFd innerView(openat(view, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (inner.valid() && innerView.valid()) {
            MirrorFolder(inner.get(), innerView.get(), births);
        }
    }
}

// The view's folders given back their permissions only now, so that a read-only folder could be filled.
void SetFolderModes(int real, int view) {
    const UniqueFolderStream stream = OpenFolderStream(view);
    while (const dirent* entry = stream != nullptr ? readdir(stream.get()) : nullptr) {
        struct stat info {};
        struct stat original {};
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0 ||
            fstatat(view, name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(info.st_mode) ||
            fstatat(real, name, &original, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        const UniqueFd inner(openat(real, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        const UniqueFd innerView(openat(view, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (inner.valid() && innerView.valid()) {
            SetFolderModes(inner.get(), innerView.get());
            fchmod(innerView.get(), original.st_mode & 07777);
        }
    }
}

// The view of the folders, removed with everything in it when it goes.
class FolderView {
public:
    FolderView() {
        std::string pattern = ViewParent() + "/corvane-preview-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) {
            root_ = pattern;
        }
    }
    ~FolderView() {
        if (root_.empty()) {
            return;
        }
        std::error_code error;
        for (auto entry = std::filesystem::recursive_directory_iterator(root_, error);
             entry != std::filesystem::recursive_directory_iterator(); entry.increment(error)) {
            if (entry->is_directory(error) && !entry->is_symlink(error)) {
                chmod(entry->path().c_str(), 0700);
            }
        }
        std::filesystem::remove_all(root_, error);
    }
    FolderView(const FolderView&) = delete;
    FolderView& operator=(const FolderView&) = delete;

    /// The view of folder (absolute), or none when folder is not a folder that can be read.
    std::optional<std::string> Add(const std::string& folder, BirthTimeStandIns& births) {
        const UniqueFd real(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (root_.empty() || !real.valid()) {
            return std::nullopt;
        }
        const std::string slot = root_ + "/" + std::to_string(count_++);
        const std::string name = std::filesystem::path(folder).filename().string();
        const std::string view = slot + "/" + (name.empty() ? "root" : name);
        std::error_code error;
        std::filesystem::create_directories(view, error);
        const UniqueFd viewFd(open(view.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (error || !viewFd.valid()) {
            return std::nullopt;
        }
        MirrorFolder(real.get(), viewFd.get(), births);
        SetFolderModes(real.get(), viewFd.get());
        CopyFinderInfo(real.get(), ".", viewFd.get(), ".");
        return view;
    }

private:
    std::string root_;
    int count_ = 0;
};

struct Step {
    JournalEntry::Kind kind;
    std::string source;
    std::string destination;
    bool renamed = false;
    bool placed = false;
};

std::string Absolute(const std::string& folder) {
    std::error_code error;
    std::string path = std::filesystem::absolute(folder, error).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return error ? folder : path;
}

// The view's paths told as the real folders' paths.
class Translation {
public:
    void Add(const std::string& view, const std::string& real) { roots_.emplace_back(view, real); }
    std::string operator()(const std::string& path) const {
        for (const auto& [view, real] : roots_) {
            if (path == view || path.starts_with(view + "/")) {
                return real + path.substr(view.size());
            }
        }
        return path;
    }

private:
    std::vector<std::pair<std::string, std::string>> roots_;
};

// One line per step whatever the names hold: their control characters are escaped as the log escapes them.
std::string StepLine(const Step& step, const Translation& real) {
    const std::string destination = real(step.destination);
    const std::string source = real(step.source);
    if (step.kind == JournalEntry::Kind::folderMade) {
        return FormatLogLine("Would make folder \"%@\"", {destination});
    }
    const std::string_view verb = step.kind == JournalEntry::Kind::copied ? "copy" : "move";
    if (!step.placed) {
        return FormatLogLine("Would fail to %@ \"%@\" to \"%@\"", {verb, source, destination});
    }
    if (step.renamed) {
        return FormatLogLine("Would %@ \"%@\" into \"%@\" under a new name made unique",
                             {verb, source, std::string_view(destination).substr(0, destination.rfind('/'))});
    }
    return FormatLogLine("Would %@ \"%@\" to \"%@\"", {verb, source, destination});
}

}  // namespace

Preview PreviewRun(const std::string& command, const std::vector<std::string>& folders) {
    BirthTimeStandIns births;
    FolderView view;
    Translation real;
    std::vector<std::string> paths;
    for (const std::string& folder : folders) {
        const std::string absolute = Absolute(folder);
        const std::optional<std::string> viewed = view.Add(absolute, births);
        // What is no folder is refused by the run as it would be, and nothing is written for it.
        paths.push_back(viewed.value_or(absolute));
        if (viewed) {
            real.Add(*viewed, absolute);
        }
    }
    std::vector<Step> steps;
    std::vector<std::string> made;
    const LogSink previousSink = SetLogSink([](const std::string&, LogPriority) {});
    SetBirthTimeStandIns(std::move(births));
    const PlacementRecorder previousRecorder = SetPlacementRecorder(PlacementRecorder{
        [&steps](const FSRef* folder) {
            if (const std::optional<std::string> path = PathOfRef(folder)) {
                steps.push_back({JournalEntry::Kind::folderMade, {}, *path, false, true});
            }
        },
        [&steps](signed char copy, const FSRef*, const std::string& source, const std::string& folder,
                 const std::string& finalName) {
            const bool renamed = finalName != source.substr(source.rfind('/') + 1);
            steps.push_back({copy != 0 ? JournalEntry::Kind::copied : JournalEntry::Kind::moved, source,
                             folder + "/" + finalName, renamed, false});
        },
        [&steps](const FSRef*) {
            if (!steps.empty()) {
                steps.back().placed = true;
            }
        }});
    AppController controller;
    controller.handleMenuSelection(&paths, &command);
    SetPlacementRecorder(previousRecorder);
    SetBirthTimeStandIns({});
    SetLogSink(previousSink);

    Preview preview;
    for (const Step& step : steps) {
        preview.steps.push_back(StepLine(step, real));
    }
    preview.outcomes = controller.lastRequest;
    for (FolderOutcome& outcome : preview.outcomes) {
        outcome.path = real(outcome.path);
    }
    return preview;
}

}  // namespace corvane
