// Sets environment variables for the life of a test and puts the old values back afterwards.
#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace corvane {

class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment() {
        for (const auto& [name, value] : saved_) {
            Put(name, value.value_or(""));
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    /// Sets name to value; an empty value unsets it.
    void set(const std::string& name, const std::string& value) {
        if (const char* old = std::getenv(name.c_str()); !saved_.count(name)) {
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        Put(name, value);
    }

private:
    static void Put(const std::string& name, const std::string& value) {
        value.empty() ? unsetenv(name.c_str()) : setenv(name.c_str(), value.c_str(), 1);
    }
    std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace corvane
