#include "XmlOutput.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "ExchangeError.h"

namespace qdat {
namespace {

// Whether two paths name one file, the second perhaps not there yet.
bool SameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(b, ec) && fs::equivalent(a, b, ec)) return true;
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

}  // namespace

void SaveXml(const pugi::xml_document& doc, const std::string& path, const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs)
        if (!input.empty() && SameFile(input, path))
            throw ExchangeError(path + " is an input file; choose another output");
    const std::string mirror = path + ".qdat-part";
    if (!doc.save_file(mirror.c_str(), "  ", pugi::format_default, pugi::encoding_utf8)) {
        std::remove(mirror.c_str());
        throw ExchangeError(path + ": cannot be written");
    }
    std::error_code error;
    std::filesystem::rename(mirror, path, error);
    if (error) {
        std::remove(mirror.c_str());
        throw ExchangeError(path + ": cannot be written (" + error.message() + ")");
    }
}

}  // namespace qdat
