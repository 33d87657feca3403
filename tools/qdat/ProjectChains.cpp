// A project file is a list of sections of "key = value" lines after its
// signature. A section header holds "[" and ends in its number after the
// first "]"; a key starts with its number. Only the chain table is taken here:
// key 203 (the prefix) and keys 401 to 425 (the breaks, as break text), read
// in the global, chain-table and segment sections as the project reads them.
#include "ProjectChains.h"

#include <cctype>
#include <fstream>

#include "Tool.h"

namespace qdat::tool {

namespace {

constexpr const char* kProjectSignatures[] = {"RADUDAR6.00_PRJ_SHUJU", "RADUDAR5.83_PRJ_SHUJU",
                                              "RADUDAR5.8_PRJ_SHUJU", "QARO_CAD_PRJ_VERSION_55"};

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

ChainTable ReadProjectChainTable(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail("cannot open the project file " + path);
    std::string line;
    std::getline(in, line);
    const std::string signature = Upper(Trimmed(line));
    if (std::find(std::begin(kProjectSignatures), std::end(kProjectSignatures), signature) ==
        std::end(kProjectSignatures))
        Fail(path + " is no project file (its first line is \"" + signature.substr(0, 60) + "\")");

    ChainTable table;
    long section = 2;
    int lineNumber = 1;
    while (std::getline(in, line)) {
        ++lineNumber;
        line = Trimmed(line);
        if (line.find('[') != std::string::npos) {
            const auto close = line.find(']');
            if (!line.empty() && std::isdigit(static_cast<unsigned char>(line.back())) &&
                close != std::string::npos)
                section = std::strtol(line.c_str() + close + 1, nullptr, 10);
            continue;
        }
        // The global, chain-table and segment sections (2 to 12) may hold the
        // keys; the files (1) and the maps (101 to 103) do not; any other
        // section ends the file.
        if (section == 1 || (section >= 101 && section <= 103)) continue;
        if (section < 1 || section > 12) break;
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const long key = std::strtol(line.c_str(), nullptr, 10);
        const std::string value = Trimmed(line.substr(eq + 1));
        if (key == 203) {
            table.SetPrefix(value);
        } else if (key >= 401 && key <= 425) {
            ChainBreak brk;
            if (!brk.ParseText(value))
                Fail(path + ", line " + std::to_string(lineNumber) + ": \"" + value + "\" is no chain break");
            if (brk.Length() == 0.0) continue;
            try {
                table.AddBreak(brk.Before, brk.After);
            } catch (const QDLException& e) {
                Fail(path + ", line " + std::to_string(lineNumber) + ": " + e.GetErrorMessage());
            }
        }
    }
    return table;
}

}  // namespace qdat::tool
