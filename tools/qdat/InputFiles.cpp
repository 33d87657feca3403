#include "InputFiles.h"

#include <iostream>

namespace qdat::tool {
namespace {

// Why there is no section at the station: the sections either side of it.
std::string NoSectionMessage(const HDMFlie& hdm, const std::string& file, const QStation& station) {
    std::string message = file + ": no section at " + ShortNumber(station.GetValue());
    const GrowArray<CrossSection>& sections = hdm.Sections().GetRows();
    const CrossSection* before = nullptr;
    const CrossSection* after = nullptr;
    for (const CrossSection& s : sections) {
        if (s.m_station < station) before = &s;
        if (s.m_station > station && !after) after = &s;
    }
    if (!before && !after) return message + "; the file holds no sections";
    message += "; the nearest ";
    if (before && after)
        return message + "are at " + ShortNumber(before->m_station.GetValue()) + " and " +
               ShortNumber(after->m_station.GetValue());
    const CrossSection* only = before ? before : after;
    return message + "is at " + ShortNumber(only->m_station.GetValue()) +
           (before ? ", the last section" : ", the first section");
}

// A document whose rows must be in station order, sorted for this run when
// the file has them out of order: only in memory, the tool never rewrites
// the file.
template <class T>
std::unique_ptr<T> LoadSorted(const std::string& path, const FileOptions& options, const std::string& command,
                              const char* what, const char* rows) {
    auto doc = LoadDocumentOfKind<T>(path, options, what);
    if (doc->NeedsRepair()) {
        std::cerr << "qdat " << command << ": " << path << ": the " << rows
                  << " are not in station order; sorted for this run\n";
        doc->Repair();
    }
    return doc;
}

}  // namespace

std::unique_ptr<QZdmFile> LoadProfile(const std::string& path, const FileOptions& options,
                                      const std::string& command) {
    return LoadSorted<QZdmFile>(path, options, command, "a vertical profile", "points");
}

std::unique_ptr<DmxFile> LoadGroundLine(const std::string& path, const FileOptions& options) {
    return LoadDocumentOfKind<DmxFile>(path, options, "a profile ground line");
}

std::unique_ptr<HDMFlie> LoadSections(const std::string& path, const FileOptions& options,
                                      const std::string& command) {
    return LoadSorted<HDMFlie>(path, options, command, "a cross-section file", "sections");
}

const CrossSection& SectionAtOrFail(HDMFlie& hdm, const std::string& path, const QStation& station) {
    if (!hdm.SeekStation(station)) Fail(NoSectionMessage(hdm, path, station));
    return *hdm.GetCurrentSection();
}

}  // namespace qdat::tool
