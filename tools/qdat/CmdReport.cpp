// qdat report PRJ -o report.html: the report of a whole project as one
// self-contained HTML page (exchange/ProjectReport.h builds it). Files of the
// project that are missing or cannot be read leave their part out; each is
// named on standard error and in the page.
#include <iostream>
#include <memory>
#include <string>

#include <qdat/exchange/ProjectReport.h>
#include "Command.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct ReportOptions {
    std::string project;
    std::string out;
};

int RunReport(const ReportOptions& opt) {
    const ProjectReportResult result = WriteProjectReport(opt.project, opt.out);
    for (const std::string& note : result.notes) std::cerr << "qdat report: " << note << "\n";
    return kExitOk;
}

std::function<int()> SetupReport(CLI::App& app) {
    auto opt = std::make_shared<ReportOptions>();
    CLI::App* cmd =
        app.add_subcommand("report", "The report of a project as one HTML page that opens offline");
    cmd->add_option("PRJ", opt->project, "Project file")->required();
    cmd->add_option("-o,--output", opt->out, "HTML file to write (never an input; - for standard output)")
        ->required();
    return [opt] { return RunReport(*opt); };
}

const CommandRegistration kRegistration{{"report", SetupReport}};

}  // namespace
}  // namespace qdat::tool
