// qdat convert FILE -o OUT [--form text|binary|tagged|scrambled|legacy]
// [--partial]: reads a data file and writes it in the chosen form (text by
// default) through a mirror file, so a failed write leaves OUT as it was. The
// input is never overwritten. A file read only in part is not converted
// unless --partial asks for the part that was read.
#include <iostream>
#include <memory>
#include <string>

#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct ConvertOptions {
    std::string file;
    std::string out;
    std::string form = "text";
    FileOptions fileOptions;
    bool partial = false;
};

int RunConvert(const ConvertOptions& opt) {
    if (SameFile(opt.file, opt.out)) Fail(opt.out + " is the input file; choose another output");
    FileContext context(opt.fileOptions);
    std::unique_ptr<QDocument> doc = LoadDocument(opt.file, context, PartialRead::Accept);
    if (doc->WasReadPartly() && !opt.partial)
        Fail(opt.file +
             " was read only in part; nothing was written (--partial writes the part that was read)");
    WriteDocument(*doc, opt.out, FormFromName(opt.form), opt.file);
    if (const std::string note = opt.out == "-" ? std::string() : ChainTableNotKeptNote(*doc, opt.out);
        !note.empty())
        std::cerr << "qdat convert: " << note << "\n";
    if (doc->WasReadPartly())
        std::cerr << "qdat convert: " << opt.out << " holds only the part of " << opt.file
                  << " that was read, as --partial asked\n";
    return kExitOk;
}

std::function<int()> SetupConvert(CLI::App& app) {
    auto opt = std::make_shared<ConvertOptions>();
    CLI::App* cmd = app.add_subcommand("convert", "Write a data file in another form");
    cmd->add_option("FILE", opt->file, "Data file to read")->required();
    cmd->add_option("-o,--output", opt->out, "File to write (never the input; - for standard output)")
        ->required();
    cmd->add_option("--form", opt->form, "Form to write")->check(CLI::IsMember(FormNames()));
    cmd->add_flag("--partial", opt->partial,
                  "Write the part that was read of a file that reads only in part (else nothing is written)");
    opt->fileOptions.AddTo(cmd);
    cmd->footer(
        "Station text is written with the chain table of --project or --break, else with the one the file "
        "carries, and a text file states that table in a comment line after its signature, so that it reads "
        "back to the same stations on its own and under any table.");
    return [opt] { return RunConvert(*opt); };
}

const CommandRegistration kRegistration{{"convert", SetupConvert}};

}  // namespace
}  // namespace qdat::tool
