// The application's front end: start-up, and the Services request handler that turns one request
// into a grouping run over the folders it names.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "grouping/PlacementCounts.h"

namespace corvane {

/// What became of one folder of a request: why it was not tidied, or how its files fared.
struct FolderOutcome {
    std::string path;
    std::string refusal;  ///< empty when the folder was tidied
    PlacementCounts counts;
};

/// The one delegate and Services provider. It keeps what became of the folders of the last request.
class AppController {
public:
    /// What makes this process the Services provider and refreshes the declarations; empty when the
    /// request is run in process without a provider.
    using ServicesRegistration = std::function<void()>;

    /// Registers as provider, then builds the extension map and takes the user's defaults snapshot.
    void applicationWillFinishLaunching(const ServicesRegistration& registerServices = {});

    /// Runs the whole command before returning. filenames is null when the request carries none;
    /// userData is null when absent. lastRequest then says what became of each folder named.
    void handleMenuSelection(const std::vector<std::string>* filenames, const std::string* userData);

    std::vector<FolderOutcome> lastRequest;
};

}  // namespace corvane
