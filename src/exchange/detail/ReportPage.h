// The page of the project report: its HTML, built from headings, tables,
// drawings and data, with the styles and the script written inline, and the
// tables of the data files.
#pragma once

#include <pugixml.hpp>
#include <string>
#include <vector>

namespace qdat {
class PlanAlignment;
class QJdDoc;
class QZdmFile;
class QSupFile;
class QWIDFile;
class CtrDoc;
class TfDoc;
}  // namespace qdat

namespace qdat::report {

// A table cell: text, or a number (right-aligned).
struct Cell {
    std::string text;
    bool number = false;
    static Cell Text(const std::string& text) { return {text, false}; }
    static Cell Number(double value, int places);
};

std::string Escape(const std::string& text);  // for HTML text and attributes
std::string JsonString(const std::string& text);
std::string JsonNumber(double value, int places);  // "null" when not finite

class Page {
public:
    void Begin(const std::string& title);
    void Heading(const std::string& id, const std::string& text);
    void Paragraph(const std::string& text);
    void Note(const std::string& text);
    void Table(const std::string& id, const std::string& caption, const std::vector<std::string>& headings,
               const std::vector<std::vector<Cell>>& rows);
    // A drawing with pan and zoom.
    void Drawing(const std::string& id, const pugi::xml_document& svg);
    // A value of the page's data object, as JSON.
    void Data(const std::string& name, const std::string& json);
    void StationBox();
    void BeginSections();
    void Section(double station, const std::string& text, int points, double left, double right,
                 const pugi::xml_document& svg);
    void SectionNote(double station, const std::string& text, const std::string& message);
    void EndSections();
    std::string End();

private:
    std::string m_title;
    std::string m_body;
    std::string m_data;
    std::vector<std::pair<std::string, std::string>> m_contents;
    int m_sections = 0;
};

struct TableSources {
    const PlanAlignment* alignment = nullptr;
    const QJdDoc* points = nullptr;
    bool railwayNames = false;
    const QZdmFile* profile = nullptr;
    const QSupFile* sup = nullptr;
    QWIDFile* wid = nullptr;
    const CtrDoc* controls = nullptr;
    TfDoc* earthwork = nullptr;
};
// The tables of main points, curves, vertical curves, superelevation,
// widening, structures and tunnels, and earthwork with its totals.
void WriteTables(Page& page, const TableSources& sources);

}  // namespace qdat::report
