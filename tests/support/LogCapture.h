// Collects the log lines written while it lives, instead of sending them to the system log.
#pragma once

#include <string>
#include <vector>

#include "platform/Log.h"

class LogCapture {
public:
    LogCapture() : previous_(SetLogSink([this](const std::string& line) { lines_.push_back(line); })) {}
    ~LogCapture() { SetLogSink(std::move(previous_)); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::vector<std::string>& lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
    LogSink previous_;
};
