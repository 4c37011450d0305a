// Collects the log lines written while it lives, and which of them were failures, instead of sending
// them to the system log.
#pragma once

#include <string>
#include <vector>

#include "platform/base/Log.h"

namespace corvane {

class LogCapture {
public:
    LogCapture()
        : previous_(SetLogSink([this](const std::string& line, LogPriority priority) {
              lines_.push_back(line);
              if (priority == LogPriority::warning) {
                  failures_.push_back(line);
              }
          })) {}
    ~LogCapture() { SetLogSink(std::move(previous_)); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::vector<std::string>& lines() const { return lines_; }
    /// The lines written at warning priority.
    const std::vector<std::string>& failures() const { return failures_; }

private:
    std::vector<std::string> lines_;
    std::vector<std::string> failures_;
    LogSink previous_;
};

}  // namespace corvane
