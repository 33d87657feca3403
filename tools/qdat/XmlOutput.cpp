#include "XmlOutput.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "Tool.h"

namespace qdat::tool {

void SaveXml(const pugi::xml_document& doc, const std::string& path, const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs)
        if (!input.empty() && SameFile(input, path)) Fail(path + " is an input file; choose another output");
    const std::string mirror = path + ".qdat-part";
    if (!doc.save_file(mirror.c_str(), "  ", pugi::format_default, pugi::encoding_utf8)) {
        std::remove(mirror.c_str());
        Fail(path + ": cannot be written");
    }
    std::error_code error;
    std::filesystem::rename(mirror, path, error);
    if (error) {
        std::remove(mirror.c_str());
        Fail(path + ": cannot be written (" + error.message() + ")");
    }
}

}  // namespace qdat::tool
