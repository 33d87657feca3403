// The profile and section files as the commands that compute or draw on them
// read them: sorted in memory when a file has them out of order (the file is
// never rewritten), with a note naming the command.
#pragma once

#include <memory>
#include <string>

#include <qdat/profile/DmxFile.h>
#include <qdat/profile/QZdmFile.h>
#include <qdat/section/HDMFlie.h>
#include "Tool.h"

namespace qdat::tool {

// A vertical profile.
std::unique_ptr<QZdmFile> LoadProfile(const std::string& path, const FileOptions& options,
                                      const std::string& command);
// A profile ground line.
std::unique_ptr<DmxFile> LoadGroundLine(const std::string& path, const FileOptions& options);
// A cross-section file.
std::unique_ptr<HDMFlie> LoadSections(const std::string& path, const FileOptions& options,
                                      const std::string& command);
// The section at a station; a failure naming the nearest sections when there
// is none.
const CrossSection& SectionAtOrFail(HDMFlie& hdm, const std::string& path, const QStation& station);

}  // namespace qdat::tool
