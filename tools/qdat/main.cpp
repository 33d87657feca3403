// qdat: reads, shows, converts and computes on the data files of a design project.
#include <algorithm>
#include <exception>
#include <iostream>

#include "Command.h"

int main(int argc, char** argv) {
    using namespace qdat::tool;
    InstallToolUi(false);
    CLI::App app{"qdat - data files of a road and railway alignment design project"};
    app.set_version_flag("--version", std::string("qdat ") + QDAT_VERSION);
    app.require_subcommand(1);
    app.footer("Exit status: 0 done, 1 the work failed, 2 the command line is wrong.");
    std::vector<std::pair<CLI::App*, std::function<int()>>> runners;
    // In name order, so that the help lists them so. When the first argument
    // names a command, only that one is set up: building the options of
    // every command costs more than reading a small file.
    const std::vector<Command> commands = Commands();
    const bool named = argc > 1 && std::any_of(commands.begin(), commands.end(),
                                               [&](const Command& c) { return c.name == argv[1]; });
    for (const auto& command : commands) {
        if (named && command.name != argv[1]) continue;
        const std::size_t before = app.get_subcommands({}).size();
        auto runner = command.setup(app);
        auto subs = app.get_subcommands({});
        if (subs.size() > before) runners.emplace_back(subs.back(), std::move(runner));
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kExitUsage;
    }
    for (auto& [sub, run] : runners) {
        if (!sub->parsed()) continue;
        try {
            return run();
        } catch (const ToolError& e) {
            std::cerr << "qdat " << sub->get_name() << ": " << e.what() << '\n';
            return e.GetCode();
        } catch (const std::exception& e) {
            std::cerr << "qdat " << sub->get_name() << ": " << e.what() << '\n';
            return kExitFailure;
        }
    }
    return kExitOk;
}
