#include <qdat/profile/QZdmFile.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <qdat/docbase/DataArchive.h>
#include <qdat/station/StationCursor.h>

namespace qdat {

namespace {

constexpr TypeString kTypeStrings[] = {
    {104, 0x8001,
     "Vertical profile|Vertical design profile\nZdm\nVertical profile\nVertical profile files (*.zdm)\n.zdm"},
};

constexpr SignatureRule kSignatures[] = {
    {"RADUDAR5.83_ZDM_SHUJU", 583, 0, FormatFlag::LegacyLayout, SignatureUse::Written},
    {"RADUDAR5.8_ZDM_SHUJU", 580, 0, FormatFlag::LegacyLayout},
};

constexpr ColumnDescription kPointColumns[] = {
    Column<&GradePoint::Station>("station", "m"),
    Column<&GradePoint::Elevation>("elevation", "m"),
    Column<&GradePoint::Radius>("radius", "m"),
    Column<&GradePoint::StepStation>("stepStation", "m"),
    Column<&GradePoint::StepHeight>("stepHeight", "m"),
    Column<&GradePoint::TangentLength>("tangentLength", "m"),
    Column<&GradePoint::ExternalDistance>("externalDistance", "m"),
    Column<&GradePoint::GradeIn>("gradeIn", "1"),
    Column<&GradePoint::GradeOut>("gradeOut", "1"),
    Column<&GradePoint::CurveStart>("curveStart", "m"),
    Column<&GradePoint::CurveEnd>("curveEnd", "m"),
};

const GrowArray<GradePoint>& PointsOf(QDocument& doc) {
    return static_cast<const QZdmFile&>(doc).GetGradePointArray();
}

// Rows are read through the const array, so that showing them does not make
// the lookups check the order again; nothing edits them this way.
constexpr ContentBlock kContent[] = {
    {"points", kPointColumns, [](QDocument& doc) { return PointsOf(doc).GetSize(); },
     [](QDocument& doc, int i) -> void* {
         const GrowArray<GradePoint>& points = PointsOf(doc);
         return i >= 0 && i < points.GetSize() ? const_cast<GradePoint*>(&points[i]) : nullptr;
     }},
};

// Adjacent vertical curves may overlap by this much (metres) without a report;
// station rounding alone makes curves that meet exactly overlap slightly.
constexpr double kOverlapAllowance = 0.002;
// A grade change below this (rise over run; one millimetre in a thousand
// kilometres) is no change: the grades meet in a straight line and a given
// tangent length or external distance cannot shape a curve there.
constexpr double kMinGradeChange = 1e-9;
// How far past either end of the profile a grade is still answered, on top of
// the station tolerance.
constexpr double kGradeEndMargin = 0.001;

// Smallest number of bytes one stored point takes: five one-character tokens
// with separators in text form; two stations and three doubles in binary.
constexpr std::int64_t kMinTextRecordBytes = 9;
constexpr std::int64_t kMinBinaryRecordBytes = 40;

double StationOf(const GradePoint& p) {
    return p.Station.GetValue();
}

double FiniteOr(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}

}  // namespace

const DocumentKind QZdmFile::classRecord{"QZdmFile",
                                         &QDocument::classRecord,
                                         [] { return std::make_unique<QZdmFile>(); },
                                         {.typeStrings = kTypeStrings,
                                          .currentVersion = 583,
                                          .signatures = kSignatures,
                                          .content = kContent,
                                          .fileName = "vertical profile file"}};

bool GradePoint::HasStep() const {
    return HasStep(GetStationTolerance());
}

bool GradePoint::HasStep(double tolerance) const {
    return std::fabs(StepStation.GetValue()) >= tolerance && StepHeight != 0.0;
}

QZdmFile::QZdmFile() : QDocument(classRecord) {}

QZdmFile::~QZdmFile() = default;

void QZdmFile::DeleteContents() {
    m_points.RemoveAll();
    m_lastSegment = -1;
    m_orderChecked = false;
    QDocument::DeleteContents();
}

bool QZdmFile::OnOpenDocument(const std::string& path) {
    const bool opened = QDocument::OnOpenDocument(path);
    // The repair step of the open may have reordered the points.
    Recalculate();
    return opened;
}

int QZdmFile::SerializeContent(DataArchive& ar) {
    if (ar.IsStoring()) {
        ar << StationAsText;
        ar << static_cast<std::int32_t>(m_points.GetSize()) << EndRecord;
        // A value that is not a number would not read back: the archive
        // refuses to write it rather than leave a file that cannot be opened.
        for (const GradePoint& p : std::as_const(m_points)) {
            ar << Precision(8) << p.Station << Finite(p.Elevation, "elevation") << Finite(p.Radius, "radius")
               << p.StepStation << Finite(p.StepHeight, "step height") << EndRecord;
        }
        return 1;
    }

    ar >> StationAsText;
    std::int32_t count = 0;
    ar >> count;
    if (count < 0) ar.ThrowError(QArchiveException::BadFormat, "a point count of 0 or more expected");
    ar >> EndRecord;

    // The count is only a promise: never size the array beyond what the rest
    // of the file could hold. A file that ends early keeps the points read.
    const std::int64_t remaining = ar.RemainingBytes();
    const std::int64_t perRecord = ar.IsTextForm() ? kMinTextRecordBytes : kMinBinaryRecordBytes;
    std::int64_t room = remaining < 0 ? 1024 : remaining / perRecord + 1;
    if (room > count) room = count;
    m_points.RemoveAll();
    m_points.SetSize(static_cast<int>(room));

    int read = 0;
    while (read < count && !ar.AtEnd()) {
        GradePoint p;
        ar >> Precision(8) >> p.Station >> Finite(p.Elevation, "elevation") >> Finite(p.Radius, "radius") >>
            p.StepStation >> Finite(p.StepHeight, "step height") >> EndRecord;
        if (read < m_points.GetSize())
            m_points[read] = p;
        else
            m_points.Add(p);
        ++read;
    }
    m_points.SetSize(read);
    if (read < count)
        NoteReadStoppedEarly(ar, std::to_string(read) + " of " + std::to_string(count) + " points");
    else if (!ar.AtEnd())
        NoteReadStoppedEarly(ar, "the " + std::to_string(count) + " points its count gives");
    m_lastSegment = -1;
    m_orderChecked = false;
    // Derive at once, so that a document read outside the open pipeline
    // answers too. Points out of order wait for the repair step of the open:
    // Recalculate would clear the curves of whichever points are first and
    // last before sorting.
    if (!NeedsRepair()) Recalculate();
    return 1;
}

bool QZdmFile::NeedsRepair() {
    return HasRowBelowPredecessor(m_points, StationOf);
}

// Sorts the points by station as a bubble sort with a shrinking bound does;
// points closer than the tolerance keep their order (TolerantOrder of station/StationCursor.h).
bool QZdmFile::Repair() {
    SortRowsByStation(m_points, StationOf);
    m_lastSegment = -1;
    // The grades belong to the old order; derive them again at once.
    Recalculate();
    return true;
}

std::int32_t QZdmFile::Recalculate() {
    std::int32_t code = RecalcOk;
    const int n = m_points.GetSize();
    const double tol = GetStationTolerance();
    m_orderChecked = false;
    if (n == 0) return code;

    // The ends of the profile never carry a vertical curve, whichever
    // quantity was entered for it.
    for (int end : {0, n - 1}) {
        GradePoint& p = m_points[end];
        const bool entered = p.Radius != 0.0 ||
                             (p.CurveInput == GradePoint::TangentInput && p.TangentLength != 0.0) ||
                             (p.CurveInput == GradePoint::ExternalInput && p.ExternalDistance != 0.0);
        if (entered) {
            p.Radius = p.TangentLength = p.ExternalDistance = 0.0;
            code = RecalcEndRadiusCleared;
        }
    }

    m_points[0].GradeIn = 0.0;
    for (int i = 0; i + 1 < n; ++i) {
        GradePoint& p = m_points[i];
        GradePoint& q = m_points[i + 1];
        const double length = q.Station.GetValue() - p.Station.GetValue();
        double rise = q.Elevation - p.Elevation;
        if (p.HasStep(tol)) rise -= p.StepHeight;
        // Two points at the same station make a vertical jump, not a grade.
        const double grade = FiniteOr(rise / length, 0.0);
        p.GradeOut = grade;
        q.GradeIn = grade;
        p.GradeChange = p.GradeIn - p.GradeOut;
    }
    m_points[n - 1].GradeOut = 0.0;
    m_points[n - 1].GradeChange = 0.0;

    for (int i = 0; i < n; ++i) {
        GradePoint& p = m_points[i];
        const double w = std::fabs(p.GradeChange);
        bool known = true;
        switch (p.CurveInput) {
            case GradePoint::RadiusInput:
                if (p.Radius != 0.0) {
                    p.TangentLength = w * p.Radius / 2.0;
                    p.ExternalDistance = p.TangentLength * p.TangentLength / (2.0 * p.Radius);
                } else {
                    p.TangentLength = p.ExternalDistance = 0.0;
                }
                break;
            case GradePoint::TangentInput:
                if (p.TangentLength != 0.0 && w >= kMinGradeChange) {
                    p.Radius = 2.0 * p.TangentLength / w;
                    p.ExternalDistance = p.TangentLength * p.TangentLength / (2.0 * p.Radius);
                } else {
                    p.Radius = p.TangentLength = p.ExternalDistance = 0.0;
                }
                break;
            case GradePoint::ExternalInput:
                if (p.ExternalDistance != 0.0 && w >= kMinGradeChange) {
                    p.Radius = 8.0 * p.ExternalDistance / (w * w);
                    p.TangentLength = w * p.Radius / 2.0;
                } else {
                    p.Radius = p.TangentLength = p.ExternalDistance = 0.0;
                }
                break;
            default:
                code = RecalcUnknownCurveInput;
                known = false;
                break;
        }
        if (known) {
            // Extreme entries can overflow, and a negative quantity would make
            // a curve that ends before it starts. Either way the point has no
            // curve: the entered quantity stays for the host to correct (and
            // is written back as it was read), the derived ones are cleared.
            const bool overflow = !std::isfinite(p.Radius) || !std::isfinite(p.TangentLength) ||
                                  !std::isfinite(p.ExternalDistance) ||
                                  (p.Radius == 0.0 && p.TangentLength != 0.0);
            const bool negative = p.Radius < 0.0 || p.TangentLength < 0.0 || p.ExternalDistance < 0.0;
            if (overflow || negative) {
                if (negative) code = RecalcNegativeCurve;
                if (p.CurveInput != GradePoint::RadiusInput || !std::isfinite(p.Radius)) p.Radius = 0.0;
                if (p.CurveInput != GradePoint::TangentInput || !std::isfinite(p.TangentLength))
                    p.TangentLength = 0.0;
                if (p.CurveInput != GradePoint::ExternalInput || !std::isfinite(p.ExternalDistance))
                    p.ExternalDistance = 0.0;
                known = false;
            }
        }
        if (known) {
            p.CurveStart = p.Station - p.TangentLength;
            p.CurveEnd = p.Station + p.TangentLength;
        } else {
            // The entered quantities stay for the host to correct; the lookups
            // pass through the point as if it had no curve meanwhile.
            p.CurveStart = p.Station;
            p.CurveEnd = p.Station;
        }
        if (i >= 1) {
            const double prevEnd = m_points[i - 1].CurveEnd.GetValue();
            const double start = p.CurveStart.GetValue();
            if (start <= prevEnd - tol && std::fabs(prevEnd - start) > kOverlapAllowance)
                code = RecalcCurvesOverlap;
        }
    }
    return code;
}

QStation QZdmFile::GetStartStation() const {
    return m_points.IsEmpty() ? QStation() : m_points[0].Station;
}

QStation QZdmFile::GetEndStation() const {
    return m_points.IsEmpty() ? QStation() : m_points[m_points.GetUpperBound()].Station;
}

bool QZdmFile::IsStationInRange(const QStation& s) const {
    if (m_points.IsEmpty()) return false;
    return s >= m_points[0].Station && s <= m_points[m_points.GetUpperBound()].Station;
}

bool QZdmFile::IsOrdered() const {
    const auto inOrder = [this](int i) {
        return m_points[i - 1].Station.GetValue() <= m_points[i].Station.GetValue();
    };
    const int n = m_points.GetSize();
    const int changed =
        m_orderChecked ? m_points.ChangedSince(m_orderStamp) : GrowArray<GradePoint>::kAnyChange;
    if (changed == GrowArray<GradePoint>::kUnchanged) return m_ordered;
    if (changed >= 0 && m_ordered) {
        // One point handed out for writing in an ordered profile: the order
        // holds as long as that point still lies between its neighbours.
        m_ordered =
            (changed < 1 || changed >= n || inOrder(changed)) && (changed + 1 >= n || inOrder(changed + 1));
    } else {
        m_ordered = true;
        for (int i = 1; i < n && m_ordered; ++i) m_ordered = inOrder(i);
    }
    m_orderChecked = true;
    m_orderStamp = m_points.GetChangeStamp();
    return m_ordered;
}

// The first k with s <= Station[k] (tolerant: s < Station[k] + tol), or -1.
// In station order the test is false up to some index and true from there on,
// so LastSegment and its neighbours are tried first (calls with nearby
// stations then cost two comparisons) and a halving search does the rest.
// Out of order only a walk from the start gives the first such point.
int QZdmFile::Search(double s, double tol) const {
    const int n = m_points.GetSize();
    const GradePoint* pts = m_points.GetData();
    auto atOrBefore = [&](int k) { return s < pts[k].Station.GetValue() + tol; };

    if (!IsOrdered()) {
        for (int k = 0; k < n; ++k)
            if (atOrBefore(k)) return k;
        return -1;
    }

    int lo = 0;
    int hi = n;  // the answer lies in [lo, hi]; hi == n stands for "none"
    // After a walk past the end (LastSegment n) the last point is as good a
    // start as any, and the right one for stations still past the end.
    const int hint = std::min(m_lastSegment, n - 1);
    if (hint >= 0) {
        if (atOrBefore(hint)) {
            if (hint == 0 || !atOrBefore(hint - 1)) return hint;
            hi = hint - 1;
        } else {
            lo = hint + 1;
            if (lo == n) return -1;
            if (atOrBefore(lo)) return lo;
            ++lo;
        }
    }
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (atOrBefore(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo == n ? -1 : lo;
}

int QZdmFile::FindSegment(const QStation& s) const {
    const int n = m_points.GetSize();
    if (n == 0) {
        m_lastSegment = -1;
        return -1;
    }
    const int k = Search(s.GetValue(), GetStationTolerance());
    // A walk past the last point ends at n; the next search starts afresh.
    m_lastSegment = k < 0 ? n : k;
    return k;
}

double QZdmFile::GetDesignElevation(const QStation& s) const {
    const int n = m_points.GetSize();
    if (n == 0) return kNoValue;
    const double tol = GetStationTolerance();
    const double v = s.GetValue();
    const int k = FindSegment(s);
    if (k >= 0) return FiniteOr(ElevationAt(k, v, tol), kNoValue);

    // Past the last point the profile runs on flat.
    if (v <= m_points[0].CurveStart.GetValue() - tol) return FiniteOr(m_points[0].Elevation, kNoValue);
    if (v >= m_points[n - 1].CurveEnd.GetValue() + tol) return FiniteOr(m_points[n - 1].Elevation, kNoValue);
    return kNoValue;
}

// Elevation at s in the segment that ends at point k (the first point at or
// after s). y is the offset of the parabola y = x^2 / (2 R) from the tangent,
// x measured from the curve's start or end; a crest curve lies below its
// tangents, a sag curve above them.
double QZdmFile::ElevationAt(int k, double s, double tol) const {
    const GradePoint& pk = m_points[k];
    if (std::fabs(s - pk.Station.GetValue()) < tol) {
        if (!pk.HasCurve()) return pk.Elevation;
        return pk.IsSag() ? pk.Elevation + pk.ExternalDistance : pk.Elevation - pk.ExternalDistance;
    }
    if (k == 0) return pk.Elevation;  // before the first point: flat

    const GradePoint& pt = m_points[k - 1];
    const bool step = pt.HasStep(tol);
    const double stepStation = pt.StepStation.GetValue();

    if (s <= pt.CurveEnd.GetValue() - tol) {
        // End half of the curve at point t.
        const double x = pt.CurveEnd.GetValue() - s;
        const double y = pt.Radius != 0.0 ? x * x / (2.0 * pt.Radius) : 0.0;
        const double base = pt.Elevation + pt.GradeOut * (s - pt.Station.GetValue());
        double z = pt.IsSag() ? base + y : base - y;
        if (step && s >= stepStation + tol) z += pt.StepHeight;
        return z;
    }
    if (s <= pk.CurveStart.GetValue() - tol) {
        // Tangent between the two curves; past the step it is measured back
        // from point k so that the step height is included.
        if (!step || s < stepStation + tol) return pt.Elevation + pt.GradeOut * (s - pt.Station.GetValue());
        return pk.Elevation - pk.GradeIn * (pk.Station.GetValue() - s);
    }
    // Start half of the curve at point k.
    const double x = s - pk.CurveStart.GetValue();
    const double y = pk.Radius != 0.0 ? x * x / (2.0 * pk.Radius) : 0.0;
    const double base = pk.Elevation - pk.GradeIn * (pk.Station.GetValue() - s);
    double z = pk.IsSag() ? base + y : base - y;
    if (step && s < stepStation + tol) z -= pt.StepHeight;
    return z;
}

// Grade at point t itself. At an inner point the grade of the parabola at its
// middle: GradeOut -+ T / R, which is the mean of GradeIn and GradeOut for any
// radius; a point without a curve takes that same mean.
double QZdmFile::GradeAtPoint(int t) const {
    const int n = m_points.GetSize();
    const GradePoint& p = m_points[t];
    if (t == 0) return p.GradeOut;
    if (t == n - 1) return p.GradeIn;
    if (!p.HasCurve()) return (p.GradeIn + p.GradeOut) / 2.0;
    const double x = p.CurveEnd.GetValue() - p.Station.GetValue();
    return p.IsSag() ? p.GradeOut - x / p.Radius : p.GradeOut + x / p.Radius;
}

double QZdmFile::GetDesignGrade(const QStation& s) const {
    const int n = m_points.GetSize();
    if (n == 0) return kNoValue;
    const double tol = GetStationTolerance();
    const double v = s.GetValue();
    if (v >= m_points[n - 1].Station.GetValue() + kGradeEndMargin + tol) return kNoValue;
    if (v <= m_points[0].Station.GetValue() - kGradeEndMargin - tol) return kNoValue;

    int i = FindSegment(s);
    if (i < 0) i = n - 1;
    if (std::fabs(v - m_points[0].Station.GetValue()) < tol) return FiniteOr(GradeAtPoint(0), kNoValue);
    if (std::fabs(v - m_points[i].Station.GetValue()) < tol) return FiniteOr(GradeAtPoint(i), kNoValue);
    // Within the margin before the first point the profile is flat.
    if (i == 0) return 0.0;

    const GradePoint& pt = m_points[i - 1];
    const GradePoint& pi = m_points[i];
    const double curveEnd = pt.CurveEnd.GetValue();
    const double curveStart = pi.CurveStart.GetValue();
    double g = 0.0;
    if (v >= pt.Station.GetValue() + tol && v <= curveEnd - tol) {
        const double x = pt.Radius != 0.0 ? (curveEnd - v) / pt.Radius : 0.0;
        g = pt.IsSag() ? pt.GradeOut - x : pt.GradeOut + x;
    } else if (v > curveEnd - tol && v <= curveStart - tol) {
        g = pt.GradeOut;
    } else if (v > curveStart - tol && v <= pi.Station.GetValue() - tol) {
        const double x = pi.Radius != 0.0 ? (v - curveStart) / pi.Radius : 0.0;
        g = pi.IsSag() ? pi.GradeIn + x : pi.GradeIn - x;
    }
    return FiniteOr(g, kNoValue);
}

QStation QZdmFile::GetNextStepStation(const QStation& s) const {
    const int n = m_points.GetSize();
    const double tol = GetStationTolerance();
    const double v = s.GetValue();
    const int k = FindSegment(s);
    // Only segments with a step have a step station; a point without one
    // keeps station 0 there, which is no step even for a negative s.
    for (int j = k > 0 ? k - 1 : 0; j < n; ++j) {
        const GradePoint& p = m_points[j];
        if (p.HasStep(tol) && v <= p.StepStation.GetValue() - tol) return p.StepStation;
    }
    return QStation(DBL_MAX);
}

}  // namespace qdat
