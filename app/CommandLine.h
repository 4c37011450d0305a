// The corvane program's command line: run, defaults, and the usage it prints.
#pragma once

namespace corvane {

/// Parses the arguments and runs the command; returns the exit status (2 for a usage error).
int RunCommandLine(int argc, char** argv);

}  // namespace corvane
