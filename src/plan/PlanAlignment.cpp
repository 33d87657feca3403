// Chaining the elements of an alignment, lookups by station, and the stored
// alignment record.
#include <qdat/plan/PlanAlignment.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/detail/NumberText.h>
#include <qdat/host/Resources.h>
#include <qdat/plan/detail/PlanStrings.h>

namespace qdat {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kNoValue = -9999.0;

// Schema number of the alignment record in the legacy layout.
constexpr std::int32_t kAlignmentSchema = 1;
// Decimals of EndValue2 in text form.
constexpr int kEndValue2Places = 12;
constexpr std::uint32_t kLastSchemaVersion = 500;
// Loading sizes the element array for the main elements and this many more,
// room for the end elements.
constexpr int kSpareElements = 4;
// The fewest bytes an element record takes in any form: 19 values of at least
// one character each, with separators between them in text form.
constexpr std::int64_t kMinElementBytes = 37;

// The element the last lookup on this thread used, whichever alignment it was
// (initial-exec for the reason host/Context.cpp gives).
[[gnu::tls_model("initial-exec")]] thread_local int t_lastElementIndex = 0;

}  // namespace

int GetLastElementIndex() {
    return t_lastElementIndex;
}

PlanAlignment::PlanAlignment() : Name(LoadResourceString(plan_strings::kUnnamed)) {}

int PlanAlignment::EndElementCount(std::int32_t endType, double endValue2) {
    switch (endType) {
        case 0:
            return 0;
        case 1:
        case 3:
        case 4:
            return 2;
        case 2:
            return endValue2 != 0.0 ? 3 : 2;
        case 5:
        case 6:
            return 1;
        default:
            return -1;
    }
}

int PlanAlignment::GetTotalElementCount() const {
    const int ends = EndElementCount(EndType, EndValue2);
    if (ends < 0) return -1;
    return ElementCount + ends;
}

QStation PlanAlignment::GetEndStation() const {
    const int count = LookupCount();
    if (count < 1) return StartStation;
    return m_elements[count - 1].EndStation;
}

int PlanAlignment::AppendElement(const PlanElement& element) {
    m_lookup.valid = false;
    const int index = std::clamp(ElementCount, 0, m_elements.GetSize());
    m_elements.InsertAt(index, element);
    ElementCount = index + 1;
    return index;
}

void PlanAlignment::RemoveAllElements() {
    m_lookup.valid = false;
    m_elements.RemoveAll();
    ElementCount = 0;
}

int PlanAlignment::ComputeElements() {
    if (ElementCount < 1) return 0;
    const int total = GetTotalElementCount();
    if (total < ElementCount || m_elements.GetSize() < total) return 0;

    double azimuth = 0.0;
    switch (StartMode) {
        case 0:
            // StartAzimuth holds the X of the back point in this mode.
            azimuth = std::atan2(StartY - BackPointY, StartX - StartAzimuth);
            if (azimuth < 0.0) azimuth += kTwoPi;
            break;
        case 1:
            azimuth = StartAzimuth;
            break;
        default:
            return 0;
    }

    m_lookup.valid = false;
    for (int i = 0; i < total; ++i) {
        PlanElement& element = m_elements[i];
        // The start is derived for the first element and for every chained
        // one; an unchained element keeps its own. The Offset moves either
        // sideways; an own start is moved from the start it was given, so
        // that computing again does not walk it further (PlanElement).
        if (i == 0) {
            element.StartStation = StartStation;
            element.StartX = StartX;
            element.StartY = StartY;
            element.StartAzimuth = azimuth;
            element.ShiftStart();
        } else if (Chained == 1) {
            const PlanElement& previous = m_elements[i - 1];
            element.StartStation = previous.EndStation;
            element.StartX = previous.EndX;
            element.StartY = previous.EndY;
            element.StartAzimuth = previous.EndAzimuth;
            element.ShiftStart();
        } else {
            element.ShiftOwnStart();
        }
        if (!element.Evaluate()) return 0;
    }
    return 1;
}

int PlanAlignment::LookupCount() const {
    const int total = GetTotalElementCount();
    if (total < 1 || total > m_elements.GetSize()) return 0;
    return total;
}

