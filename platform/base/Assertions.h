// Precondition checks that end the process: a failed one is reported on standard error, where it
// happened and what was expected, and the process aborts.
#pragma once

namespace corvane {

/// Writes "<file>:<line>: failed assertion `<condition>'" and a newline to standard error, flushes
/// it and aborts the process.
[[noreturn]] void ReportFailedAssertion(const char* file, unsigned line, const char* condition);

/// Ends the process through ReportFailedAssertion when condition is false, quoting the condition
/// as written. Kept in every build: a breach is a programming error that must not go on.
#define CORVANE_ASSERT(condition) \
    ((condition) ? static_cast<void>(0) : ::corvane::ReportFailedAssertion(__FILE__, __LINE__, #condition))

}  // namespace corvane
