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

#include "profile/DmxFile.h"

namespace qdat {

class QBgDoc : public StationCursorDocument<GroundPoint> {
public:
    static constexpr std::uint32_t kCurrentVersion = 583;
    static constexpr const char* kSignature = "RADUDAR5.83_BGGDBG_SHUJU";
    static constexpr const char* kSignature580 = "RADUDAR5.8_BGGDBG_SHUJU";

    QBgDoc();

    int SerializeContent(DataArchive& ar) override;
    std::string GetSignature() override { return kSignature; }
    bool ParseSignature(const std::string& signature) override;
    std::string GetTypeString() override;

    int GetPointCount() const { return Rows().GetCount(); }
    GrowArray<GroundPoint>& GetPointArray() { return Rows().GetRows(); }
    // The point at index; null out of range.
    GroundPoint* GetPointAt(int index) { return Rows().GetAt(index); }
    void SetPointAt(int index, const GroundPoint& point) { SetRowAt(index, point); }
    GroundPoint* GetCurrentPoint() { return Rows().GetCurrent(); }
    void SetCurrentPoint(const GroundPoint& point) { SetRowAt(GetCursor(), point); }
    void InsertPoint(const GroundPoint& point) { InsertRow(point); }
    void InsertPoint(const QStation& station, double elevation) { InsertRow(GroundPoint(station, elevation)); }

    // The ditch-bottom elevation at station, interpolated between the two
    // points around it. False, with elevation untouched, before the first or
    // beyond the last point, with fewer than two points, or when a point
    // needed for the answer has no elevation.
    bool ElevationAtStation(const QStation& station, double& elevation) const;

    static const RuntimeClass classRecord;
    const RuntimeClass& GetRuntimeClass() const override { return classRecord; }
};

}  // namespace qdat