void PlanAlignment::RebuildLookup(int count) const {
    std::vector<double>& runningMax = m_lookup.runningMax;
    runningMax.resize(static_cast<std::size_t>(count));
    m_lookup.ends.resize(static_cast<std::size_t>(count));
    double highest = -std::numeric_limits<double>::infinity();
    for (int i = 0; i < count; ++i) {
        const double end = m_elements[i].EndStation.GetValue();
        m_lookup.ends[static_cast<std::size_t>(i)] = end;
        // A NaN end station is "not below" every station, like +infinity.
        if (std::isnan(end))
            highest = std::numeric_limits<double>::infinity();
        else if (end > highest)
            highest = end;
        runningMax[static_cast<std::size_t>(i)] = highest;
    }
    BuildBuckets(count);
    m_lookup.stamp = m_elements.GetChangeStamp();
    m_lookup.projection.reset();
    m_lookup.valid = true;
}

bool PlanAlignment::LookupIsCurrent(int count) const {
    if (!m_lookup.valid || m_lookup.runningMax.size() != static_cast<std::size_t>(count)) return false;
    const int changed = m_elements.ChangedSince(m_lookup.stamp);
    if (changed == GrowArray<PlanElement>::kUnchanged) return true;
    if (changed < 0) return false;
    // One element handed out for writing: the index holds while its end
    // station is the one it was built from (an element past the count is
    // no part of it).
    if (changed < count) {
        const double before = m_lookup.ends[static_cast<std::size_t>(changed)];
        const double now = m_elements[changed].EndStation.GetValue();
        if (!(before == now || (std::isnan(before) && std::isnan(now)))) return false;
    }
    m_lookup.stamp = m_elements.GetChangeStamp();
    return true;
}

int PlanAlignment::FindIndex(double limit, int count) const {
    const double* runningMax = m_lookup.runningMax.data();
    // notBelow(i): some element up to i has an end station not below the
    // station. False up to the element sought, true from it on. "Below" is
    // the station comparison end < station, that is end <= station - tolerance,
    // which is limit.
    const auto notBelow = [&](int i) { return !(runningMax[i] <= limit); };
    if (!notBelow(count - 1)) return -1;

    // The element of the last lookup, or the one after it, answers stations
    // asked in order at once; anything else is searched on one side of it.
    int low = -1;          // notBelow(low) false, or -1
    int high = count - 1;  // notBelow(high) true
    const int hint = std::clamp(m_lastElement, 0, count - 1);
    if (notBelow(hint)) {
        if (hint == 0 || !notBelow(hint - 1)) return hint;
        high = hint - 1;
    } else {
        // hint < count - 1 here, as the last element is never below.
        if (notBelow(hint + 1)) return hint + 1;
        low = hint + 1;
    }
    if (!m_lookup.firstAbove.empty()) {
        // Below the first running maximum (or not a number) the first element
        // is not below.
        if (!(limit >= m_lookup.base)) return 0;
        const double at = (limit - m_lookup.base) * m_lookup.perWidth;
        int bucket = at < count - 1 ? static_cast<int>(at) : count - 1;
        // The rounding of the product may put the limit one bucket too high.
        while (bucket > 0 && BucketStart(bucket) > limit) --bucket;
        const int next = bucket + 1;
        const int to = next < count && BucketStart(next) > limit ? m_lookup.firstAbove[next] : count - 1;
        return SearchFrom(std::max(low + 1, m_lookup.firstAbove[bucket]), std::min(high, to), limit);
    }
    return SearchFrom(low + 1, high, limit);
}

int PlanAlignment::SearchFrom(int from, int to, double limit) const {
    const double* runningMax = m_lookup.runningMax.data();
    // The element sought is mostly among the first few: look at them in turn,
    // then halve what is left.
    for (int step = 0; from < to && step < 4; ++step, ++from)
        if (!(runningMax[from] <= limit)) return from;
    int low = from - 1;
    int high = to;
    while (high - low > 1) {
        const int mid = low + (high - low) / 2;
        if (!(runningMax[mid] <= limit))
            high = mid;
        else
            low = mid;
    }
    return high;
}

double PlanAlignment::BucketStart(int bucket) const {
    return m_lookup.base + bucket * m_lookup.width;
}

