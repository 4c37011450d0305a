#include "app/RunJournal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>
#include <variant>

#include "app/UserPreferences.h"
#include "fileops/ObjectMover.h"
#include "platform/base/Log.h"
#include "platform/base/XdgDirectories.h"
#include "platform/prefs/Preferences.h"

namespace corvane {

namespace {

constexpr std::string_view kExtension = ".journal";

// One record per line, its fields between tabs; a field's own backslashes, tabs and newlines are
// escaped, so that any file name fits.
std::string Escaped(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (const char c : field) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<std::string> Fields(std::string_view line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            const char next = line[++i];
            fields.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

std::string Line(std::initializer_list<std::string_view> fields) {
    std::string line;
    for (const std::string_view field : fields) {
        if (!line.empty()) {
            line += '\t';
        }
        line += Escaped(field);
    }
    return line + '\n';
}

std::string Joined(const std::string& folder, const std::string& name) {
    return (folder == "/" ? std::string() : folder) + "/" + name;
}

std::string JournalPath(const std::string& id) { return JournalFolder() + "/" + id + std::string(kExtension); }

// Sortable by time, and unique among this user's runs: the start to the second and the process.
std::string NewRunId(std::time_t started) {
    std::tm local{};
    localtime_r(&started, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return std::string(stamp) + "-" + std::to_string(getpid());
}

constexpr std::size_t kJournalBlock = std::size_t{1} << 20;

std::string Number(std::int64_t value) { return std::to_string(value); }

const char* KindName(JournalEntry::Kind kind) {
    switch (kind) {
    case JournalEntry::Kind::folderMade: return "folder";
    case JournalEntry::Kind::copied: return "copy";
    case JournalEntry::Kind::moved: return "move";
    }
    return "";
}

std::optional<FSObjectState> StateOf(const std::vector<std::string>& fields, std::size_t first) {
    try {
        return FSObjectState{std::stoull(fields[first]), std::stoull(fields[first + 1]), std::stoll(fields[first + 2]),
                             std::stoll(fields[first + 3])};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string Number(std::uint64_t value) { return std::to_string(value); }

std::optional<JournalEntry> EntryOf(const std::vector<std::string>& fields) {
    if (fields.size() == 2 && fields[0] == "folder") {
        return JournalEntry{JournalEntry::Kind::folderMade, {}, {}, fields[1], std::nullopt};
    }
    if (fields.size() != 7 || (fields[0] != "copy" && fields[0] != "move")) {
        return std::nullopt;
    }
    const std::optional<FSObjectState> state = StateOf(fields, 1);
    if (!state) {
        return std::nullopt;
    }
    return JournalEntry{fields[0] == "copy" ? JournalEntry::Kind::copied : JournalEntry::Kind::moved, *state,
                        fields[5], fields[6], std::nullopt};
}

std::optional<RunRecord> ParseRun(const std::string& id, std::string_view text) {
    // The unwritten end of the journal's last block, when the run was killed, holds zero bytes.
    text = text.substr(0, text.find('\0'));
    RunRecord run;
    run.id = id;
    std::size_t start = 0;
    bool header = true;
    // A last line without its newline was cut short by a crash.
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            break;
        }
        const std::vector<std::string> fields = Fields(text.substr(start, end - start));
        start = end + 1;
        if (header) {
            if (fields.size() < 3 || fields[0] != "run") {
                return std::nullopt;
            }
            run.startedNanoseconds = std::atoll(fields[1].c_str());
            run.started = static_cast<std::time_t>(run.startedNanoseconds / 1000000000);
            run.command = fields[2];
            run.folders.assign(fields.begin() + 3, fields.end());
            header = false;
        } else if (fields.size() == 2 && fields[0] == "undoes") {
            run.undoes = fields[1];
        } else if (fields.size() == 1 && fields[0] == "end") {
            run.ended = true;
        } else if (fields.size() == 5 && fields[0] == "done" && !run.entries.empty()) {
            run.entries.back().placed = StateOf(fields, 1);
        } else if (const std::optional<JournalEntry> entry = EntryOf(fields)) {
            run.entries.push_back(*entry);
        }
    }
    return header ? std::nullopt : std::optional<RunRecord>(std::move(run));
}

// Runs are journaled unless the boolean JournalRuns says false.
bool JournalWanted() {
    SynchronizeUserPreferences();
    const std::optional<PreferenceValue> value = CFPreferencesCopyAppValue("JournalRuns", kCorvanePreferenceDomain);
    const bool* wanted = value ? std::get_if<bool>(&*value) : nullptr;
    return wanted == nullptr || *wanted;
}

// Journals are kept for JournalDays days (an integer preference), 30 unless it says otherwise.
int JournalDays() {
    const std::optional<PreferenceValue> value = CFPreferencesCopyAppValue("JournalDays", kCorvanePreferenceDomain);
    const std::int64_t* days = value ? std::get_if<std::int64_t>(&*value) : nullptr;
    return days != nullptr && *days > 0 ? static_cast<int>(std::min<std::int64_t>(*days, 100000)) : 30;
}

std::optional<std::string> ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::string JournalFolder() { return XdgStateHome() + "/corvane"; }

RunJournal::RunJournal(const std::string& command, const std::vector<std::string>& folders,
                       const std::optional<std::string>& undoes) {
    if (!JournalWanted()) {
        return;
    }
    PruneJournals(JournalDays());
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const std::time_t started = now.tv_sec;
    std::error_code made;
    std::filesystem::create_directories(JournalFolder(), made);
    const std::string base = NewRunId(started);
    for (int attempt = 0; attempt < 100 && !fd_.valid(); ++attempt) {
        id_ = attempt == 0 ? base : base + "-" + std::to_string(attempt);
        fd_ = UniqueFd(open(JournalPath(id_).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!fd_.valid() && errno != EEXIST) {
            break;
        }
    }
    std::string header = Line({"run", Number(std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec), command});
    header.pop_back();
    for (const std::string& folder : folders) {
        // An undo may run in another working folder.
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(folder, error);
        header += '\t' + Escaped(error ? folder : absolute.lexically_normal().string());
    }
    header += '\n';
    if (!fd_.valid() || !Append(header) || (undoes && !Append(Line({"undoes", *undoes})))) {
        NSLogFailure("The run journal could not be written in \"%@\": %@; this run cannot be undone",
                     {JournalFolder(), std::string_view(std::strerror(errno))});
        if (fd_.valid()) {
            unlink(JournalPath(id_).c_str());
        }
        fd_.Reset();
        id_.clear();
        return;
    }
    recording_ = true;
    previous_ = SetPlacementRecorder(PlacementRecorder{
        [this](const FSRef* folder) {
            if (const std::optional<std::string> path = PathOfRef(folder)) {
                Record({JournalEntry::Kind::folderMade, {}, {}, *path, std::nullopt});
            }
        },
        [this](signed char copy, const FSRef* item, const std::string& source, const std::string& folder,
               const std::string& finalName) {
            // The reference knows the item's identity, which is all an undo asks of the source.
            Record({copy != 0 ? JournalEntry::Kind::copied : JournalEntry::Kind::moved,
                    {item->device, item->inode, 0, 0}, source, Joined(folder, finalName), std::nullopt});
        },
        [this](const FSRef* placed) {
            // The reference was made from the entry just after the placement, so it already knows that state.
            RecordPlaced(FSObjectStateWhenSeen(placed));
        }});
}

RunJournal::~RunJournal() {
    if (recording_) {
        SetPlacementRecorder(std::move(previous_));
    }
    if (!fd_.valid()) {
        return;
    }
    Append(Line({"end"}));
    if (mapped_ != nullptr) {
        munmap(mapped_, capacity_);
    }
    // The file keeps the records, not the rest of its last block.
    if (fd_.valid() && ftruncate(fd_.get(), static_cast<off_t>(length_)) == 0) {
        fdatasync(fd_.get());
    }
}

bool RunJournal::Append(const std::string& line) {
    if (length_ + line.size() > capacity_) {
        const std::size_t grown = (length_ + line.size() + kJournalBlock) / kJournalBlock * kJournalBlock;
        if (mapped_ != nullptr) {
            munmap(mapped_, capacity_);
            mapped_ = nullptr;
        }
        void* mapping = MAP_FAILED;
        if (ftruncate(fd_.get(), static_cast<off_t>(grown)) == 0) {
            mapping = mmap(nullptr, grown, PROT_READ | PROT_WRITE, MAP_SHARED, fd_.get(), 0);
        }
        if (mapping == MAP_FAILED) {
            NSLogFailure("The run journal \"%@\" could not grow: %@; the rest of this run cannot be undone",
                         {JournalPath(id_), std::string_view(std::strerror(errno))});
            ftruncate(fd_.get(), static_cast<off_t>(length_));
            fd_.Reset();
            return false;
        }
        mapped_ = static_cast<char*>(mapping);
        capacity_ = grown;
    }
    std::memcpy(mapped_ + length_, line.data(), line.size());
    length_ += line.size();
    return true;
}

void RunJournal::Record(const JournalEntry& entry) {
    if (!fd_.valid()) {
        return;
    }
    if (entry.kind == JournalEntry::Kind::folderMade) {
        Append(Line({KindName(entry.kind), entry.destination}));
        return;
    }
    const FSObjectState& state = entry.sourceState;
    Append(Line({KindName(entry.kind), Number(state.device), Number(state.inode), Number(state.size),
                 Number(state.modifiedNanoseconds), entry.source, entry.destination}));
    if (entry.placed) {
        RecordPlaced(*entry.placed);
    }
}

void RunJournal::RecordPlaced(const FSObjectState& placed) {
    if (fd_.valid()) {
        Append(Line({"done", Number(placed.device), Number(placed.inode), Number(placed.size),
                     Number(placed.modifiedNanoseconds)}));
    }
}

std::optional<RunRecord> ReadRun(const std::string& id, std::string* why) {
    const bool plainName = !id.empty() && id.find('/') == std::string::npos && id[0] != '.';
    const std::optional<std::string> text = plainName ? ReadText(JournalPath(id)) : std::nullopt;
    std::optional<RunRecord> run = text ? ParseRun(id, *text) : std::nullopt;
    if (!run && why != nullptr) {
        *why = text ? "its journal " + JournalPath(id) + " is not one Corvane wrote"
                    : "there is no run \"" + id + "\" (see corvane runs)";
    }
    return run;
}

std::vector<RunRecord> ListRuns() {
    std::vector<RunRecord> runs;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(JournalFolder(), error)) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(kExtension) && entry.is_regular_file()) {
            if (std::optional<RunRecord> run = ReadRun(name.substr(0, name.size() - kExtension.size()), nullptr)) {
                runs.push_back(std::move(*run));
            }
        }
    }
    std::sort(runs.begin(), runs.end(), [](const RunRecord& a, const RunRecord& b) {
        return std::tie(a.started, a.id) < std::tie(b.started, b.id);
    });
    // An undo names the run it takes back; only one that went to its end took it back.
    for (const RunRecord& undo : runs) {
        if (undo.undoes && undo.ended) {
            for (RunRecord& run : runs) {
                if (run.id == *undo.undoes) {
                    run.undoneBy = undo.id;
                }
            }
        }
    }
    return runs;
}

void PruneJournals(int days) {
    const std::time_t oldest = std::time(nullptr) - static_cast<std::time_t>(days) * 24 * 60 * 60;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(JournalFolder(), error)) {
        struct stat status {};
        const std::string path = entry.path().string();
        if (path.ends_with(kExtension) && lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
            status.st_mtime < oldest) {
            unlink(path.c_str());
        }
    }
}

}  // namespace corvane
