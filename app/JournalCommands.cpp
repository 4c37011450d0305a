#include "app/JournalCommands.h"

#include <iostream>

#include "app/RunJournal.h"
#include "app/UndoRun.h"

namespace corvane {

namespace {

std::string StartTime(std::time_t started) {
    std::tm local{};
    localtime_r(&started, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

}  // namespace

int RunListRuns() {
    for (const RunRecord& run : ListRuns()) {
        std::cout << run.id << "  " << StartTime(run.started) << "  "
                  << (run.undoes ? "Undo of " + *run.undoes : run.command);
        for (const std::string& folder : run.folders) {
            std::cout << "  " << folder;
        }
        std::cout << "  (" << run.entries.size() << " steps";
        if (run.undoneBy) {
            std::cout << ", undone by " << *run.undoneBy;
        }
        if (!run.ended) {
            std::cout << ", ended early";
        }
        std::cout << ")\n";
    }
    return 0;
}

int RunUndoCommand(const std::optional<std::string>& run) {
    std::string why;
    const std::optional<UndoOutcome> outcome = UndoRun(run, std::cerr, &why);
    if (!outcome) {
        std::cerr << "corvane undo: " << why << "\n";
        return 1;
    }
    std::cerr << UndoSummary(*outcome);
    return outcome->kept > 0 ? 1 : 0;
}

}  // namespace corvane
