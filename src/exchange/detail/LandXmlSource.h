// The LandXML file as the import reads it: the parsed document, its units,
// and the helpers that find elements by local name, read numbers and points,
// and say where in the file an element stands.
#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace qdat::landxml {

// How the file measures lengths and angles.
struct Units {
    bool imperial = false;
    std::string linearUnit = "meter";
    std::string angularUnit = "radians";
    std::string directionUnit = "radians";
    double metresPerUnit = 1.0;
};

class Source {
public:
    // Parses the text (a byte-order mark and any encoding pugixml knows);
    // ExchangeError naming `name` and the line when it is not well-formed
    // XML or its root is not LandXML.
    Source(std::string_view text, std::string name);
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    const std::string& Name() const { return m_name; }
    pugi::xml_node Root() const { return m_root; }
    const Units& GetUnits() const { return m_units; }

    // "road.xml, line 12 (Curve)": where an element is, for messages.
    std::string Where(pugi::xml_node node) const;
    // Throws ExchangeError: Where(node) + ": " + what.
    [[noreturn]] void Fail(pugi::xml_node node, const std::string& what) const;

    // A length attribute in metres; `fallback` when absent. A value that is
    // not a number fails naming the attribute.
    double Length(pugi::xml_node node, const char* attribute, double fallback) const;
    bool HasAttribute(pugi::xml_node node, const char* attribute) const;
    // An angle attribute in radians, read in the file's angularUnit.
    double Angle(pugi::xml_node node, const char* attribute, double fallback) const;
    // The numbers of an element's text ("northing easting [elevation]" and
    // lists of them), each multiplied by `scale`; fails for anything that is
    // not a number, or fewer than `least` of them.
    std::vector<double> Numbers(pugi::xml_node node, double scale, std::size_t least) const;

private:
    void ReadUnits();

    std::string m_name;
    pugi::xml_document m_doc;
    pugi::xml_node m_root;
    Units m_units;
    std::vector<std::size_t> m_lineStarts;  // byte offsets of the lines, for Where
    bool m_offsetsAreBytes = true;          // false when the text was converted from UTF-16/32
};

// The element's name without its namespace prefix.
std::string_view LocalName(pugi::xml_node node);
// The first child with the local name; an empty node when none.
pugi::xml_node Child(pugi::xml_node node, std::string_view local);
// Every child with the local name, in order.
std::vector<pugi::xml_node> Children(pugi::xml_node node, std::string_view local);

// Reads a number written as a whole text (leading and trailing blanks
// allowed); false for anything else, or for a value that is not finite.
bool ParseNumber(std::string_view text, double& value);

// The shortest text that reads back as the number, for messages.
std::string NumberText(double value);

}  // namespace qdat::landxml
