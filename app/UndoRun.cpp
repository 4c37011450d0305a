#include "app/UndoRun.h"

#include <algorithm>

#include "app/RunJournal.h"
#include "fileops/DirectoryListing.h"
#include "fileops/ObjectMover.h"
#include "grouping/KeyFolders.h"
#include "platform/base/Log.h"
#include "platform/base/UnicodeText.h"
#include "platform/files/AutoreleasePool.h"
#include "platform/files/FSRefResolve.h"

namespace corvane {

namespace {

std::string ParentOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The placed item, if the entry at its path is still the very object the run placed, unchanged. A run
// killed before it could note what it placed left only what it was placing, under a name that was free
// a moment before: then the entry must be, for a move on one file system, the source itself, and for a
// copy anything but the source.
OSErr PlacedItem(const JournalEntry& entry, FSRef* item) {
    if (FSPathMakeRefWithOptions(entry.destination.c_str(), kFSPathMakeRefDoNotFollowLeafSymlink, item, nullptr) !=
        noErr) {
        return fnfErr;
    }
    FSObjectState now{};
    if (FSGetObjectState(item, &now) != noErr) {
        return fnfErr;
    }
    if (entry.placed) {
        return now == *entry.placed ? noErr : fBsyErr;
    }
    const FSObjectState& source = entry.sourceState;
    const bool sameObject = now.device == source.device && now.inode == source.inode;
    const bool moveKept = entry.kind == JournalEntry::Kind::moved && (sameObject || now.device != source.device);
    const bool copyMade = entry.kind == JournalEntry::Kind::copied && !sameObject;
    return moveKept || copyMade ? noErr : fBsyErr;
}

// Whether nothing inside a copied folder (a package) was written since the run began: a copy keeps its
// source's times, so anything newer is the user's own work.
bool UnchangedSince(const FSRef* folder, std::int64_t started) {
    for (const FSRef& child : GetDirectoryItemsList(folder)) {
        FSObjectState state{};
        if (FSGetObjectState(&child, &state) != noErr || state.modifiedNanoseconds > started ||
            (RefIsDirectory(child) && !UnchangedSince(&child, started))) {
            return false;
        }
    }
    return true;
}

// A copied folder goes with everything in it, as the copy made it; a link is removed as the link,
// never followed.
OSErr DeleteTree(const FSRef* item) {
    OSErr result = FSDeleteObject(item);
    if (result != fBsyErr) {
        return result;
    }
    for (const FSRef& child : GetDirectoryItemsList(item)) {
        if ((result = DeleteTree(&child)) != noErr) {
            return result;
        }
    }
    return FSDeleteObject(item);
}

class Undo {
public:
    Undo(std::ostream& report, std::int64_t startedNanoseconds) : report_(report), started_(startedNanoseconds) {}

    void Take(const JournalEntry& entry, RunJournal& journal, UndoOutcome& outcome) {
        // A run killed before it placed what it was placing left nothing there to take back.
        FSRef item{};
        if (!entry.placed && entry.kind != JournalEntry::Kind::folderMade && PlacedItem(entry, &item) == fnfErr) {
            return;
        }
        switch (entry.kind) {
        case JournalEntry::Kind::copied: RemoveCopy(entry, outcome); break;
        case JournalEntry::Kind::moved: MoveBack(entry, journal, outcome); break;
        case JournalEntry::Kind::folderMade: RemoveFolder(entry, outcome); break;
        }
    }

private:
    void Keep(const std::string& path, const std::string& why, UndoOutcome& outcome) {
        report_ << "kept " << path << ": " << why << "\n";
        ++outcome.kept;
    }

    void RemoveCopy(const JournalEntry& entry, UndoOutcome& outcome) {
        FSRef item{};
        const OSErr found = PlacedItem(entry, &item);
        if (found == fnfErr) {
            Keep(entry.destination, "it is no longer there", outcome);
        } else if (found != noErr || (RefIsDirectory(item) && !UnchangedSince(&item, started_))) {
            Keep(entry.destination, "it changed since the run copied it", outcome);
        } else if (const OSErr removed = DeleteTree(&item); removed != noErr) {
            Keep(entry.destination, "it could not be removed (error " + std::to_string(removed) + ")", outcome);
        } else {
            ++outcome.removed;
        }
    }

