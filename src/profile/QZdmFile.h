// QZdmFile: the vertical design profile of one alignment. It keeps the grade
// change points in station order, each with the parabolic vertical curve that
// rounds it, derives grades and curve lengths from them, and answers the design
// elevation and the design grade at a station.
//
// Units: stations and elevations in metres; grades as rise over run (0.02 is
// 2 per cent); -9999 is the no-value result.
#pragma once

#include <cstdint>
#include <string>

#include <qdat/docbase/GrowArray.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/host/Export.h>
#include <qdat/station/QStation.h>

namespace qdat {

// One grade change point. Station, Elevation, Radius, StepStation and
// StepHeight are stored in the file; the other fields are derived by
// QZdmFile::Recalculate or, for TangentLength and ExternalDistance, entered
// with the matching CurveInput.
class QDAT_API GradePoint {
public:
    // Which curve quantity is the input to Recalculate.
    enum CurveInputKind : std::int32_t { RadiusInput = 0, TangentInput = 1, ExternalInput = 2 };

    GradePoint() = default;
    virtual ~GradePoint() = default;
    GradePoint(const GradePoint&) = default;
    GradePoint& operator=(const GradePoint&) = default;

    // The segment from this point to the next one has a step when its step
    // station is not 0 (station tolerance) and its step height is not 0.
    bool HasStep() const;
    bool HasStep(double tolerance) const;
    // A crest curve has a grade change of zero or above, a sag curve below zero.
    bool IsSag() const { return GradeChange < 0.0; }
    // Whether Recalculate built a vertical curve here: the curve input is
    // known and the radius and tangent length positive (a radius left as
    // entered where its curve would overflow has no tangent length). A point
    // without one is passed through on its tangents, whatever its other
    // curve fields hold.
    bool HasCurve() const {
        return CurveInput >= RadiusInput && CurveInput <= ExternalInput && Radius > 0.0 &&
               TangentLength > 0.0;
    }

    QStation Station;
    double Elevation = 0.0;
    double Radius = 0.0;            // 0 = no vertical curve
    double TangentLength = 0.0;     // T
    double ExternalDistance = 0.0;  // E
    double GradeIn = 0.0;
    double GradeOut = 0.0;
    double GradeChange = 0.0;  // GradeIn - GradeOut
    QStation CurveStart;       // Station - T
    QStation CurveEnd;         // Station + T
    QStation StepStation;      // 0 = none
    double StepHeight = 0.0;   // added to elevations past StepStation
    std::int32_t CurveInput = RadiusInput;
};

class QDAT_API QZdmFile : public QDocument {
public:
    static constexpr double kNoValue = -9999.0;
    // Codes of Recalculate; the last one met is returned.
    enum RecalculateCode : std::int32_t {
        RecalcOk = 0,
        RecalcEndRadiusCleared = 1,
        RecalcUnknownCurveInput = 2,
        RecalcCurvesOverlap = 3,
        // A negative radius, tangent length or external distance: the point
        // gets no curve (its entry stays for the host to correct).
        RecalcNegativeCurve = 4,
    };

    QZdmFile();
    ~QZdmFile() override;

    // Document virtuals.
    int SerializeContent(DataArchive& ar) override;
    bool NeedsRepair() override;
    bool Repair() override;
    bool OnOpenDocument(const std::string& path) override;
    void DeleteContents() override;

    // Derives grades, grade changes, curve quantities and curve ends from the
    // points; returns one of RecalculateCode. Never refuses.
    std::int32_t Recalculate();

    int GetPointCount() const { return m_points.GetSize(); }
    // The points, for the host to edit; call Recalculate after a change.
    // The lookups notice what the array hands out for writing (GrowArray).
    GrowArray<GradePoint>& GetGradePointArray() { return m_points; }
    const GrowArray<GradePoint>& GetGradePointArray() const { return m_points; }
    int GetLastSegment() const { return m_lastSegment; }

    // Stations of the first and the last point; station 0 for an empty profile.
    QStation GetStartStation() const;
    QStation GetEndStation() const;
    // s within [first Station, last Station] (tolerant); false when empty.
    bool IsStationInRange(const QStation& s) const;

    // Index of the first point at or after s (tolerant), or -1 when s is after
    // the last point. A station before the first point gives 0. The result
    // depends only on s and the points: LastSegment only shortens the search.
    // After a station past the last point, LastSegment is the point count.
    int FindSegment(const QStation& s) const;
    // Design elevation at s in metres. Before the first point the profile is
    // extended flat at the first point's elevation, after the last point at
    // the last point's; -9999 for an empty profile.
    double GetDesignElevation(const QStation& s) const;
    // Design grade at s (rise over run), or -9999 when s lies more than
    // 0.001 plus the station tolerance outside the profile.
    double GetDesignGrade(const QStation& s) const;
    // The first step station after s, or a station whose value is the largest
    // finite double when no step follows.
    QStation GetNextStepStation(const QStation& s) const;

    static const DocumentKind classRecord;

private:
    bool IsOrdered() const;
    int Search(double s, double tol) const;
    double ElevationAt(int k, double s, double tol) const;
    double GradeAtPoint(int t) const;

    GrowArray<GradePoint> m_points;
    // Caches of the lookups: they change no answer.
    mutable std::int32_t m_lastSegment = -1;
    // Whether the stations are in non-decreasing order. Only then is the test
    // "s at or before Station[k]" monotone in k, so that a search that starts
    // at LastSegment or halves the range finds the same first point as a walk
    // from the start. Checked again when the array has handed out more than
    // one point for writing since (one point is checked against its
    // neighbours alone), and after Recalculate.
    mutable bool m_orderChecked = false;
    mutable bool m_ordered = false;
    mutable GrowArray<GradePoint>::ChangeStamp m_orderStamp;
};

}  // namespace qdat
