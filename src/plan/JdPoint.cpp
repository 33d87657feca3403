// Intersection points: classification, the leg operations, names and the
// stored record.
#include <qdat/plan/JdPoint.h>

#include <cctype>
#include <cmath>
#include <initializer_list>
#include <numbers>

#include <qdat/docbase/DataArchive.h>
#include <qdat/host/Resources.h>
#include <qdat/plan/detail/PlanStrings.h>

namespace qdat {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Files from this version on carry the auxiliary points.
constexpr std::uint32_t kFirstAuxVersion = 500;
// The fewest bytes an auxiliary point takes in any form: six one-character
// tokens with separators in text.
constexpr std::int64_t kMinAuxBytes = 11;

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// An empty name is stored as the unnamed text, and that text reads back as
// an empty name.
std::string StoredName(const std::string& name) {
    return name.empty() ? LoadResourceString(plan_strings::kUnnamed) : name;
}
void TakeStoredName(std::string& name) {
    if (name == ResourceText(plan_strings::kUnnamed)) name.clear();
}

// A stored number with the name of its field.
struct NamedValue {
    double value;
    const char* name;
};

// The name of the first value that is not finite; null when all are.
const char* FirstNonFinite(std::initializer_list<NamedValue> fields) {
    for (const NamedValue& f : fields)
        if (!std::isfinite(f.value)) return f.name;
    return nullptr;
}

// The name with its last run of digits replaced by the numbering placeholder.
std::string PatternOf(const std::string& name) {
    std::size_t end = name.size();
    while (end > 0 && !IsDigit(name[end - 1])) --end;
    if (end == 0) return name;
    std::size_t begin = end;
    while (begin > 0 && IsDigit(name[begin - 1])) --begin;
    return name.substr(0, begin) + LoadResourceString(plan_strings::kNumberPlaceholder) + name.substr(end);
}

void SerializeAux(DataArchive& ar, AuxPoint& a) {
    if (ar.IsStoring()) {
        ar << StoredName(a.Name) << Precision(8) << a.X << a.Y << Precision(12) << a.Deflection << a.Azimuth
           << Precision(8) << a.Distance << EndRecord;
        return;
    }
    ar >> a.Name >> Precision(8) >> a.X >> a.Y >> Precision(12) >> a.Deflection >> a.Azimuth >>
        Precision(8) >> a.Distance >> EndRecord;
    TakeStoredName(a.Name);
}

}  // namespace

double AzimuthBetween(double xa, double ya, double xb, double yb) {
    const double dx = xb - xa;
    const double dy = yb - ya;
    if (dx == 0.0) return dy >= 0.0 ? 0.5 * kPi : 1.5 * kPi;
    const double theta = std::atan(std::fabs(dy / dx));
    if (dx > 0.0) return dy >= 0.0 ? theta : kTwoPi - theta;
    return dy >= 0.0 ? kPi - theta : kPi + theta;
}

double ReduceTurn(double angle) {
    if (angle > kPi) return angle - kTwoPi;
    if (angle < -kPi) return angle + kTwoPi;
    return angle;
}

int JdPoint::ClassifyCurve() {
    if (CalcMode != 0) {
        CurveType = CalcMode == 1 ? ArcOnly : SpiralsBothSides;
    } else if (Radius > 0.0) {
        if (SpiralLength1 != 0.0 && SpiralLength2 != 0.0)
            CurveType = SpiralsBothSides;
        else if (SpiralLength1 != 0.0)
            CurveType = EntrySpiralOnly;
        else if (SpiralLength2 != 0.0)
            CurveType = ExitSpiralOnly;
        else
            CurveType = ArcOnly;
    } else if (Radius == 0.0 && SpiralLength1 == 0.0 && SpiralLength2 == 0.0) {
        CurveType = NoCurve;
    } else {
        CurveType = InvalidInput;
    }
    return CurveType;
}

bool JdPoint::IsDeflectionValid() const {
    return -kPi < Deflection && Deflection < kPi;
}

double JdPoint::DistanceTo(const JdPoint& other) const {
    return std::hypot(X - other.X, Y - other.Y);
}

void JdPoint::ComputeLegLength(const JdPoint& previous) {
    LegLength = DistanceTo(previous);
    // A virtual point whose deflection is out of range has no usable legs.
    if (HasAuxPoints()) {
        if (!IsDeflectionValid()) LegLength = InfiniteRadius;
    } else if (previous.HasAuxPoints() && !previous.IsDeflectionValid()) {
        LegLength = InfiniteRadius;
    }
}

void JdPoint::ComputeAzimuth(const JdPoint& previous) {
    if (HasAuxPoints()) return;
    double azimuth = previous.HasAuxPoints() ? previous.Azimuth + previous.Deflection
                                             : AzimuthBetween(previous.X, previous.Y, X, Y);
    if (azimuth > kTwoPi)
        azimuth -= kTwoPi;
    else if (azimuth < 0.0)
        azimuth += kTwoPi;
    Azimuth = azimuth;
}

void JdPoint::ComputeDeflection(const JdPoint& next) {
    if (HasAuxPoints()) return;
    const double outgoing = next.HasAuxPoints() ? next.Azimuth : AzimuthBetween(X, Y, next.X, next.Y);
    Deflection = ReduceTurn(outgoing - Azimuth);
}

void JdPoint::UpdateLeg(const JdPoint& previous, const JdPoint& next) {
    ComputeLegLength(previous);
    ComputeAzimuth(previous);
    ComputeDeflection(next);
}

void JdPoint::UpdateLegNoDeflection(const JdPoint& previous) {
    ComputeLegLength(previous);
    ComputeAzimuth(previous);
}

std::string JdPoint::NamePattern() const {
    return PatternOf(Name);
}

