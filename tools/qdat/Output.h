// What the qdat tool prints and writes: the --csv and --json options, the one
// row printer that writes a table, CSV or JSON from the same columns, a
// document's content from its kind's column descriptions, the small number and
// text forms every command shares, and writing documents to a file or to
// standard output.
#pragma once

#include <CLI/CLI.hpp>
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include <qdat/exchange/DataValue.h>
#include <qdat/host/HostPaths.h>
#include <qdat/station/ChainTable.h>

namespace qdat {
class QDocument;
}

namespace qdat::tool {

using Json = nlohmann::ordered_json;

// ---------------------------------------------------------------------------
// Numbers and texts

// A finite number that is the whole text; false for anything else.
bool ParseNumber(const std::string& text, double& value);
// The shortest text that reads back to the same double; empty when not finite.
std::string ShortNumber(double value);
// The value to so many decimals, halves away from zero (as files store them).
std::string Fixed(double value, int places);
// An angle in radians as degrees.
double Degrees(double radians);
// Text between double quotes.
std::string Quoted(const std::string& text);
// The last part of a path ("road.zdm"), and the same without its extension.
std::string FileName(const std::string& path);
std::string FileStem(const std::string& path);
// Text filled with spaces to the width: right-aligned, left when width is
// negative; longer text as it is.
std::string Padded(const std::string& text, int width);
// A CSV field as written: quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);
// A chain table as JSON: its prefix and its breaks.
Json ChainTableJson(const ChainTable& table);
// The library's descriptions (exchange/Descriptions.h) as JSON.
Json ToJson(const DataValue& value);

// ---------------------------------------------------------------------------
// Rows

// --csv and --json: which of the three forms a command prints its rows in.
struct OutputOptions {
    bool csv = false;
    bool json = false;

    // Adds both flags (they exclude each other), or --json alone for a
    // command whose output is no rows.
    void AddTo(CLI::App* cmd, const std::string& csvHelp, const std::string& jsonHelp);
    CLI::Option* AddJsonTo(CLI::App* cmd, const std::string& jsonHelp);
    bool Table() const { return !csv && !json; }
};

// A column of printed rows: its JSON key (and CSV header, unless csvKey names
// another, as for a value CSV gives in other units), its table header (the key
// unless title names one) and the width the table right-aligns it in (left
// when negative; 0 leaves the column out of the table). Columns of one group
// are a JSON array under the group's key, null when none of them has a value.
struct Column {
    std::string key;
    int width = 12;
    std::string title = {};
    std::string csvKey = {};
    std::string group = {};
};

// One value of a row as each form shows it. A cell left out is not in the
// row's JSON at all (not null).
struct Cell {
    Json json;          // null: no value
    std::string table;  // the table's text
    std::string csv;    // the CSV field, unquoted
    bool leftOut = false;

    // A number: JSON as it is, CSV shortest, the table as `table`; none
    // (JSON null, an empty CSV field) shows `missing` in the table.
    static Cell Number(std::optional<double> value, const std::string& table,
                       const std::string& missing = {});
    // The same with the table and CSV in other units than JSON (per cent,
    // degrees): the number those show.
    static Cell Shown(std::optional<double> value, std::optional<double> shown, const std::string& table,
                      const std::string& missing = {});
    static Cell Integer(long long value);
    static Cell Text(const std::string& text);
    static Cell Flag(bool value, const std::string& table);
};

using Row = std::vector<Cell>;

// How the table form looks: aligned columns under a header line, or the
// cells of each row between tabs, without header.
enum class TableStyle { Aligned, Tabs };

// Prints rows in the form the options ask for: a JSON array of objects (each
// with the columns' keys), CSV with a header line of the keys, or a table.
void PrintRows(const OutputOptions& options, const std::vector<Column>& columns, const std::vector<Row>& rows,
               TableStyle style = TableStyle::Aligned);

// Prints JSON as the tool does everywhere: indented by two, a line break after.
void PrintJson(const Json& json);

// Prints an array of JSON objects (the rows of a command whose JSON nests) as
// CSV: a header line of every key met, in the order first met, then a line a
// row. Nested values have their path as key ("tunnel.name", "auxPoints.0.x");
// a value a row lacks, and null, is an empty field; numbers are the shortest
// text that reads back, true and false are 1 and 0.
void PrintJsonAsCsv(const Json& rows);

// ---------------------------------------------------------------------------
// A document's content as its kind describes it

// The content as text: "key: value" lines, each list as a table whose header
// gives the units; a missing value is a dash.
void PrintContent(QDocument& doc, std::ostream& out);

// ---------------------------------------------------------------------------
// Writing documents

// The physical forms a document can be written in.
enum class Form { Text, Binary, Tagged, Scrambled, Legacy };
const std::vector<std::string>& FormNames();
Form FormFromName(const std::string& name);
// Writes doc to path in the form through a mirror file: a failed write leaves
// path as it was; "-" is standard output, written whole or not at all.
// Refuses to write over `input` (the file that was read).
void WriteDocument(QDocument& doc, const std::string& path, Form form, const std::string& input);
// Whether two paths name one file: the library's SameFile (host/HostPaths.h).

}  // namespace qdat::tool
