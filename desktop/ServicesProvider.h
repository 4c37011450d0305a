// The Services provider on the session bus: it owns com.fernwick.Corvane, serves HandleMenuSelection,
// and runs each request on the calling thread, one at a time in arrival order, until told to stop.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "desktop/ServicesBus.h"

namespace corvane {

class ServicesProvider {
public:
    /// What one request came to: what became of each folder (the caller's reply), the journaled run
    /// (empty when none), and the notification to show (none when the user turned them off).
    struct RequestOutcome {
        std::vector<FolderReport> folders;
        std::string run;
        std::optional<std::pair<std::string, std::string>> notification;  ///< summary, body
    };
    /// What an undo came to: a line that sums it up, and a line for each item it could not undo.
    struct UndoOutcome {
        std::string summary;
        std::vector<std::string> kept;
    };
    struct Handlers {
        /// Runs one whole request; the caller's reply is sent only when it returns.
        std::function<RequestOutcome(const std::vector<std::string>& filenames, const std::string& userData)> request;
        /// Undoes run, or the last run for the empty name (also when the user chooses a notification's Undo).
        std::function<UndoOutcome(const std::string& run)> undo;
        /// What a request would do, line by line; changes nothing.
        std::function<std::vector<std::string>(const std::vector<std::string>& filenames, const std::string& userData)>
            preview;
    };

    /// Connects to the session bus, serves the object and takes the well-known name. From here on
    /// SIGTERM and SIGINT are held back, to end Serve between requests. Null with errorText when there
    /// is no session bus or another process owns the name; nothing is then left registered.
    static std::unique_ptr<ServicesProvider> Register(Handlers handlers, std::string* errorText);

    /// Leaves the bus (requests not yet taken are answered with an error by the bus) and lets SIGTERM
    /// and SIGINT through again.
    ~ServicesProvider();
    ServicesProvider(const ServicesProvider&) = delete;
    ServicesProvider& operator=(const ServicesProvider&) = delete;

    /// Handles requests until SIGTERM or SIGINT (true); a signal that comes during a request ends
    /// serving once that request has run and been answered. False with errorText when the bus is lost.
    bool Serve(std::string* errorText);

private:
    struct State;
    explicit ServicesProvider(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace corvane
