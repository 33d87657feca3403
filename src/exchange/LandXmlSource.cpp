#include <qdat/exchange/detail/LandXmlSource.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

#include <qdat/exchange/ExchangeError.h>

namespace qdat::landxml {

namespace {

constexpr double kPi = std::numbers::pi;

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool SameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Metres per unit of LandXML's linear units; 0 for a unit it does not name.
double MetresPer(std::string_view unit) {
    struct Known {
        const char* name;
        double metres;
    };
    static constexpr Known kKnown[] = {
        {"meter", 1.0},        {"millimeter", 0.001}, {"centimeter", 0.01},
        {"kilometer", 1000.0}, {"foot", 0.3048},      {"USSurveyFoot", 1200.0 / 3937.0},
        {"inch", 0.0254},      {"mile", 1609.344},
    };
    for (const Known& k : kKnown)
        if (SameWord(unit, k.name)) return k.metres;
    return 0.0;
}

bool IsAngleUnit(std::string_view unit) {
    return SameWord(unit, "radians") || SameWord(unit, "grads") || SameWord(unit, "decimal degrees") ||
           SameWord(unit, "decimal dd.mm.ss");
}

}  // namespace

std::string_view LocalName(pugi::xml_node node) {
    std::string_view name = node.name();
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node Child(pugi::xml_node node, std::string_view local) {
    for (pugi::xml_node c : node.children())
        if (c.type() == pugi::node_element && LocalName(c) == local) return c;
    return {};
}

std::vector<pugi::xml_node> Children(pugi::xml_node node, std::string_view local) {
    std::vector<pugi::xml_node> found;
    for (pugi::xml_node c : node.children())
        if (c.type() == pugi::node_element && LocalName(c) == local) found.push_back(c);
    return found;
}

bool ParseNumber(std::string_view text, double& value) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    double v = 0.0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

std::string NumberText(double value) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

Source::Source(std::string_view text, std::string name) : m_name(std::move(name)) {
    const pugi::xml_parse_result parsed =
        m_doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_auto);
    m_offsetsAreBytes = parsed.encoding == pugi::encoding_utf8;
    m_lineStarts.push_back(0);
    if (m_offsetsAreBytes)
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n') m_lineStarts.push_back(i + 1);
    if (!parsed) {
        std::string where = m_name;
        if (m_offsetsAreBytes) {
            const auto line =
                std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(),
                                 static_cast<std::size_t>(std::max<std::ptrdiff_t>(parsed.offset, 0)));
            where += ", line " + std::to_string(line - m_lineStarts.begin());
        } else {
            where += ", character " + std::to_string(parsed.offset);
        }
        throw ExchangeError(where + ": not well-formed XML (" + parsed.description() +
                            "); nothing is written");
    }
    m_root = m_doc.document_element();
    if (!m_root || LocalName(m_root) != "LandXML")
        throw ExchangeError(m_name + " is not a LandXML file (its root element is " +
                            (m_root ? "<" + std::string(m_root.name()) + ">" : std::string("missing")) + ")");
    ReadUnits();
}

std::string Source::Where(pugi::xml_node node) const {
    std::string where = m_name;
    const std::ptrdiff_t offset = node.offset_debug();
    if (offset >= 0) {
        if (m_offsetsAreBytes) {
            const auto line =
                std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), static_cast<std::size_t>(offset));
            where += ", line " + std::to_string(line - m_lineStarts.begin());
        } else {
            where += ", character " + std::to_string(offset);
        }
    }
    if (node.type() == pugi::node_element) where += " (" + std::string(LocalName(node)) + ")";
    return where;
}

void Source::Fail(pugi::xml_node node, const std::string& what) const {
    throw ExchangeError(Where(node) + ": " + what);
}

bool Source::HasAttribute(pugi::xml_node node, const char* attribute) const {
    return !Trim(node.attribute(attribute).value()).empty();
}

double Source::Length(pugi::xml_node node, const char* attribute, double fallback) const {
    const pugi::xml_attribute a = node.attribute(attribute);
    if (!a || Trim(a.value()).empty()) return fallback;
    double v = 0.0;
    if (!ParseNumber(a.value(), v))
        Fail(node, std::string(attribute) + "=\"" + a.value() + "\" is not a number");
    return v * m_units.metresPerUnit;
}

double Source::Angle(pugi::xml_node node, const char* attribute, double fallback) const {
    const pugi::xml_attribute a = node.attribute(attribute);
    if (!a || Trim(a.value()).empty()) return fallback;
    double v = 0.0;
    if (!ParseNumber(a.value(), v))
        Fail(node, std::string(attribute) + "=\"" + a.value() + "\" is not an angle");
    const std::string& unit = m_units.angularUnit;
    if (SameWord(unit, "radians")) return v;
    if (SameWord(unit, "grads")) return v * kPi / 200.0;
    if (SameWord(unit, "decimal degrees")) return v * kPi / 180.0;
    // dd.mm.ss written as a decimal number: 12.3045 is 12 degrees 30'45".
    const double magnitude = std::fabs(v);
    const double degrees = std::floor(magnitude);
    const double minutesAndSeconds = (magnitude - degrees) * 100.0;
    const double minutes = std::floor(minutesAndSeconds + 1e-9);
    const double seconds = (minutesAndSeconds - minutes) * 100.0;
    return std::copysign(degrees + minutes / 60.0 + seconds / 3600.0, v) * kPi / 180.0;
}

std::vector<double> Source::Numbers(pugi::xml_node node, double scale, std::size_t least) const {
    std::vector<double> values;
    std::string_view text = node.child_value();
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() &&
               (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n' || text[i] == ','))
            ++i;
        std::size_t j = i;
        while (j < text.size() &&
               !(text[j] == ' ' || text[j] == '\t' || text[j] == '\r' || text[j] == '\n' || text[j] == ','))
            ++j;
        if (j == i) break;
        double v = 0.0;
        if (!ParseNumber(text.substr(i, j - i), v))
            Fail(node, "\"" + std::string(text.substr(i, j - i)) + "\" is not a number");
        values.push_back(v * scale);
        i = j;
    }
    if (values.size() < least)
        Fail(node, std::to_string(least) + " numbers expected, " + std::to_string(values.size()) + " found");
    return values;
}

void Source::ReadUnits() {
    const pugi::xml_node units = Child(m_root, "Units");
    pugi::xml_node system = Child(units, "Metric");
    if (!system) {
        system = Child(units, "Imperial");
        m_units.imperial = static_cast<bool>(system);
        if (m_units.imperial) m_units.linearUnit = "foot";
    }
    if (!system) return;  // LandXML's default: metres and radians
    const auto text = [&](const char* attribute, std::string& into) {
        const std::string_view v = Trim(system.attribute(attribute).value());
        if (!v.empty()) into = std::string(v);
    };
    text("linearUnit", m_units.linearUnit);
    text("angularUnit", m_units.angularUnit);
    text("directionUnit", m_units.directionUnit);
    m_units.metresPerUnit = MetresPer(m_units.linearUnit);
    if (m_units.metresPerUnit == 0.0)
        Fail(system, "linearUnit \"" + m_units.linearUnit + "\" is not a LandXML unit");
    if (!IsAngleUnit(m_units.angularUnit))
        Fail(system, "angularUnit \"" + m_units.angularUnit + "\" is not a LandXML unit");
    if (!IsAngleUnit(m_units.directionUnit))
        Fail(system, "directionUnit \"" + m_units.directionUnit + "\" is not a LandXML unit");
}

}  // namespace qdat::landxml
