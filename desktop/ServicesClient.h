// Handing one Services request to the provider on the session bus, which D-Bus starts when needed,
// and waiting until it has been handled.
#pragma once

#include <string>
#include <vector>

#include "desktop/ServicesBus.h"

namespace corvane {

/// Calls HandleMenuSelection(filenames, userData) and waits for its reply however long the request
/// runs; reports receives what became of each folder.
/// A text that is not valid UTF-8 cannot travel as a D-Bus string: such a file name goes as the empty
/// name, which no folder has, and such a user-data string with each bad byte replaced by U+FFFD.
/// False with errorText (a sentence for the user) when there is no session bus, no provider can be
/// found or started, or the provider failed or ended before it answered.
bool SendServicesRequest(const std::vector<std::string>& filenames, const std::string& userData,
                         std::vector<FolderReport>& reports, std::string* errorText);

}  // namespace corvane
