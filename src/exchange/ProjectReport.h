// The report of a whole project as one self-contained HTML page: a summary
// of its files and settings, the plan and the profile with pan and zoom, a
// station box, a cross-section viewer, the tables of the data files, and a
// print style sheet that puts one drawing on each page. Scripts, styles and
// drawings are inline: the page opens offline and asks for nothing.
//
// Values shown in the station box are computed here, at the stations of the
// project's station list (or every 10 m without one), and interpolated
// between those rows in the page.
#pragma once

#include <string>
#include <vector>

#include <qdat/host/Export.h>

namespace qdat {

class PrjFile;

struct QDAT_API ProjectReportResult {
    // Parts left out, each with the file and the reason (a file missing or
    // unreadable); the same notes stand in the page.
    std::vector<std::string> notes;
};

// Builds the report of the project read from projectPath (nothing of the
// project is changed) and saves it to outPath through a mirror file, never
// over the project or one of its files; "-" is standard output. Runs under a
// context of its own with the project's chain table and station precision.
// Throws ExchangeError naming the file when the project cannot be read or
// the report cannot be written; a data file that is missing or unreadable
// only leaves its part out.
QDAT_API ProjectReportResult WriteProjectReport(const std::string& projectPath, const std::string& outPath);

// The page as text, for a caller that keeps it itself.
QDAT_API std::string ProjectReportHtml(const std::string& projectPath, ProjectReportResult* result = nullptr);

}  // namespace qdat
