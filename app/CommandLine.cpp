#include "app/CommandLine.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>

#include "app/AppController.h"
#include "app/CommandTable.h"
#include "app/DefaultsCommand.h"
#include "app/DryRun.h"
#include "app/JournalCommands.h"
#include "app/RunJournal.h"
#include "app/RunSummary.h"
#include "app/ServicesCommands.h"
#include "platform/finder/Finder.h"

namespace corvane {

namespace {

constexpr int kUsageError = 2;

std::string CommandList() {
    std::string list = "COMMAND is one of:\n";
    for (const std::string& command : CommandStrings()) {
        list += "  \"" + command + "\"\n";
    }
    return list;
}

int RunRequest(const std::string& command, const std::vector<std::string>& paths, bool dryRun) {
    if (!GroupingModeForCommand(command)) {
        std::cerr << "corvane run: unknown command \"" << command << "\"\n" << CommandList();
        return kUsageError;
    }
    AppController controller;
    controller.applicationWillFinishLaunching();
    if (dryRun) {
        const Preview preview = PreviewRun(command, paths);
        for (const std::string& step : preview.steps) {
            std::cout << step << "\n";
        }
        std::cout << RunSummary(preview.outcomes);
        return AnythingFailed(preview.outcomes) ? 1 : 0;
    }
    {
        const RunJournal journal(command, paths);
        controller.handleMenuSelection(&paths, &command);
    }
    std::cerr << RunSummary(controller.lastRequest);
    return AnythingFailed(controller.lastRequest) ? 1 : 0;
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    InstallFinder();
    CLI::App app{"Corvane tidies folders: it files each visible file into subfolders named after a key."};
    app.require_subcommand(1);
    app.set_version_flag("--version", "corvane " CORVANE_VERSION);

    std::string command;
    std::vector<std::string> paths;
    CLI::App* run = app.add_subcommand("run", "Run one command on the given folders in this process");
    run->add_option("COMMAND", command, "The command string, exactly as listed below")->required();
    run->add_option("PATH", paths, "The folders to tidy");
    bool dryRun = false;
    run->add_flag("--dry-run", dryRun, "Print what the run would do, and change nothing");
    run->footer(CommandList());

    CLI::App* serve = app.add_subcommand("serve", "Serve requests from the file managers on the session bus");
    CLI::App* request = app.add_subcommand("request", "Hand one command to the running provider and wait for it");
    request->add_option("COMMAND", command, "The command string, exactly as listed below")->required();
    request->add_option("PATH", paths, "The folders to tidy");
    request->footer(CommandList());
    CLI::App* runs = app.add_subcommand("runs", "List the journaled runs, oldest first");
    std::optional<std::string> runToUndo;
    CLI::App* undo = app.add_subcommand("undo", "Take back the last run, or the run named");
    undo->add_option("RUN", runToUndo, "A run as `corvane runs` names it");

    bool uninstall = false;
    CLI::App* install = app.add_subcommand("install-services", "Add the seven commands to the file managers' menus");
    install->add_flag("--uninstall", uninstall, "Remove what install-services added");

    CLI::App* defaults = app.add_subcommand("defaults", "Read and write the preferences (domain com.fernwick.Corvane)");
    defaults->require_subcommand(1);
    std::vector<std::string> defaultsArguments;
    CLI::App* read = defaults->add_subcommand("read", "Print every preference, or the one named KEY");
    read->add_option("KEY", defaultsArguments);
    CLI::App* write = defaults->add_subcommand("write", "KEY -bool true|false, KEY -int N or KEY -string S");
    write->prefix_command();
    CLI::App* remove = defaults->add_subcommand("delete", "Remove the preference KEY");
    remove->add_option("KEY", defaultsArguments)->required();

    // Named in the message: CLI11 alone would only say that a command is required.
    const auto known = [&app](const std::string& name) {
        const std::vector<CLI::App*> commands = app.get_subcommands({});
        return std::any_of(commands.begin(), commands.end(), [&name](CLI::App* each) { return each->check_name(name); });
    };
    if (argc > 1 && argv[1][0] != '-' && !known(argv[1])) {
        std::cerr << "corvane: unknown command \"" << argv[1]
                  << "\"; the commands are run, runs, undo, serve, request, install-services and defaults (see --help)\n";
        return kUsageError;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help and --version end the parse too, successfully.
        return app.exit(error) == 0 ? 0 : kUsageError;
    }

    if (run->parsed()) {
        return RunRequest(command, paths, dryRun);
    }
    if (runs->parsed()) {
        return RunListRuns();
    }
    if (undo->parsed()) {
        return RunUndoCommand(runToUndo);
    }
    if (serve->parsed()) {
        return RunServe();
    }
    if (request->parsed()) {
        return RunRequestClient(command, paths);
    }
    if (install->parsed()) {
        return RunInstallServices(uninstall);
    }
    if (read->parsed()) {
        return DefaultsRead(defaultsArguments, std::cout, std::cerr);
    }
    if (write->parsed()) {
        return DefaultsWrite(write->remaining(), std::cerr);
    }
    return DefaultsDelete(defaultsArguments, std::cerr);
}

}  // namespace corvane
