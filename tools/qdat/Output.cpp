// The row printer, the shared number and text forms, and writing documents.
#include "Output.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <numbers>

#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/NumberFormat.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/exchange/Descriptions.h>
#include <qdat/host/HostFile.h>
#include "Command.h"

namespace qdat::tool {

// ---------------------------------------------------------------------------
// Numbers and texts

bool ParseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value);
}

std::string ShortNumber(double value) {
    if (!std::isfinite(value)) return "";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string Fixed(double value, int places) {
    return FormatFixed(value, places);
}

double Degrees(double radians) {
    return radians * 180.0 / std::numbers::pi;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string FileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string FileStem(const std::string& path) {
    return std::filesystem::path(path).stem().string();
}

std::string Padded(const std::string& text, int width) {
    const std::size_t w = static_cast<std::size_t>(std::abs(width));
    const std::string fill(text.size() < w ? w - text.size() : 0, ' ');
    return width < 0 ? text + fill : fill + text;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

Json ChainTableJson(const ChainTable& table) {
    return ToJson(ChainTableDescription(table));
}

Json ToJson(const DataValue& value) {
    return std::visit(
        [](const auto& v) -> Json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, DataValue::List>) {
                Json out = Json::array();
                for (const DataValue& item : v) out.push_back(ToJson(item));
                return out;
            } else if constexpr (std::is_same_v<T, DataValue::Fields>) {
                Json out = Json::object();
                for (const auto& [key, item] : v) out[key] = ToJson(item);
                return out;
            } else {
                return Json(v);
            }
        },
        value.Get());
}

// ---------------------------------------------------------------------------
// Rows

void OutputOptions::AddTo(CLI::App* cmd, const std::string& csvHelp, const std::string& jsonHelp) {
    CLI::Option* csvOption = cmd->add_flag("--csv", csv, csvHelp);
    CLI::Option* jsonOption = cmd->add_flag("--json", json, jsonHelp);
    csvOption->excludes(jsonOption);
}

CLI::Option* OutputOptions::AddJsonTo(CLI::App* cmd, const std::string& jsonHelp) {
    return cmd->add_flag("--json", json, jsonHelp);
}

Cell Cell::Number(std::optional<double> value, const std::string& table, const std::string& missing) {
    return Shown(value, value, table, missing);
}

Cell Cell::Shown(std::optional<double> value, std::optional<double> shown, const std::string& table,
                 const std::string& missing) {
    if (!value) return {Json(), missing, {}};
    return {Json(*value), table, shown ? ShortNumber(*shown) : std::string()};
}

Cell Cell::Integer(long long value) {
    return {Json(value), std::to_string(value), std::to_string(value)};
}

Cell Cell::Text(const std::string& text) {
    return {Json(text), text, text};
}

Cell Cell::Flag(bool value, const std::string& table) {
    return {Json(value), table, value ? "true" : "false"};
}

namespace {

void PrintTable(const std::vector<Column>& columns, const std::vector<Row>& rows, TableStyle style) {
    std::string out;
    const auto pad = [&out](const std::string& text, int width) { out += Padded(text, width); };
    if (style == TableStyle::Aligned) {
        bool first = true;
        for (const Column& column : columns) {
            if (column.width == 0) continue;
            if (!first) out += ' ';
            first = false;
            pad(column.title.empty() ? column.key : column.title, column.width);
        }
        out += '\n';
    }
    for (const Row& row : rows) {
        // A tab-separated line ends before an empty last cell (a note not made).
        std::size_t end = std::min(columns.size(), row.size());
        if (style == TableStyle::Tabs && end > 0 && row[end - 1].table.empty()) --end;
        bool first = true;
        for (std::size_t c = 0; c < end; ++c) {
            if (columns[c].width == 0) continue;
            if (style == TableStyle::Tabs) {
                if (!first) out += '\t';
                out += row[c].table;
            } else {
                if (!first) out += ' ';
                pad(row[c].table, columns[c].width);
            }
            first = false;
        }
        out += '\n';
    }
    std::cout << out;
}

void PrintCsv(const std::vector<Column>& columns, const std::vector<Row>& rows) {
    std::string out;
    for (std::size_t c = 0; c < columns.size(); ++c)
        out += (c ? "," : "") + CsvField(columns[c].csvKey.empty() ? columns[c].key : columns[c].csvKey);
    out += '\n';
    for (const Row& row : rows) {
        for (std::size_t c = 0; c < columns.size(); ++c)
            out += (c ? "," : "") + (c < row.size() ? CsvField(row[c].csv) : std::string());
        out += '\n';
    }
    std::cout << out;
}

Json RowJson(const std::vector<Column>& columns, const Row& row) {
    Json object = Json::object();
    for (std::size_t c = 0; c < columns.size() && c < row.size(); ++c) {
        if (row[c].leftOut) continue;
        if (columns[c].group.empty()) {
            object[columns[c].key] = row[c].json;
            continue;
        }
        // The first column of a group gives the group's array; the others add to it.
        const std::string& group = columns[c].group;
        if (object.contains(group)) continue;
        Json items = Json::array();
        bool any = false;
        for (std::size_t g = c; g < columns.size() && g < row.size() && columns[g].group == group; ++g) {
            items.push_back(row[g].json);
            any = any || !row[g].json.is_null();
        }
        object[group] = any ? items : Json();
    }
    return object;
}

}  // namespace

void PrintRows(const OutputOptions& options, const std::vector<Column>& columns, const std::vector<Row>& rows,
               TableStyle style) {
    if (options.json) {
        Json out = Json::array();
        for (const Row& row : rows) out.push_back(RowJson(columns, row));
        PrintJson(out);
    } else if (options.csv) {
        PrintCsv(columns, rows);
    } else {
        PrintTable(columns, rows, style);
    }
}

void PrintJson(const Json& json) {
    std::cout << json.dump(2) << "\n";
}

namespace {
void Flatten(const Json& value, const std::string& path,
             std::vector<std::pair<std::string, std::string>>& out) {
    if (value.is_object() || value.is_array()) {
        if (value.empty() && !path.empty()) out.emplace_back(path, std::string());
        std::size_t index = 0;
        for (auto it = value.begin(); it != value.end(); ++it, ++index) {
            const std::string key = value.is_object() ? it.key() : std::to_string(index);
            Flatten(*it, path.empty() ? key : path + "." + key, out);
        }
        return;
    }
    std::string text;
    if (value.is_string())
        text = value.get<std::string>();
    else if (value.is_boolean())
        text = value.get<bool>() ? "1" : "0";
    else if (value.is_number_float())
        text = ShortNumber(value.get<double>());
    else if (value.is_number())
        text = value.dump();
    out.emplace_back(path, std::move(text));
}
}  // namespace

void PrintJsonAsCsv(const Json& rows) {
    std::vector<std::vector<std::pair<std::string, std::string>>> flat;
    std::vector<std::string> keys;
    std::map<std::string, std::size_t> column;
    for (const Json& row : rows) {
        flat.emplace_back();
        Flatten(row, std::string(), flat.back());
        for (const auto& [key, text] : flat.back())
            if (column.emplace(key, keys.size()).second) keys.push_back(key);
    }
    std::string out;
    for (std::size_t c = 0; c < keys.size(); ++c) out += (c ? "," : "") + CsvField(keys[c]);
    out += '\n';
    for (const auto& fields : flat) {
        std::vector<std::string> line(keys.size());
        for (const auto& [key, text] : fields) line[column.at(key)] = text;
        for (std::size_t c = 0; c < line.size(); ++c) out += (c ? "," : "") + CsvField(line[c]);
        out += '\n';
    }
    std::cout << out;
}

// ---------------------------------------------------------------------------
// Writing documents

const std::vector<std::string>& FormNames() {
    static const std::vector<std::string> names{"text", "binary", "tagged", "scrambled", "legacy"};
    return names;
}

Form FormFromName(const std::string& name) {
    const auto& names = FormNames();
    const auto it = std::find(names.begin(), names.end(), name);
    if (it == names.end()) UsageError("unknown form " + name);
    return static_cast<Form>(it - names.begin());
}

void WriteDocument(QDocument& doc, const std::string& path, Form form, const std::string& input) {
    if (path != "-" && !input.empty() && SameFile(input, path))
        Fail(path + " is the input file; choose another output");
    const DocumentKind* kind = doc.GetKind();
    if (form == Form::Legacy) {
        if (path == "-") UsageError("the legacy layout is written to a file only, not to standard output");
        if (!kind || !kind->HasLegacyLayout())
            Fail(std::string(kind ? kind->GetFileName() : doc.GetRuntimeClass().GetName()) +
                 "s have no legacy layout");
        HeldErrors::Clear();
        if (!doc.SaveLegacyCopy(path)) Fail(path + " was not written");
        return;
    }
    static constexpr std::uint32_t kFormFlags[] = {FormatFlag::TextForm, 0, FormatFlag::TaggedForm,
                                                   FormatFlag::ScrambledForm};
    doc.SetFormatFlags((doc.GetFormatFlags() & ~(FormatFlag::FormBits | FormatFlag::LegacyLayout)) |
                       kFormFlags[static_cast<int>(form)]);
    if (path == "-") {
        // Written whole in memory first: a document that fails half-way
        // leaves nothing on standard output.
        MemoryFile memory(std::string(), "standard output");
        try {
            if (!doc.WriteToFile(memory)) Fail("the standard output was not written");
        } catch (const ToolError&) {
            throw;
        } catch (const std::exception& e) {
            Fail(e.what());
        }
        if (!WriteToStandardOutput(memory.Bytes())) Fail("the standard output cannot be written");
        return;
    }
    MirrorFile file;
    try {
        file.Open(path, File::ModeCreate | File::ModeReadWrite | File::ShareExclusive);
        if (!doc.WriteToFile(file)) Fail(path + " was not written");
        file.Close();
    } catch (const ToolError&) {
        file.Abort();
        throw;
    } catch (const std::exception& e) {
        file.Abort();
        Fail(e.what());
    }
}

}  // namespace qdat::tool
