// Saving the XML documents the exports and the tool's plots write, and the
// text of the other exports. The
// documents are pugixml's: a caller of this header brings pugixml's headers
// along (the exchange library itself links pugixml privately).
#pragma once

#include <qdat/host/Export.h>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace qdat {

// Saves doc to path, indented, as UTF-8, through a mirror file: a failed save
// leaves an old file as it was, and what is not a regular file, or may not be
// written, is never replaced. A path of "-" is standard output. Refuses to
// write over any of the inputs (the files the export read). Throws
// ExchangeError naming the path.
QDAT_API void SaveXml(const pugi::xml_document& doc, const std::string& path,
                      const std::vector<std::string>& inputs);

// Saves text made whole beforehand the same way.
QDAT_API void SaveText(const std::string& text, const std::string& path,
                       const std::vector<std::string>& inputs);

}  // namespace qdat
