// The journal of each run: every key folder it made and every item it copied or moved, appended as it
// happens under $XDG_STATE_HOME/corvane/, so that `corvane undo` can take the run back, even one that
// was killed half-way.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "fileops/PlacementRecorder.h"
#include "platform/base/FileDescriptors.h"

namespace corvane {

struct JournalEntry {
    enum class Kind { folderMade, copied, moved };
    Kind kind;
    FSObjectState sourceState;  ///< the identity of the item before it was placed; zero for a folder
    std::string source;         ///< where the item came from; empty for a folder
    std::string destination;    ///< the folder made, or where the item was put
    /// The placed item as it lay once placed; none when the run was killed before it could say.
    std::optional<FSObjectState> placed;
};

struct RunRecord {
    std::string id;
    std::time_t started = 0;
    std::int64_t startedNanoseconds = 0;  ///< to the nanosecond, as file times are kept
    std::string command;
    std::vector<std::string> folders;
    std::vector<JournalEntry> entries;
    std::optional<std::string> undoes;    ///< for an undo: the run it takes back
    std::optional<std::string> undoneBy;  ///< the undo that took this run back to its end
    bool ended = false;                   ///< false for a run that was killed or is still going
};

/// The folder of the journals: $XDG_STATE_HOME/corvane (~/.local/state/corvane by default).
std::string JournalFolder();

/// Keeps the journal of one run while it lives: it records every placement the run makes from its
/// start, and marks the run ended when it goes. A journal that cannot be written is said once in the
/// log; the run goes on without it. The boolean preference JournalRuns set to false turns journals off;
/// journals older than JournalDays days (30 unless set) go when a run starts.
class RunJournal {
public:
    RunJournal(const std::string& command, const std::vector<std::string>& folders,
               const std::optional<std::string>& undoes = std::nullopt);
    ~RunJournal();
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    /// The run's name, as `corvane runs` lists it; empty when no journal could be written.
    const std::string& id() const { return id_; }

    /// Records an entry; a copy or move with its placed state, or without it until RecordPlaced.
    void Record(const JournalEntry& entry);
    void RecordPlaced(const FSObjectState& placed);

private:
    // Records are copied into a shared mapping of the file, which grows a block at a time: what is copied
    // is in the page cache at once, so it outlives a killed run, and a record costs no system call.
    bool Append(const std::string& line);
    UniqueFd fd_;
    char* mapped_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t length_ = 0;
    std::string id_;
    bool recording_ = false;
    PlacementRecorder previous_;
};

/// The run of that name, whole, without undoneBy; none with why when there is no such journal or it
/// cannot be read. A last line cut short by a crash is left out.
std::optional<RunRecord> ReadRun(const std::string& id, std::string* why);

/// Every journaled run, oldest first, each with the undo that took it back, if one did to its end.
std::vector<RunRecord> ListRuns();

/// Removes the journals of runs that started more than days days ago.
void PruneJournals(int days);

}  // namespace corvane
