#include "app/RunSummary.h"

#include "platform/base/Log.h"

namespace corvane {

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

NotificationText NotificationOf(const std::vector<FolderOutcome>& outcomes) {
    PlacementCounts total;
    std::size_t refused = 0;
    for (const FolderOutcome& outcome : outcomes) {
        total += outcome.counts;
        refused += outcome.refusal.empty() ? 0 : 1;
    }
    NotificationText text;
    const std::string& path = outcomes.empty() ? std::string() : outcomes.front().path;
    text.summary = outcomes.size() == 1 ? "Tidied " + FormatLogLine("%@", {path.substr(path.rfind('/') + 1)})
                                        : "Tidied " + std::to_string(outcomes.size()) + " folders";
    text.body = std::to_string(total.copied) + " copied and " + std::to_string(total.moved) + " moved into " +
                std::to_string(total.keyFolders) + (total.keyFolders == 1 ? " folder" : " folders") + ", " +
                std::to_string(total.leftAlone) + " left alone.";
    if (total.failed != 0 || refused != 0) {
        text.body += " " + std::to_string(total.failed) + " failed";
        if (refused != 0) {
            text.body += ", " + std::to_string(refused) + (refused == 1 ? " folder" : " folders") + " not tidied";
        }
        text.body += ": the log says why (journalctl --user -t Corvane).";
    }
    return text;
}

bool AnythingFailed(const std::vector<FolderOutcome>& outcomes) {
    for (const FolderOutcome& outcome : outcomes) {
        if (!outcome.refusal.empty() || outcome.counts.failed != 0) {
            return true;
        }
    }
    return false;
}

}  // namespace corvane