void PlanAlignment::BuildBuckets(int count) const {
    std::vector<int>& firstAbove = m_lookup.firstAbove;
    firstAbove.clear();
    const std::vector<double>& runningMax = m_lookup.runningMax;
    const double base = runningMax[0];
    const double top = runningMax[static_cast<std::size_t>(count - 1)];
    if (count < 8 || !std::isfinite(base) || !std::isfinite(top) || !(top > base)) return;
    const double width = (top - base) / count;
    if (!(width > 0.0) || !std::isfinite(1.0 / width)) return;
    m_lookup.base = base;
    m_lookup.width = width;
    m_lookup.perWidth = 1.0 / width;
    firstAbove.resize(static_cast<std::size_t>(count));
    // Where no element lies above a bucket's start, the last one stands for
    // it: a station in that bucket can only be the last element's.
    int i = 0;
    for (int bucket = 0; bucket < count; ++bucket) {
        const double start = BucketStart(bucket);
        while (i < count - 1 && !(runningMax[static_cast<std::size_t>(i)] > start)) ++i;
        firstAbove[static_cast<std::size_t>(bucket)] = i;
    }
}

int PlanAlignment::Locate(const QStation& station, int count, QStation& clamped) const {
    // The station comparisons of QStation, with the tolerance read once.
    const double tolerance = GetStationTolerance();
    const double value = station.GetValue();
    const QStation& first = m_elements[0].StartStation;
    const QStation& last = m_elements[count - 1].EndStation;
    if (value <= first.GetValue() - tolerance)
        clamped = first;
    else if (value >= last.GetValue() + tolerance)
        clamped = last;
    else
        clamped = station;
    if (!LookupIsCurrent(count)) RebuildLookup(count);
    const double limit = clamped.GetValue() - tolerance;
    int index = FindIndex(limit, count);
    // Elements changed through a reference kept across lookups: the element
    // found must not be below the station, and the one before it must be.
    const auto below = [&](int i) { return m_elements[i].EndStation.GetValue() <= limit; };
    if (index >= 0 && (below(index) || (index > 0 && !below(index - 1)))) {
        RebuildLookup(count);
        index = FindIndex(limit, count);
    }
    if (index >= 0) {
        m_lastElement = index;
        t_lastElementIndex = index;
    }
    return index;
}

int PlanAlignment::FindElement(const QStation& station) const {
    const int count = LookupCount();
    if (count < 1) return -1;
    QStation clamped;
    return Locate(station, count, clamped);
}

int PlanAlignment::PointAtStation(StationPoint& point) const {
    point.X = 0.0;
    point.Y = 0.0;
    const int count = LookupCount();
    if (count < 1) return 0;
    StationPoint asked = point;
    const int index = Locate(point.Station, count, asked.Station);
    if (index < 0) return 0;
    const int result = m_elements[index].PointAtStation(asked);
    point.X = asked.X;
    point.Y = asked.Y;
    point.Azimuth = asked.Azimuth;
    return result;
}

double PlanAlignment::RadiusAtStation(const QStation& station) const {
    const int count = LookupCount();
    if (count < 1) return kNoValue;
    QStation clamped;
    const int index = Locate(station, count, clamped);
    if (index < 0) return kNoValue;
    return m_elements[index].RadiusAtStation(clamped);
}

int PlanAlignment::LocatePoint(double x, double y, PointLocation& location) const {
    location = PointLocation();
    const int count = LookupCount();
    if (count < 1) return 0;
    if (!m_lookup.valid || m_lookup.runningMax.size() != static_cast<std::size_t>(count))
        RebuildLookup(count);
    if (!m_lookup.projection)
        m_lookup.projection = std::make_shared<const AlignmentProjection>(m_elements.GetData(), count);
    return m_lookup.projection->Locate(x, y, location) ? 1 : 0;
}

int PlanAlignment::PointAtOffset(StationPoint& point, double offset) const {
    point.X = 0.0;
    point.Y = 0.0;
    const int count = LookupCount();
    if (count < 1) return 0;
    QStation clamped;
    const int index = Locate(point.Station, count, clamped);
    if (index < 0) return 0;
    return AlignmentProjection::PointAtOffset(m_elements[index], clamped, offset, point) ? 1 : 0;
}

