#include "app/ServicesCommands.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <variant>

#include "app/AppController.h"
#include "app/CommandTable.h"
#include "app/DryRun.h"
#include "app/RunJournal.h"
#include "app/RunSummary.h"
#include "app/UndoRun.h"
#include "app/UserPreferences.h"
#include "desktop/DesktopNotifications.h"
#include "desktop/ServicesClient.h"
#include "desktop/ServicesDeclarations.h"
#include "desktop/ServicesProvider.h"
#include "platform/base/Log.h"
#include "platform/prefs/Preferences.h"

namespace corvane {

namespace {

// The Services declarations are the analog of asking the system to re-read them at start-up: only
// those installed now, as the bus may start the provider after the user uninstalled them. A failure
// leaves the menus as they were and the provider serves all the same.
void RefreshServicesDeclarations() {
    std::string failure = "the running program's path is unknown";
    const std::optional<std::string> program = RunningProgramPath();
    if (!program || !RefreshInstalledServicesDeclarations(*program, CommandStrings(), &failure)) {
        std::cerr << "corvane serve: the menu declarations were not refreshed: " << failure << "\n";
    }
}

// The provider runs in another folder than the file manager that called us, which may hand over
// names relative to the folder it shows.
std::string AbsolutePath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

// A request reaches the provider from anywhere; a relative path in it would be read against the
// provider's own working folder, which is no folder the user chose.
std::vector<std::string> AbsolutePathsOnly(const std::vector<std::string>& filenames) {
    std::vector<std::string> absolute;
    for (const std::string& path : filenames) {
        if (path.starts_with('/')) {
            absolute.push_back(path);
        } else {
            NSLogFailure("Refused \"%@\": a request names its folders by absolute path", {path});
        }
    }
    return absolute;
}

// The file manager gives no sign that a command ran; a notification does, unless the user turned
// them off with the boolean ShowNotifications.
std::optional<std::pair<std::string, std::string>> NotificationOfRequest(const std::vector<FolderOutcome>& outcomes) {
    SynchronizeUserPreferences();
    const std::optional<PreferenceValue> wanted = CFPreferencesCopyAppValue("ShowNotifications", kCorvanePreferenceDomain);
    const bool* flag = wanted ? std::get_if<bool>(&*wanted) : nullptr;
    if (outcomes.empty() || (flag != nullptr && !*flag)) {
        return std::nullopt;
    }
    const NotificationText text = NotificationOf(outcomes);
    return std::make_pair(text.summary, text.body);
}

ServicesProvider::RequestOutcome HandleRequest(AppController& controller, const std::vector<std::string>& filenames,
                                               const std::string& userData) {
    const std::vector<std::string> absolute = AbsolutePathsOnly(filenames);
    ServicesProvider::RequestOutcome outcome;
    {
        std::optional<RunJournal> journal;
        if (GroupingModeForCommand(userData) && !absolute.empty()) {
            journal.emplace(userData, absolute);
            outcome.run = journal->id();
        }
        controller.handleMenuSelection(&absolute, &userData);
    }
    outcome.notification = NotificationOfRequest(controller.lastRequest);
    for (const FolderOutcome& folder : controller.lastRequest) {
        const PlacementCounts& counts = folder.counts;
        outcome.folders.push_back(FolderReport{folder.path, folder.refusal, counts.copied, counts.moved,
                                               counts.leftAlone, counts.failed, counts.keyFolders});
    }
    return outcome;
}

ServicesProvider::UndoOutcome HandleUndo(const std::string& run) {
    std::ostringstream report;
    std::string why;
    const std::optional<UndoOutcome> outcome = UndoRun(run.empty() ? std::nullopt : std::optional(run), report, &why);
    ServicesProvider::UndoOutcome answer{outcome ? UndoSummary(*outcome) : why + "\n", {}};
    std::istringstream lines(report.str());
    for (std::string line; std::getline(lines, line);) {
        answer.kept.push_back(line);
    }
    return answer;
}

std::vector<std::string> HandlePreview(const std::vector<std::string>& filenames, const std::string& userData) {
    if (!GroupingModeForCommand(userData)) {
        throw sdbus::Error("com.fernwick.Corvane.Error.UnknownCommand", "unknown command \"" + userData + "\"");
    }
    const Preview preview = PreviewRun(userData, AbsolutePathsOnly(filenames));
    std::vector<std::string> lines = preview.steps;
    std::istringstream summary(RunSummary(preview.outcomes));
    for (std::string line; std::getline(summary, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

int RunServe() {
    AppController controller;
    std::unique_ptr<ServicesProvider> provider;
    std::string failure;
    controller.applicationWillFinishLaunching([&] {
        provider = ServicesProvider::Register(
            ServicesProvider::Handlers{
                [&controller](const std::vector<std::string>& filenames, const std::string& userData) {
                    return HandleRequest(controller, filenames, userData);
                },
                HandleUndo, HandlePreview},
            &failure);
        if (provider) {
            RefreshServicesDeclarations();
        }
    });
    if (!provider || !provider->Serve(&failure)) {
        std::cerr << "corvane serve: " << failure << "\n";
        return 1;
    }
    return 0;
}

int RunRequestClient(const std::string& command, const std::vector<std::string>& paths) {
    std::vector<std::string> filenames;
    for (const std::string& path : paths) {
        filenames.push_back(AbsolutePath(path));
    }
    std::string failure;
    std::vector<FolderReport> reports;
    if (!SendServicesRequest(filenames, command, reports, &failure)) {
        std::cerr << "corvane request: " << failure << "\n";
        return 1;
    }
    // The provider's answer, summed up as `corvane run` sums up its own.
    std::vector<FolderOutcome> outcomes;
    for (const FolderReport& report : reports) {
        outcomes.push_back(FolderOutcome{
            report.path, report.refusal,
            PlacementCounts{report.copied, report.moved, report.leftAlone, report.failed, report.keyFolders}});
    }
    if (!outcomes.empty()) {
        std::cerr << RunSummary(outcomes);
    }
    return AnythingFailed(outcomes) ? 1 : 0;
}

int RunInstallServices(bool uninstall) {
    std::string failure;
    if (uninstall) {
        if (!UninstallServicesDeclarations(CommandStrings(), &failure)) {
            std::cerr << "corvane install-services: " << failure << "\n";
            return 1;
        }
        std::cout << "The Corvane commands are gone from the menus of Dolphin, GNOME Files, Nemo and Thunar.\n";
        return 0;
    }
    const std::optional<std::string> program = RunningProgramPath();
    if (!program) {
        std::cerr << "corvane install-services: the running program's path is unknown\n";
        return 1;
    }
    if (!InstallServicesDeclarations(*program, CommandStrings(), &failure)) {
        std::cerr << "corvane install-services: " << failure << "\n";
        return 1;
    }
    std::cout << "The seven Corvane commands are in the folder menus of Dolphin, GNOME Files, Nemo and Thunar;\n"
              << "each runs " << *program << " request, and D-Bus starts `" << *program << " serve` when needed.\n";
    return 0;
}

}  // namespace corvane
