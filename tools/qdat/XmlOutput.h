// Saving the XML documents the tool writes (LandXML, SVG).
#pragma once

#include <pugixml.hpp>
#include <string>
#include <vector>

namespace qdat::tool {

// Saves doc to path, indented, as UTF-8, through a mirror file: a failed save
// leaves an old file as it was, and what is not a regular file, or may not be
// written, is never replaced. "-" writes to standard output. Refuses to write
// over any of the inputs (the files the command read).
void SaveXml(const pugi::xml_document& doc, const std::string& path, const std::vector<std::string>& inputs);

}  // namespace qdat::tool