    void MoveBack(const JournalEntry& entry, RunJournal& journal, UndoOutcome& outcome) {
        FSRef item{};
        FSRef folder{};
        const OSErr found = PlacedItem(entry, &item);
        if (found != noErr) {
            Keep(entry.destination, found == fnfErr ? "it is no longer there" : "it changed since the run moved it",
                 outcome);
            return;
        }
        const std::string folderPath = ParentOf(entry.source);
        if (FSPathMakeRef(folderPath.c_str(), &folder, nullptr) != noErr) {
            Keep(entry.destination, "the folder it came from, " + folderPath + ", is gone", outcome);
            return;
        }
        // Nothing is ever replaced: a name taken since the run gets a new name made unique.
        // The journal holds POSIX names, the File Manager catalog names, in which a ':' is a '/'.
        std::string name = NameOf(entry.source);
        if (FSObjectExists(&folder, WithSeparatorsSwapped(name), nullptr)) {
            const std::string taken = name;
            name = UniqueNameLike(name);
            NSLog("The name \"%@\" is taken in \"%@\": \"%@\" goes back as \"%@\"",
                  {taken, folderPath, NameOf(entry.destination), name});
        }
        const std::optional<std::u16string> units = GetUnicodeString(WithSeparatorsSwapped(name));
        const FSObjectState before{item.device, item.inode, 0, 0};
        FSRef placed{};
        const OSErr moved = units ? FSMoveObjectSync(&item, &folder, &*units, &placed, 0) : bdNamErr;
        if (moved != noErr) {
            Keep(entry.destination, "it could not be moved back (error " + std::to_string(moved) + ")", outcome);
            return;
        }
        FSObjectState state{};
        FSGetObjectState(&placed, &state);
        journal.Record({JournalEntry::Kind::moved, before, entry.destination, folderPath + "/" + name, state});
        ++outcome.movedBack;
    }

    void RemoveFolder(const JournalEntry& entry, UndoOutcome& outcome) {
        FSRef folder{};
        if (FSPathMakeRefWithOptions(entry.destination.c_str(), kFSPathMakeRefDoNotFollowLeafSymlink, &folder,
                                     nullptr) != noErr) {
            return;
        }
        const OSErr removed = FSDeleteObject(&folder);
        if (removed == noErr) {
            ++outcome.folders;
        } else {
            Keep(entry.destination, removed == fBsyErr ? "the folder is not empty" : "the folder could not be removed",
                 outcome);
        }
    }

    std::ostream& report_;
    std::int64_t started_;
};

std::optional<RunRecord> RunToUndo(const std::optional<std::string>& requested, std::string* why) {
    std::vector<RunRecord> runs = ListRuns();
    if (requested) {
        const auto named =
            std::find_if(runs.begin(), runs.end(), [&](const RunRecord& run) { return run.id == *requested; });
        return named != runs.end() ? std::optional(std::move(*named)) : ReadRun(*requested, why);
    }
    const auto last = std::find_if(runs.rbegin(), runs.rend(), [](const RunRecord& run) { return !run.undoes; });
    if (last == runs.rend()) {
        if (why != nullptr) {
            *why = "no run has been journaled in " + JournalFolder();
        }
        return std::nullopt;
    }
    return std::move(*last);
}

}  // namespace

std::optional<UndoOutcome> UndoRun(const std::optional<std::string>& requested, std::ostream& report,
                                   std::string* why) {
    const std::optional<RunRecord> run = RunToUndo(requested, why);
    if (!run) {
        return std::nullopt;
    }
    UndoOutcome outcome;
    outcome.run = run->id;
    if (run->undoes) {
        if (why != nullptr) {
            *why = "run " + run->id + " is itself an undo, and an undo is not taken back";
        }
        return std::nullopt;
    }
    if (run->undoneBy) {
        outcome.alreadyUndone = true;
        outcome.undoRun = *run->undoneBy;
        return outcome;
    }
    // The run's folders are the roots again, so that nothing below them is reached through a link.
    const AutoreleasePool pool;
    for (const std::string& folder : run->folders) {
        FSRef root{};
        FSPathMakeRef(folder.c_str(), &root, nullptr);
    }
    RunJournal journal("Undo", run->folders, run->id);
    outcome.undoRun = journal.id();
    Undo undo(report, run->startedNanoseconds);
    for (auto entry = run->entries.rbegin(); entry != run->entries.rend(); ++entry) {
        undo.Take(*entry, journal, outcome);
    }
    return outcome;
}

std::string UndoSummary(const UndoOutcome& outcome) {
    if (outcome.alreadyUndone) {
        return "Run " + outcome.run + " was already undone by " + outcome.undoRun + "\n";
    }
    return "Undid run " + outcome.run + ": " + std::to_string(outcome.removed) + " copies removed, " +
           std::to_string(outcome.movedBack) + " moved back, " + std::to_string(outcome.folders) +
           " folders removed, " + std::to_string(outcome.kept) + " could not be undone\n";
}

}  // namespace corvane
