#include <qdat/section/QWIDFile.h>

#include <cmath>

#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/detail/FiniteValues.h>
#include <qdat/station/StationCursor.h>

namespace qdat {

namespace {

class QWidData : public DocumentData {
public:
    GrowArray<WidSegment> LeftSegments;
    GrowArray<WidSegment> RightSegments;
    std::int32_t LeftCursor = -1;
    std::int32_t RightCursor = -1;
};

constexpr const char* kLeftKeyword = "ZZZZZZZ";
constexpr const char* kRightKeyword = "YYYYYYY";
// The label of a point without one, as the file writes it.
constexpr const char* kNoLabel = "0";

constexpr TypeString kTypeStrings[] = {
    {106, 0x8002, "Widening|Widening table\nWidening\nWidening\nWidening files (*.wid)\n.wid"},
};

// A road signature, and any signature the kind does not know, also clears the
// railway flag a failed read of a railway table may have left.
using namespace FormatFlag;
constexpr SignatureRule kSignatures[] = {
    {"RADUDAR5.83_WID_SHUJU", 583, 0, LegacyLayout | RailwayVariant, SignatureUse::Written},
    {"RADUDAR5.8_WID_SHUJU", 580, 0, LegacyLayout | RailwayVariant},
    // A railway table is as current as the road table of its signature: read
    // as an older one, it would be written back, unchanged, at every open.
    {"RADUDAR5.83_WID_SHUJU_RAILWAY", 583, RailwayVariant, LegacyLayout, SignatureUse::Written},
};

template <auto Point, auto Member>
constexpr ColumnDescription PointColumn(const char* key, const char* unit) {
    using Type = typename detail::MemberOf<decltype(Member)>::Type;
    ColumnDescription c{key, ColumnKindFor(static_cast<const Type*>(nullptr))};
    c.get = [](const void* row) { return ColumnValue(static_cast<const WidSegment*>(row)->*Point.*Member); };
    c.set = [](void* row, double v) { SetColumnValue(static_cast<WidSegment*>(row)->*Point.*Member, v); };
    c.unit = unit;
    return c;
}

template <auto Point>
constexpr ColumnDescription LabelColumn(const char* key) {
    ColumnDescription c{key, ColumnDescription::Kind::Text};
    c.getText = [](const void* row) { return (static_cast<const WidSegment*>(row)->*Point).Label; };
    c.setText = [](void* row, std::string_view text) {
        (static_cast<WidSegment*>(row)->*Point).Label = text;
    };
    return c;
}

constexpr ColumnDescription kSegmentColumns[] = {
    PointColumn<&WidSegment::Begin, &WidPoint::Station>("beginStation", "m"),
    PointColumn<&WidSegment::Begin, &WidPoint::Width1>("beginWidth1", "m"),
    PointColumn<&WidSegment::Begin, &WidPoint::Width2>("beginWidth2", "m"),
    PointColumn<&WidSegment::Begin, &WidPoint::Width3>("beginWidth3", "m"),
    PointColumn<&WidSegment::Begin, &WidPoint::Width4>("beginWidth4", "m"),
    PointColumn<&WidSegment::Begin, &WidPoint::Width5>("beginWidth5", "m"),
    LabelColumn<&WidSegment::Begin>("beginLabel"),
    PointColumn<&WidSegment::End, &WidPoint::Station>("endStation", "m"),
    PointColumn<&WidSegment::End, &WidPoint::Width1>("endWidth1", "m"),
    PointColumn<&WidSegment::End, &WidPoint::Width2>("endWidth2", "m"),
    PointColumn<&WidSegment::End, &WidPoint::Width3>("endWidth3", "m"),
    PointColumn<&WidSegment::End, &WidPoint::Width4>("endWidth4", "m"),
    PointColumn<&WidSegment::End, &WidPoint::Width5>("endWidth5", "m"),
    LabelColumn<&WidSegment::End>("endLabel"),
};

template <int Side>
constexpr ContentBlock SideBlock(const char* key) {
    ContentBlock block{key, kSegmentColumns};
    block.count = [](QDocument& doc) { return static_cast<QWIDFile&>(doc).GetSegments(Side).GetSize(); };
    block.row = [](QDocument& doc, int i) -> void* {
        GrowArray<WidSegment>& segments = static_cast<QWIDFile&>(doc).GetSegments(Side);
        return i >= 0 && i < segments.GetSize() ? &segments[i] : nullptr;
    };
    return block;
}

constexpr ContentBlock kContent[] = {SideBlock<1>("leftSegments"), SideBlock<0>("rightSegments")};

void LoadPoint(DataArchive& ar, WidPoint& p, bool railway) {
    constexpr const char* kWidth = "width";
    ar >> p.Station >> Precision(2);
    if (railway) {
        p.Width4 = ReadFinite(ar, kWidth);
    } else {
        p.Width1 = ReadFinite(ar, kWidth);
        p.Width2 = ReadFinite(ar, kWidth);
        p.Width3 = ReadFinite(ar, kWidth);
        p.Width4 = ReadFinite(ar, kWidth);
        p.Width5 = ReadFinite(ar, kWidth);
        ar >> p.Label;
        if (p.Label == kNoLabel) p.Label.clear();
    }
    ar >> EndRecord;
}

void StorePoint(DataArchive& ar, const WidPoint& p, bool railway) {
    CheckFinite(ar, p.Station.GetValue(), "widening station");
    for (double w : {p.Width1, p.Width2, p.Width3, p.Width4, p.Width5}) CheckFinite(ar, w, "width");
    ar << p.Station << Precision(2);
    if (railway)
        ar << p.Width4;
    else
        ar << p.Width1 << p.Width2 << p.Width3 << p.Width4 << p.Width5
           << (p.Label.empty() ? kNoLabel : p.Label);
    ar << EndRecord;
}

// The keyword line as it stands, without the column padding of tokens.
void StoreKeyword(DataArchive& ar, const char* keyword) {
    ar.SetRecord(keyword);
    ar.NextRecord();
}

}  // namespace

const DocumentKind QWIDFile::classRecord{
    "QWIDFile",
    &QDocument::classRecord,
    [] { return std::make_unique<QWIDFile>(); },
    {.typeStrings = kTypeStrings,
     .currentVersion = 583,
     .signatures = kSignatures,
     .unknownSignature = {{}, 0, 0, LegacyLayout | RailwayVariant, SignatureUse::Refused},
     .content = kContent,
     .textOnly = true,
     .fileName = "widening file"}};

bool WidSegment::Contains(double station) const {
    return Begin.Station.GetValue() <= station && station <= End.Station.GetValue();
}

QWIDFile::QWIDFile() : QDocument(classRecord, std::make_unique<QWidData>()) {}

QWIDFile::~QWIDFile() = default;

GrowArray<WidSegment>& QWIDFile::GetSegments(int side) {
    return side ? DataAs<QWidData>().LeftSegments : DataAs<QWidData>().RightSegments;
}

const GrowArray<WidSegment>& QWIDFile::GetSegments(int side) const {
    return side ? DataAs<QWidData>().LeftSegments : DataAs<QWidData>().RightSegments;
}

void QWIDFile::DeleteContents() {
    QDocument::DeleteContents();
    QWidData& d = DataAs<QWidData>();
    d.LeftSegments.RemoveAll();
    d.RightSegments.RemoveAll();
    d.LeftCursor = d.RightCursor = -1;
}

int QWIDFile::SerializeContent(DataArchive& ar) {
    if (ar.IsStoring())
        Store(ar);
    else
        Load(ar);
    return 1;
}

void QWIDFile::Store(DataArchive& ar) {
    const bool railway = ar.IsRailwayVariant();
    ar << StationAsText;
    for (int side : {1, 0}) {
        StoreKeyword(ar, side ? kLeftKeyword : kRightKeyword);
        for (const WidSegment& g : GetSegments(side)) {
            StorePoint(ar, g.Begin, railway);
            StorePoint(ar, g.End, railway);
            ar << EndRecord;
        }
    }
}

// A keyword line switches the side until the next one; several may follow
// each other (an empty side). Blank lines between segments are passed over.
void QWIDFile::Load(DataArchive& ar) {
    const bool railway = ar.IsRailwayVariant();
    ar >> StationAsText;
    int side = 0;
    while (!ar.AtEnd()) {
        if (ar.NextTokenContains(kLeftKeyword) || ar.NextTokenContains(kRightKeyword)) {
            side = ar.NextTokenContains(kLeftKeyword) ? 1 : 0;
            ar >> EndRecord;
            continue;
        }
        WidSegment g;
        LoadPoint(ar, g.Begin, railway);
        LoadPoint(ar, g.End, railway);
        GetSegments(side).Add(std::move(g));
    }
}

bool QWIDFile::NeedsRepair() {
    return HasRowBelowPredecessor(GetSegments(1), OrderStation) ||
           HasRowBelowPredecessor(GetSegments(0), OrderStation);
}

bool QWIDFile::Repair() {
    const bool left = SortRowsByStation(GetSegments(1), OrderStation);
    const bool right = SortRowsByStation(GetSegments(0), OrderStation);
    return left || right;
}

void QWIDFile::AddSegment(const WidSegment& segment, int side) {
    GrowArray<WidSegment>& segments = GetSegments(side);
    if (!segments.IsEmpty() && CanMerge(segments[segments.GetUpperBound()], segment))
        segments[segments.GetUpperBound()].End.Station = segment.End.Station;
    else
        segments.Add(segment);
    SetModifiedFlag(true);
}

WidSegment* QWIDFile::FindWidSegment(double station, int side) {
    GrowArray<WidSegment>& segments = GetSegments(side);
    std::int32_t& cursor = side ? DataAs<QWidData>().LeftCursor : DataAs<QWidData>().RightCursor;
    const int n = segments.GetSize();
    if (cursor < 0)
        cursor = 0;
    else if (cursor < n && segments[cursor].Contains(station))
        return &segments[cursor];
    for (; cursor < n; ++cursor)
        if (segments[cursor].Contains(station)) return &segments[cursor];
    for (cursor = 0; cursor < n; ++cursor)
        if (segments[cursor].Contains(station)) return &segments[cursor];
    cursor = -1;
    return nullptr;
}

void QWIDFile::InterpolateWidths(const WidSegment& segment, WidPoint& point, int shape) {
    if (shape != Linear && shape != FourthDegree && shape != Cubic) return;
    const double b = segment.Begin.Station.GetValue();
    const double e = segment.End.Station.GetValue();
    const double s = point.Station.GetValue();
    const double length = std::fabs(e - b);
    // The share of the segment from a point at station from to s.
    const auto share = [&](double from) { return length == 0.0 ? 0.0 : std::fabs(s - from) / length; };
    const auto rise = [shape](double k) {
        return shape == FourthDegree ? 4 * k * k * k - 3 * k * k * k * k : 3 * k * k - 2 * k * k * k;
    };
    double WidPoint::*const widths[] = {&WidPoint::Width1, &WidPoint::Width2, &WidPoint::Width3,
                                        &WidPoint::Width4, &WidPoint::Width5};
    for (double WidPoint::*w : widths) {
        const double wb = segment.Begin.*w;
        const double we = segment.End.*w;
        if (shape == Linear)
            point.*w = wb + (we - wb) * share(b);
        else if (wb < we)
            point.*w = wb + std::fabs(we - wb) * rise(share(b));
        else
            point.*w = we + std::fabs(we - wb) * rise(share(e));
    }
}

int QWIDFile::GetSectionWidths(SectionWidths& record, int shape) {
    const WidSegment* left = FindWidSegment(record.Station, 1);
    if (!left) return 0;
    WidPoint l;
    l.Station = record.Station;
    InterpolateWidths(*left, l, shape);
    record.Left = {l.Width5, l.Width4, l.Width2, l.Width1};
    const WidSegment* right = FindWidSegment(record.Station, 0);
    if (!right) return 0;
    WidPoint r;
    r.Station = record.Station;
    InterpolateWidths(*right, r, shape);
    record.Right = {r.Width1, r.Width2, r.Width4, r.Width5};
    return l.Width3 == 0.0 && r.Width3 == 0.0 ? 1 : -1;
}

double QWIDFile::GetTotalWidth(const WidPoint& p) {
    return p.Width1 + p.Width2 + p.Width3 + p.Width4 + p.Width5;
}

bool QWIDFile::HaveSameWidths(const WidPoint& a, const WidPoint& b) {
    return a.Width1 == b.Width1 && a.Width2 == b.Width2 && a.Width3 == b.Width3 && a.Width4 == b.Width4 &&
           a.Width5 == b.Width5;
}

bool QWIDFile::IsSamePoint(const WidPoint& a, const WidPoint& b) {
    return HaveSameWidths(a, b) && a.Station == b.Station;
}

bool QWIDFile::IsConstant(const WidSegment& g) {
    return HaveSameWidths(g.Begin, g.End);
}

bool QWIDFile::CanMerge(const WidSegment& last, const WidSegment& next) {
    return IsConstant(last) && IsConstant(next) && IsSamePoint(next.Begin, last.End);
}

bool QWIDFile::IsEmptySegment(const WidSegment& g) {
    return g.Begin.Station >= g.End.Station;
}

QStation QWIDFile::OrderStation(const WidSegment& segment) {
    return segment.Begin.Station + segment.End.Station;
}

bool QWIDFile::IsOrderedBefore(const WidSegment& a, const WidSegment& b) {
    return OrderStation(a) < OrderStation(b);
}

}  // namespace qdat
