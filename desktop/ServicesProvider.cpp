#include "desktop/ServicesProvider.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <sdbus-c++/sdbus-c++.h>

#include "desktop/DesktopNotifications.h"
#include "desktop/ServicesBus.h"
#include "platform/base/FileDescriptors.h"

namespace corvane {

namespace {

// The stop signals are read from a descriptor polled beside the bus, so that one arriving during a
// request waits until that request has been answered.
class StopSignals {
public:
    StopSignals() {
        sigset_t stop;
        sigemptyset(&stop);
        sigaddset(&stop, SIGTERM);
        sigaddset(&stop, SIGINT);
        sigprocmask(SIG_BLOCK, &stop, &previous_);
        fd_ = UniqueFd(signalfd(-1, &stop, SFD_NONBLOCK | SFD_CLOEXEC));
    }
    ~StopSignals() {
        fd_.Reset();
        sigprocmask(SIG_SETMASK, &previous_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    int fd() const { return fd_.get(); }

    bool arrived() const {
        signalfd_siginfo info{};
        return read(fd_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info);
    }

private:
    sigset_t previous_{};
    UniqueFd fd_;
};

void SetError(std::string* errorText, const std::string& text) {
    if (errorText != nullptr) {
        *errorText = text;
    }
}

}  // namespace

struct ServicesProvider::State {
    StopSignals signals;
    Handlers handlers;
    std::unique_ptr<sdbus::IConnection> connection;
    std::unique_ptr<sdbus::IObject> object;
    std::unique_ptr<DesktopNotifier> notifier;
};

namespace {

// Anything but an sdbus::Error would unwind through the bus library's C frames.
template <typename Work>
auto AsBusError(Work work) {
    try {
        return work();
    } catch (const sdbus::Error&) {
        throw;
    } catch (const std::exception& failure) {
        throw sdbus::Error("com.fernwick.Corvane.Error.Failed", failure.what());
    }
}

}  // namespace

ServicesProvider::ServicesProvider(std::unique_ptr<State> state) : state_(std::move(state)) {}

ServicesProvider::~ServicesProvider() = default;

std::unique_ptr<ServicesProvider> ServicesProvider::Register(Handlers handlers, std::string* errorText) {
    auto state = std::make_unique<State>();
    if (state->signals.fd() < 0) {
        SetError(errorText, std::string("cannot watch for SIGTERM and SIGINT: ") + std::strerror(errno));
        return nullptr;
    }
    state->handlers = std::move(handlers);
    try {
        state->connection = sdbus::createSessionBusConnection();
    } catch (const sdbus::Error& error) {
        SetError(errorText, "cannot reach the session bus: " + error.getMessage());
        return nullptr;
    }
    State* served = state.get();
    try {
        state->notifier = std::make_unique<DesktopNotifier>(
            *state->connection, [served](const std::string& run) {
                // Chosen in a notification: nobody waits for an answer, and the undo tells the log itself.
                try {
                    served->handlers.undo(run);
                } catch (const std::exception&) {
                }
            });
        state->object = sdbus::createObject(*state->connection, kServicesObjectPath);
        state->object->registerMethod(
            kServicesInterface, kServicesMethod, "ass", {"filenames", "userData"}, kServicesReplySignature,
            {"folders"},
            [served](sdbus::MethodCall call) {
                std::vector<std::string> filenames;
                std::string userData;
                call >> filenames >> userData;
                const RequestOutcome outcome = AsBusError([&] { return served->handlers.request(filenames, userData); });
                std::vector<ReportOnTheBus> folders;
                for (const FolderReport& report : outcome.folders) {
                    folders.emplace_back(report.path, report.refusal, report.copied, report.moved, report.leftAlone,
                                         report.failed, report.keyFolders);
                }
                sdbus::MethodReply reply = call.createReply();
                reply << folders;
                reply.send();
                if (outcome.notification) {
                    served->notifier->Show(outcome.notification->first, outcome.notification->second, outcome.run);
                }
            });
        state->object->registerMethod(kServicesUndoMethod)
            .onInterface(kServicesInterface)
            .withInputParamNames("run")
            .withOutputParamNames("summary", "kept")
            .implementedAs([served](const std::string& run) {
                const UndoOutcome outcome = AsBusError([&] { return served->handlers.undo(run); });
                return std::make_tuple(outcome.summary, outcome.kept);
            });
        state->object->registerMethod(kServicesPreviewMethod)
            .onInterface(kServicesInterface)
            .withInputParamNames("filenames", "userData")
            .withOutputParamNames("lines")
            .implementedAs([served](const std::vector<std::string>& filenames, const std::string& userData) {
                return AsBusError([&] { return served->handlers.preview(filenames, userData); });
            });
        state->object->finishRegistration();
    } catch (const sdbus::Error& error) {
        SetError(errorText, "cannot serve " + std::string(kServicesObjectPath) + ": " + error.getMessage());
        return nullptr;
    }
    try {
        state->connection->requestName(kServicesBusName);
    } catch (const sdbus::Error& error) {
        if (error.getName() == "org.freedesktop.DBus.Error.FileExists") {
            SetError(errorText, std::string("another process already provides ") + kServicesBusName +
                                    " on the session bus (is corvane serve running?)");
        } else {
            SetError(errorText, std::string("cannot take the name ") + kServicesBusName + ": " + error.getMessage());
        }
        return nullptr;
    }
    return std::unique_ptr<ServicesProvider>(new ServicesProvider(std::move(state)));
}

bool ServicesProvider::Serve(std::string* errorText) {
    sdbus::IConnection& connection = *state_->connection;
    try {
        for (;;) {
            if (state_->signals.arrived()) {
                return true;
            }
            // Each call takes at most one message, so the stop signals are looked at between requests.
            if (connection.processPendingRequest()) {
                continue;
            }
            const sdbus::IConnection::PollData bus = connection.getEventLoopPollData();
            pollfd watched[2] = {{bus.fd, bus.events, 0}, {state_->signals.fd(), POLLIN, 0}};
            if (poll(watched, 2, bus.getPollTimeout()) < 0 && errno != EINTR) {
                SetError(errorText, std::string("cannot wait for requests: ") + std::strerror(errno));
                return false;
            }
        }
    } catch (const sdbus::Error& error) {
        SetError(errorText, "lost the session bus: " + error.getMessage());
        return false;
    }
}

}  // namespace corvane
