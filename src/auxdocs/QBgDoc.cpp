#include <qdat/auxdocs/QBgDoc.h>

#include <cmath>

#include <qdat/docbase/DataArchive.h>

namespace qdat {

namespace {

// The project registers the ditch-bottom file under two data types (left and
// right ditch); 112 is also the document-type string.
constexpr TypeString kTypeStrings[] = {
    {112, 0x8002,
     "Left ditch bottom|Ditch-bottom elevations, left\nDitch bottom\nDitchBottom\nDitch-bottom files "
     "(*.bgg)\n.bgg"},
    {113, 0x8002,
     "Right ditch bottom|Ditch-bottom elevations, right\nDitch bottom\nDitchBottom\nDitch-bottom files "
     "(*.bgg)\n.bgg"},
};

constexpr SignatureRule kSignatures[] = {
    {"RADUDAR5.83_BGGDBG_SHUJU", 583, 0, FormatFlag::LegacyLayout, SignatureUse::Written},
    {"RADUDAR5.8_BGGDBG_SHUJU", 580, 0, FormatFlag::LegacyLayout},
};

constexpr ContentBlock kContent[] = {StationRowsBlock<QBgDoc>("points", kGroundPointColumns)};

}  // namespace

const DocumentKind QBgDoc::classRecord{"QBgDoc",
                                       &QDocument::classRecord,
                                       [] { return std::make_unique<QBgDoc>(); },
                                       {.typeStrings = kTypeStrings,
                                        .currentVersion = 583,
                                        .signatures = kSignatures,
                                        .content = kContent,
                                        .fileName = "ditch-bottom elevation file"}};

QBgDoc::QBgDoc() : GroundPointDocument(classRecord) {}

int QBgDoc::SerializeContent(DataArchive& ar) {
    if (ar.IsStoring()) {
        ar << StationAsText;
        StoreGroundPoints(ar, GetPointArray(), false);
    } else {
        ar >> StationAsText;
        LoadGroundPoints(ar, Rows());
    }
    return true;
}

bool QBgDoc::ElevationAtStation(const QStation& station, double& elevation) const {
    const GrowArray<GroundPoint>& points = Rows().GetRows();
    const int count = points.GetSize();
    if (count < 2 || station < points[0].m_station) return false;
    int i = 1;
    while (i < count && !(station <= points[i].m_station)) ++i;
    if (i == count) return false;
    const GroundPoint& right = points[i];
    if (!right.HasElevation()) return false;
    if (std::fabs(station.GetValue() - right.m_station.GetValue()) < 0.001) {
        elevation = right.m_elevation;
        return true;
    }
    const GroundPoint& left = points[i - 1];
    if (!left.HasElevation()) return false;
    const double span = right.m_station.GetValue() - left.m_station.GetValue();
    if (span == 0.0) {  // two points at one station (a file never repaired)
        elevation = right.m_elevation;
        return true;
    }
    elevation = left.m_elevation + (right.m_elevation - left.m_elevation) *
                                       (station.GetValue() - left.m_station.GetValue()) / span;
    return true;
}

}  // namespace qdat
