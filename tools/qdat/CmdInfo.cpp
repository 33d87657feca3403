// qdat info FILE...: the envelope of each file as read (form, signature) and the
// document classes that accept it. Only reads.
#include <iostream>

#include "Tool.h"
#include "docbase/ArchiveEnvelope.h"
#include "host/HostFile.h"

namespace qdat::tool {
namespace {

const char* FormName(const ArchiveEnvelope& env) {
    if (!env.hasHeader) return "text";
    if (env.scrambled) return "scrambled";
    if (env.tagged) return "tagged";
    return "binary";
}

int RunInfo(const std::vector<std::string>& files, bool json) {
    int status = 0;
    for (const std::string& path : files) {
        try {
            File file;
            file.Open(path, File::ModeRead);
            const ArchiveEnvelope env = ReadArchiveEnvelope(file);
            const auto matches = MatchSignature(env.signature);
            std::size_t count = 0;
            bool counted = false;
            if (!matches.empty()) {
                if (const ContentDumper* dumper = FindDumper(matches.front().className); dumper && dumper->count) {
                    auto doc = LoadDocument(path, matches.front().className);
                    count = dumper->count(*doc);
                    counted = true;
                }
            }
            if (json) {
                nlohmann::json j;
                j["file"] = path;
                j["form"] = FormName(env);
                j["tagged"] = env.tagged;
                j["scrambled"] = env.scrambled;
                j["signature"] = env.signature;
                j["lengthPrefixedSignature"] = env.lengthPrefixedSignature;
                j["kinds"] = nlohmann::json::array();
                for (const auto& m : matches)
                    j["kinds"].push_back({{"kind", m.className}, {"fileVersion", m.fileVersion},
                                          {"currentVersion", m.currentVersion}});
                if (counted) j["count"] = count;
                std::cout << j.dump() << '\n';
            } else {
                std::cout << path << '\n';
                std::cout << "  form:      " << FormName(env) << (env.lengthPrefixedSignature ? " (length-prefixed signature)" : "")
                          << '\n';
                std::cout << "  signature: " << env.signature << '\n';
                if (matches.empty()) std::cout << "  kind:      (none)\n";
                for (const auto& m : matches)
                    std::cout << "  kind:      " << m.className << ", file version " << m.fileVersion
                              << " (current " << m.currentVersion << ")\n";
                if (counted) std::cout << "  count:     " << count << '\n';
            }
        } catch (const std::exception& e) {
            std::cerr << "qdat: " << e.what() << '\n';
            status = 1;
        }
    }
    return status;
}

CommandRegistration reg{{"info", [](CLI::App& app) -> std::function<int()> {
                             auto* sub = app.add_subcommand("info", "Show the envelope and kind of data files");
                             auto files = std::make_shared<std::vector<std::string>>();
                             auto json = std::make_shared<bool>(false);
                             sub->add_option("FILE", *files, "data files")->required();
                             sub->add_flag("--json", *json, "one JSON object per file");
                             return [files, json] { return RunInfo(*files, *json); };
                         }}};

}  // namespace
}  // namespace qdat::tool
