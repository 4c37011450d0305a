// Ends the test program (SIGALRM) when a test hangs, instead of leaving it stuck until the run's own time-out.
#pragma once

#include <unistd.h>

#include <chrono>

namespace corvane {

struct Watchdog {
    explicit Watchdog(std::chrono::seconds limit) { alarm(static_cast<unsigned>(limit.count())); }
    ~Watchdog() { alarm(0); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
};

}  // namespace corvane
