// The Services provider on the session bus: it owns com.fernwick.Corvane, serves HandleMenuSelection,
// and runs each request on the calling thread, one at a time in arrival order, until told to stop.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/ServicesBus.h"

namespace corvane {

class ServicesProvider {
public:
    /// Runs one whole request and says what became of each folder; the caller's reply, which carries
    /// that, is sent only when it returns.
    using RequestHandler =
        std::function<std::vector<FolderReport>(const std::vector<std::string>& filenames, const std::string& userData)>;

    /// Connects to the session bus, serves the object and takes the well-known name. From here on
    /// SIGTERM and SIGINT are held back, to end Serve between requests. Null with errorText when there
    /// is no session bus or another process owns the name; nothing is then left registered.
    static std::unique_ptr<ServicesProvider> Register(RequestHandler handler, std::string* errorText);

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
