// The chain table of a project file, for --project.
#pragma once

#include <string>

#include "station/ChainTable.h"

namespace qdat::tool {

// Reads the chain-table keys of a project file: the prefix (key 203) and the
// breaks (keys 401 to 425) wherever the file's sections hold them. Throws
// ToolError naming the file when it cannot be read or is no project file.
ChainTable ReadProjectChainTable(const std::string& path);

}  // namespace qdat::tool
