#include "auxdocs/QBgDoc.h"

#include <cmath>

#include "docbase/DataArchive.h"
#include "host/Resources.h"

namespace qdat {

namespace {

// The project registers the ditch-bottom file under two data types (left and
// right ditch); 112 is also the document-type string (see DmxFile.cpp for the
// shape of these texts).
const ResourceTable kResources{
    {112, "Left ditch bottom|Ditch-bottom elevations, left\nDitch bottom\nDitchBottom\nDitch-bottom files (*.bgg)\n.bgg"},
    {113, "Right ditch bottom|Ditch-bottom elevations, right\nDitch bottom\nDitchBottom\nDitch-bottom files (*.bgg)\n.bgg"},
};

}  // namespace

const RuntimeClass QBgDoc::classRecord{"QBgDoc", &QDocument::classRecord,
                                       [] { return std::make_unique<QBgDoc>(); }};

QBgDoc::QBgDoc() { SetCurrentVersion(kCurrentVersion); }

bool QBgDoc::ParseSignature(const std::string& signature) {
    const std::string sig = SignatureForComparing(signature);
    SetLegacyLayout(false);
    if (sig == kSignature) {
        SetFileVersion(583);
    } else if (sig == kSignature580) {
        SetFileVersion(580);
    } else {
        SetFileVersion(0);
        return false;
    }
    return true;
}

std::string QBgDoc::GetTypeString() { return LoadResourceString(112); }

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
    elevation = left.m_elevation +
                (right.m_elevation - left.m_elevation) * (station.GetValue() - left.m_station.GetValue()) / span;
    return true;
}

}  // namespace qdat
