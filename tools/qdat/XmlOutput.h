// Saving the XML documents the tool writes (LandXML, SVG).
#pragma once

#include <pugixml.hpp>
#include <string>
#include <vector>

namespace qdat::tool {

// Saves doc to path, indented, as UTF-8, through a file beside it that then
// replaces path: a failed save leaves an old file as it was. Refuses to write
// over any of the inputs (the files the command read).
void SaveXml(const pugi::xml_document& doc, const std::string& path, const std::vector<std::string>& inputs);

}  // namespace qdat::tool
