// QBgDoc: the ditch-bottom elevation file (BGGDBG), (station, elevation) points
// along the alignment for the bottom of a ditch, kept sorted by station, with
// the elevation interpolated linearly between points.
//
// Signatures: "RADUDAR5.83_BGGDBG_SHUJU" (583, written) and
// "RADUDAR5.8_BGGDBG_SHUJU" (580). The content is that of the ground line
// without its legacy layout: no point is dropped for being zero and elevations
// carry the archive's default four decimals in text form.
#pragma once

#include <string>

#include <qdat/host/Export.h>
#include <qdat/profile/GroundPoints.h>

namespace qdat {

class QDAT_API QBgDoc : public GroundPointDocument {
public:
    QBgDoc();

    int SerializeContent(DataArchive& ar) override;

    // The ditch-bottom elevation at station, interpolated between the two
    // points around it. False, with elevation untouched, before the first or
    // beyond the last point, with fewer than two points, or when a point
    // needed for the answer has no elevation.
    bool ElevationAtStation(const QStation& station, double& elevation) const;

    static const DocumentKind classRecord;
};

}  // namespace qdat