std::string JdPoint::DisplayName(const std::string& prefix, int index) const {
    if (Name.empty()) return FormatResource(plan_strings::kUnnamedPoint, prefix.c_str(), index);
    if (NamePattern() == ResourceText(plan_strings::kNumberPlaceholder)) return prefix + Name;
    return Name;
}

std::string JdPoint::AuxDisplayName(const std::string& prefix, int index, int auxIndex) const {
    if (auxIndex < 0 || auxIndex >= AuxPoints.GetSize()) return {};
    const std::string& auxName = AuxPoints[auxIndex].Name;
    const std::string& placeholder = ResourceText(plan_strings::kNumberPlaceholder);
    if (!auxName.empty()) {
        if (PatternOf(auxName) != placeholder) return auxName;
        return FormatResource(plan_strings::kNumberedAux, DisplayName(prefix, index).c_str(),
                              auxName.c_str());
    }
    if (Name.empty()) return FormatResource(plan_strings::kUnnamedAux, prefix.c_str(), index, auxIndex);
    if (NamePattern() == placeholder)
        return FormatResource(plan_strings::kAuxOfNumbered, prefix.c_str(), Name.c_str(), auxIndex);
    return FormatResource(plan_strings::kAuxOfNamed, Name.c_str(), auxIndex);
}

const char* JdPoint::FindNonFinite() const {
    const char* field = FirstNonFinite({
        {X, "X"},
        {Y, "Y"},
        {Radius, "Radius"},
        {SpiralStartRadius, "SpiralStartRadius"},
        {SpiralEndRadius, "SpiralEndRadius"},
        {SpiralLength1, "SpiralLength1"},
        {SpiralLength2, "SpiralLength2"},
        {Tangent1, "Tangent1"},
        {Tangent2, "Tangent2"},
        {SpiralParam1, "SpiralParam1"},
        {SpiralParam2, "SpiralParam2"},
        {ExternalDistance, "ExternalDistance"},
        {CurveLength, "CurveLength"},
        {ArcLength, "ArcLength"},
        {StraightLength, "StraightLength"},
        {LegLength, "LegLength"},
        {Azimuth, "Azimuth"},
        {Deflection, "Deflection"},
        {StationJD.GetValue(), "StationJD"},
        {StationTS.GetValue(), "StationTS"},
        {StationSC.GetValue(), "StationSC"},
        {StationMid.GetValue(), "StationMid"},
        {StationCS.GetValue(), "StationCS"},
        {StationST.GetValue(), "StationST"},
    });
    if (field) return field;
    for (const AuxPoint& a : AuxPoints) {
        for (double v : {a.X, a.Y, a.Deflection, a.Distance, a.Azimuth})
            if (!std::isfinite(v)) return "an auxiliary point";
    }
    for (const PlanElement* e : {&EntrySpiral, &CircularArc, &ExitSpiral})
        if ((field = e->FindNonFinite())) return field;
    return nullptr;
}

void JdPoint::Serialize(DataArchive& ar) {
    const bool legacy = ar.IsLegacyLayout();
    const auto stations = [&] {
        if (ar.IsStoring())
            ar << Precision(8) << StationJD << Precision(12) << Deflection << Azimuth << Precision(8)
               << LegLength << StraightLength << StationTS << StationSC << StationMid << StationCS
               << StationST << EndRecord;
        else
            ar >> Precision(8) >> StationJD >> Precision(12) >> Deflection >> Azimuth >> Precision(8) >>
                LegLength >> StraightLength >> StationTS >> StationSC >> StationMid >> StationCS >>
                StationST >> EndRecord;
    };
    const auto auxPoints = [&] {
        if (ar.IsStoring()) {
            ar << static_cast<std::int32_t>(AuxPoints.GetSize()) << EndRecord;
            for (AuxPoint& a : AuxPoints) SerializeAux(ar, a);
            return;
        }
        AuxPoints.RemoveAll();
        if (ar.GetDocumentVersion() < kFirstAuxVersion) return;
        std::int32_t count = 0;
        ar >> count >> EndRecord;
        const std::int64_t remaining = ar.RemainingBytes();
        if (count < 0 || (remaining >= 0 && count > remaining / kMinAuxBytes + 1))
            ar.ThrowError(QArchiveException::BadFormat,
                          "auxiliary point count " + std::to_string(count) + " does not fit the file");
        // Added as read: a count the file cannot back costs no more than the
        // points actually present.
        for (std::int32_t i = 0; i < count; ++i) {
            AuxPoint a;
            SerializeAux(ar, a);
            AuxPoints.Add(std::move(a));
        }
    };

    if (ar.IsStoring()) {
        ar << CalcMode << StoredName(Name) << CurveType << Precision(8) << X << Y << EndRecord;
        ar << Precision(8) << SpiralParam1 << SpiralLength1 << SpiralStartRadius << Tangent1 << Radius
           << ArcLength << CurveLength << SpiralParam2 << SpiralLength2 << SpiralEndRadius << Tangent2
           << ExternalDistance << EndRecord;
    } else {
        ar >> CalcMode >> Name >> CurveType >> Precision(8) >> X >> Y >> EndRecord;
        TakeStoredName(Name);
        ar >> Precision(8) >> SpiralParam1 >> SpiralLength1 >> SpiralStartRadius >> Tangent1 >> Radius >>
            ArcLength >> CurveLength >> SpiralParam2 >> SpiralLength2 >> SpiralEndRadius >> Tangent2 >>
            ExternalDistance >> EndRecord;
    }
    if (legacy) {
        auxPoints();
        stations();
    } else {
        stations();
        auxPoints();
    }
    EntrySpiral.Serialize(ar);
    CircularArc.Serialize(ar);
    ExitSpiral.Serialize(ar);
}

}  // namespace qdat
