// qdat: reads, shows, converts and computes on the data files of a design project.
#include <exception>
#include <iostream>

#include "Tool.h"

int main(int argc, char** argv) {
    CLI::App app{"qdat - data files of a road and railway alignment design project"};
    app.set_version_flag("--version", std::string("qdat ") + QDAT_VERSION);
    app.require_subcommand(1);
    std::vector<std::pair<CLI::App*, std::function<int()>>> runners;
    for (const auto& command : qdat::tool::Commands()) {
        const std::size_t before = app.get_subcommands({}).size();
        auto runner = command.setup(app);
        auto subs = app.get_subcommands({});
        if (subs.size() > before) runners.emplace_back(subs.back(), std::move(runner));
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    try {
        for (auto& [sub, run] : runners)
            if (sub->parsed()) return run();
    } catch (const std::exception& e) {
        std::cerr << "qdat: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
