// The commands that tie Corvane to the desktop: the provider on the session bus, its client, and the
// Services declarations for the file managers.
#pragma once

#include <string>
#include <vector>

namespace corvane {

/// `corvane serve`: start-up as the Services provider, then requests one at a time until SIGTERM or
/// SIGINT. Exit status 1 when the bus cannot be had or another provider owns the name.
int RunServe();

/// `corvane request COMMAND PATH...`: hands one request to the provider and waits until it has been
/// handled. Exit status 1 with a clear message when no bus or provider can be reached.
int RunRequestClient(const std::string& command, const std::vector<std::string>& paths);

/// `corvane install-services [--uninstall]`: writes (or removes exactly) the declarations for the
/// current user.
int RunInstallServices(bool uninstall);

}  // namespace corvane
