// The parts of the LandXML import: the plan geometry, the station equations
// and the profiles of one Alignment element.
#pragma once

#include <string>
#include <vector>

#include <qdat/exchange/LandXmlImport.h>
#include <qdat/exchange/detail/LandXmlSource.h>

namespace qdat::landxml {

// Lengths and angles below which consecutive elements count as meeting: a
// millimetre, and the turn a millimetre makes over five metres.
inline constexpr double kGapTolerance = 0.001;
inline constexpr double kKinkTolerance = 2e-4;

// The Alignment elements of the file, wherever an Alignments element holds them.
std::vector<pugi::xml_node> AlignmentNodes(const Source& source);
// The alignment's name: its own, or "alignment N" (from 1) without one.
std::string AlignmentName(pugi::xml_node alignment, std::size_t index);

// What --list shows of an alignment; reads nothing it does not count.
LandXmlAlignmentInfo DescribeAlignment(const Source& source, pugi::xml_node alignment, std::size_t index);

// The plan elements of CoordGeom, computed, and the notes on their joints.
void ReadPlan(const Source& source, pugi::xml_node alignment, ImportedAlignment& into);
// The station equations as the chain table, checked against the alignment.
void ReadEquations(const Source& source, pugi::xml_node alignment, ImportedAlignment& into);
// The design profile (named, or the first) and the first ground line.
void ReadProfiles(const Source& source, pugi::xml_node alignment, const std::string& profileName,
                  ImportedAlignment& into);

}  // namespace qdat::landxml