void PlanAlignment::Serialize(DataArchive& ar) {
    if (ar.IsStoring()) {
        const int total = GetTotalElementCount();
        if (total < 0)
            ar.ThrowError(QArchiveException::GenericError,
                          "end type " + std::to_string(EndType) + " of the alignment is not 0 to 6");
        if (ElementCount < 0 || m_elements.GetSize() < total)
            ar.ThrowError(QArchiveException::GenericError, "the alignment counts " + std::to_string(total) +
                                                               " elements but holds " +
                                                               std::to_string(m_elements.GetSize()));
        // EndValue2 decides whether a third end element follows. In text form
        // the reader sees the value as written with twelve decimals: the file
        // holds the end elements that value asks for, so that it reads back
        // as it was written (a value that rounds to 0 asks for two).
        double written = EndValue2;
        if (ar.IsTextForm()) ScanDouble(FormatFixed(EndValue2, kEndValue2Places), written);
        const int stored = ElementCount + EndElementCount(EndType, written);
        if (ar.IsLegacyLayout()) ar << kAlignmentSchema;
        const std::string name = Name.empty() ? LoadResourceString(plan_strings::kUnnamed) : Name;
        ar << ElementCount << name << Note << Precision(6) << Finite(HeaderValue, "header value")
           << EndRecord;
        ar << StartMode << Precision(4) << StartStation << Precision(12)
           << Finite(StartAzimuth, "start azimuth") << Finite(BackPointY, "back point Y") << Precision(8)
           << Finite(StartX, "start X") << Finite(StartY, "start Y") << EndRecord;
        for (int i = 0; i < ElementCount; ++i) m_elements[i].Serialize(ar);
        if (ElementCount > 0) ar << EndRecord;
        ar << EndType << Precision(8) << Finite(EndValue1, "end value 1") << Precision(kEndValue2Places)
           << Finite(EndValue2, "end value 2") << Precision(8) << Finite(EndValue3, "end value 3")
           << Finite(EndValue4, "end value 4") << Chained << EndRecord;
        for (int i = ElementCount; i < stored; ++i) m_elements[i].Serialize(ar);
        return;
    }

    if (ar.IsLegacyLayout() && ar.GetDocumentVersion() <= kLastSchemaVersion) {
        std::int32_t schema = 0;
        ar >> schema;
        if (schema != kAlignmentSchema)
            ar.ThrowError(QArchiveException::BadFormat, "alignment schema number 1 expected");
    }
    m_lookup.valid = false;
    m_elements.RemoveAll();
    ElementCount = 0;
    std::int32_t count = 0;
    ar >> count >> Name >> Note >> Precision(6) >> Finite(HeaderValue, "header value") >> EndRecord;
    if (count < 0) ar.ThrowError(QArchiveException::BadFormat, "negative element count");
    const std::int64_t remaining = ar.RemainingBytes();
    if (remaining >= 0 && count > remaining / kMinElementBytes)
        ar.ThrowError(QArchiveException::BadFormat,
                      "element count " + std::to_string(count) + " is more than the rest of the file holds");
    ar >> StartMode >> Precision(4) >> StartStation >> Precision(12) >>
        Finite(StartAzimuth, "start azimuth") >> Finite(BackPointY, "back point Y") >> Precision(8) >>
        Finite(StartX, "start X") >> Finite(StartY, "start Y") >> EndRecord;
    // Elements are added as they are read, so a count the file cannot back
    // costs no more memory than the elements actually present.
    for (int i = 0; i < count; ++i) {
        PlanElement element;
        element.Serialize(ar);
        m_elements.Add(element);
    }
    m_elements.SetSize(count + kSpareElements);
    ElementCount = count;
    ar >> EndType >> Precision(8) >> Finite(EndValue1, "end value 1") >> Precision(kEndValue2Places) >>
        Finite(EndValue2, "end value 2") >> Precision(8) >> Finite(EndValue3, "end value 3") >>
        Finite(EndValue4, "end value 4") >> Chained >> EndRecord;
    const int ends = EndElementCount(EndType, EndValue2);
    if (ends < 0)
        ar.ThrowError(QArchiveException::GenericError,
                      "end type " + std::to_string(EndType) + " is not 0 to 6");
    for (int i = 0; i < ends; ++i) m_elements[count + i].Serialize(ar);
}

}  // namespace qdat
