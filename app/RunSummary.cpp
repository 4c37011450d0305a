#include "app/RunSummary.h"

#include "platform/Log.h"

namespace {

std::string CountsText(const PlacementCounts& counts) {
    return std::to_string(counts.copied) + " copied, " + std::to_string(counts.moved) + " moved, " +
           std::to_string(counts.leftAlone) + " left alone, " + std::to_string(counts.failed) + " failed";
}

}  // namespace

std::string RunSummary(const std::vector<FolderOutcome>& outcomes) {
    std::string summary;
    PlacementCounts total;
    for (const FolderOutcome& outcome : outcomes) {
        // Escaped as the log escapes it: a folder's name is no terminal sequence.
        const std::string path = FormatLogLine("%@", {outcome.path});
        summary += outcome.refusal.empty() ? path + ": " + CountsText(outcome.counts) : path + " " + outcome.refusal;
        summary += '\n';
        total += outcome.counts;
    }
    return summary + "In all: " + CountsText(total) + "\n";
}

bool AnythingFailed(const std::vector<FolderOutcome>& outcomes) {
    for (const FolderOutcome& outcome : outcomes) {
        if (!outcome.refusal.empty() || outcome.counts.failed != 0) {
            return true;
        }
    }
    return false;
}
