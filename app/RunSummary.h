// What Corvane tells the user after a request: a line for each folder and one for the whole request
// from `corvane run` and `corvane request`, and the desktop notification of the provider.
#pragma once

#include <string>
#include <vector>

#include "app/AppController.h"

namespace corvane {

/// "Downloads: 12 copied, 0 moved, 3 left alone, 0 failed" for each folder that ran, "PATH does not
/// exist" (and the like) for one that did not, then the counts of the whole request.
std::string RunSummary(const std::vector<FolderOutcome>& outcomes);

/// The title and text of the desktop notification that tells of a request from the file manager:
/// the folder's name (or how many folders), what went into how many key folders, what failed.
struct NotificationText {
    std::string summary;
    std::string body;
};
NotificationText NotificationOf(const std::vector<FolderOutcome>& outcomes);

/// Whether a folder could not be tidied or a file could not be placed.
bool AnythingFailed(const std::vector<FolderOutcome>& outcomes);

}  // namespace corvane
