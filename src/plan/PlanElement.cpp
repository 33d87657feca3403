// Evaluation of single plan elements: end data, points and radii at stations,
// and the stored record.
#include <qdat/plan/PlanElement.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include <qdat/docbase/DataArchive.h>
#include <qdat/plan/Clothoid.h>

namespace qdat {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// A station this close to an element's end gives that end exactly.
constexpr double kEndSnap = 0.0001;

// Schema number of an element record in the legacy layout.
constexpr std::int32_t kElementSchema = 2;
// Files up to this version carry the schema numbers of the legacy layout.
constexpr std::uint32_t kLastSchemaVersion = 500;

bool IsInfinite(double radius) {
    return radius == InfiniteRadius;
}
bool IsFinitePositive(double radius) {
    return radius > 0.0 && !IsInfinite(radius) && std::isfinite(radius);
}

// The direction of a turn: +1 for an element turning right (azimuth grows).
double TurnSign(bool right) {
    return right ? 1.0 : -1.0;
}

}  // namespace

double ReduceAzimuth(double azimuth) {
    if (!std::isfinite(azimuth)) return azimuth;
    if (azimuth >= kTwoPi) azimuth = std::fmod(azimuth, kTwoPi);
    return azimuth;
}

bool PlanElement::TypeFromRadii(double startRadius, double endRadius, std::int32_t& type) {
    const bool startInfinite = IsInfinite(startRadius);
    const bool endInfinite = IsInfinite(endRadius);
    type = Empty;
    if (startInfinite && endInfinite)
        type = Straight;
    else if (startRadius == endRadius && startRadius > 0.0)
        type = Arc;
    else if (startInfinite && endRadius > 0.0)
        type = SpiralIn;
    else if (endInfinite && startRadius > 0.0)
        type = SpiralOut;
    else if (startRadius > endRadius && endRadius > 0.0)
        type = SpiralTightens;
    else if (startRadius > 0.0 && startRadius < endRadius)
        type = SpiralLoosens;
    return type != Empty;
}

int PlanElement::Evaluate() {
    std::int32_t type = Empty;
    if (!TypeFromRadii(StartRadius, EndRadius, type)) return 0;
    PlanElement work = *this;
    work.Type = type;
    if (!work.EvaluateAsTyped()) return 0;
    *this = work;
    return 1;
}

int PlanElement::EvaluateAsTyped() {
    if (Type != Straight && Type != Arc && !IsSpiralType(Type)) return 0;
    if (LengthItem == 0.0 && SpiralParam == 0.0) {
        SetZeroSize();
        return 1;
    }
    PlanElement work = *this;
    int result = 0;
    if (Type == Straight)
        result = work.EvaluateStraight();
    else if (Type == Arc)
        result = work.EvaluateArc();
    else
        result = work.EvaluateSpiral();
    if (!result) return 0;
    work.EndStation = StartStation + work.Length;
    // Input at the edge of the doubles (a length of 1e300, a radius of
    // 1e-300) can overflow; such an element fails rather than hand on
    // infinities or NaN to the elements after it and to every lookup.
    if (!work.IsFinite()) return 0;
    *this = work;
    return 1;
}

void PlanElement::ShiftStart() {
    m_ownStart.known = false;
    if (Offset == 0.0) return;
    const double side = StartAzimuth + (Offset > 0.0 ? 0.5 : 1.5) * kPi;
    const double shift = std::fabs(Offset);
    StartX += shift * std::cos(side);
    StartY += shift * std::sin(side);
}

void PlanElement::ShiftOwnStart() {
    // Exact comparison: the start the last computation left is the one it
    // moved, bit for bit, unless someone set another.
    if (m_ownStart.known && StartX == m_ownStart.movedX && StartY == m_ownStart.movedY) {
        StartX = m_ownStart.givenX;
        StartY = m_ownStart.givenY;
    }
    const double givenX = StartX;
    const double givenY = StartY;
    ShiftStart();
    m_ownStart = {givenX, givenY, StartX, StartY, true};
}

const char* PlanElement::FindNonFinite() const {
    const std::pair<double, const char*> stored[] = {
        {Offset, "Offset"},
        {LengthItem, "LengthItem"},
        {SpiralParam, "SpiralParam"},
        {StartRadius, "StartRadius"},
        {EndRadius, "EndRadius"},
        {StartX, "StartX"},
        {StartY, "StartY"},
        {TangentPointX, "TangentPointX"},
        {TangentPointY, "TangentPointY"},
        {EndX, "EndX"},
        {EndY, "EndY"},
        {CentreX, "CentreX"},
        {CentreY, "CentreY"},
        {StartStation.GetValue(), "StartStation"},
        {EndStation.GetValue(), "EndStation"},
        {StartAzimuth, "StartAzimuth"},
        {EndAzimuth, "EndAzimuth"},
    };
    for (const auto& [value, name] : stored)
        if (!std::isfinite(value)) return name;
    return nullptr;
}

bool PlanElement::IsFinite() const {
    if (FindNonFinite()) return false;
    for (double v : {Chord, Length, Tangent1, Tangent2, ChordAngle1, ChordAngle2, CentralAngle,
                     StartSpiralAngle, EndSpiralAngle})
        if (!std::isfinite(v)) return false;
    return true;
}

void PlanElement::SetZeroSize() {
    Chord = Length = 0.0;
    EndStation = StartStation;
    EndX = TangentPointX = StartX;
    EndY = TangentPointY = StartY;
    EndAzimuth = StartAzimuth;
    Tangent1 = Tangent2 = 0.0;
    ChordAngle1 = ChordAngle2 = CentralAngle = 0.0;
    StartSpiralAngle = EndSpiralAngle = 0.0;
    CentreX = CentreY = 0.0;
}

int PlanElement::EvaluateStraight() {
    LengthItem = std::fabs(LengthItem);
    Length = Chord = LengthItem;
    EndAzimuth = StartAzimuth;
    const double c = std::cos(StartAzimuth);
    const double s = std::sin(StartAzimuth);
    EndX = StartX + Length * c;
    EndY = StartY + Length * s;
    TangentPointX = StartX + 0.5 * Length * c;
    TangentPointY = StartY + 0.5 * Length * s;
    Tangent1 = Tangent2 = 0.5 * Length;
    ChordAngle1 = ChordAngle2 = CentralAngle = 0.0;
    StartSpiralAngle = EndSpiralAngle = 0.0;
    CentreX = CentreY = 0.0;
    return 1;
}

int PlanElement::EvaluateArc() {
    const double R = StartRadius;
    if (!IsFinitePositive(R)) return 0;
    double theta = 0.0;
    if (LengthItem >= 0.0) {
        // A chord longer than the diameter has no arc; allow for rounding in
        // a chord meant to be exactly the diameter.
        const double ratio = LengthItem / (2.0 * R);
        if (ratio > 1.0 + 1e-12) return 0;
        theta = 2.0 * std::asin(std::min(ratio, 1.0));
        Chord = LengthItem;
        Length = R * theta;
    } else {
        Length = -LengthItem;
        theta = Length / R;
        if (!(theta <= clothoid::kMaxTurning)) return 0;
        Chord = 2.0 * R * std::sin(0.5 * theta);
    }
    const double turn = TurnSign(TurnsRight());
    ChordAngle1 = ChordAngle2 = 0.5 * theta;
    CentralAngle = theta;
    Tangent1 = Tangent2 = R * std::tan(0.5 * theta);
    StartSpiralAngle = EndSpiralAngle = 0.0;
    EndAzimuth = ReduceAzimuth(TurnsRight() ? StartAzimuth + theta : StartAzimuth + kTwoPi - theta);
    TangentPointX = StartX + Tangent1 * std::cos(StartAzimuth);
    TangentPointY = StartY + Tangent1 * std::sin(StartAzimuth);
    // The end point along the chord rather than through the tangent point:
    // the same point, but still exact for a half circle, whose tangents never
    // meet.
    const double chordDirection = StartAzimuth + turn * 0.5 * theta;
    EndX = StartX + Chord * std::cos(chordDirection);
    EndY = StartY + Chord * std::sin(chordDirection);
    const double toCentre = ReduceAzimuth(EndAzimuth + (TurnsRight() ? 0.5 * kPi : 1.5 * kPi));
    CentreX = EndX + R * std::cos(toCentre);
    CentreY = EndY + R * std::sin(toCentre);
    return 1;
}

double PlanElement::SpiralRc() const {
    switch (Type) {
        case SpiralIn:
            return EndRadius;
        case SpiralOut:
            return StartRadius;
        default:
            return StartRadius * EndRadius / std::fabs(StartRadius - EndRadius);
    }
}

int PlanElement::EvaluateSpiral() {
    const double R1 = StartRadius;
    const double R2 = EndRadius;
    double Rc = 0.0;  // the radius whose inverse is the change of curvature
    double k1 = 0.0;  // curvatures at the ends
    double k2 = 0.0;
    switch (Type) {
        case SpiralIn:
            if (!IsFinitePositive(R2)) return 0;
            Rc = R2;
            k2 = 1.0 / R2;
            break;
        case SpiralOut:
            if (!IsFinitePositive(R1)) return 0;
            Rc = R1;
            k1 = 1.0 / R1;
            break;
        default:
            if (!IsFinitePositive(R1) || !IsFinitePositive(R2) || R1 == R2) return 0;
            Rc = SpiralRc();
            k1 = 1.0 / R1;
            k2 = 1.0 / R2;
            break;
    }

    double A = std::fabs(SpiralParam);
    if (A == 0.0) {
        if (LengthItem < 0.0) {
            Length = -LengthItem;
            A = std::sqrt(Rc * Length);
        } else {
            A = clothoid::ParameterFromChord(LengthItem, k1, k2);
            Length = A * A / Rc;
        }
    } else {
        Length = A * A / Rc;
    }
    if (!(A > 0.0) || !std::isfinite(Length)) return 0;
    // The turning of the piece, its greatest curvature times its length.
    if (!(std::max(k1, k2) * Length <= clothoid::kMaxTurning)) return 0;
    SpiralParam = A;

    // From the start radius, the length Length towards the end radius: away
    // from the clothoid's origin when the curve tightens.
    const double La = Type == SpiralIn ? 0.0 : A * A / R1;
    const bool outwards = Type == SpiralIn || Type == SpiralTightens;
    const clothoid::PieceShape shape = clothoid::Piece(A, La, Length, outwards);
    Chord = shape.chord;
    StartSpiralAngle = Type == SpiralIn ? 0.0 : A * A / (2.0 * R1 * R1);
    EndSpiralAngle = Type == SpiralOut ? 0.0 : A * A / (2.0 * R2 * R2);
    CentralAngle = shape.centralAngle;
    ChordAngle1 = shape.chordAngle1;
    ChordAngle2 = shape.ChordAngle2();
    const double sinCentral = std::sin(CentralAngle);
    if (sinCentral != 0.0) {
        Tangent1 = Chord * std::sin(ChordAngle2) / sinCentral;
        Tangent2 = Chord * std::sin(ChordAngle1) / sinCentral;
    } else {
        Tangent1 = Tangent2 = 0.5 * Chord;  // too short to turn: a straight
    }

    const double turn = TurnSign(TurnsRight());
    EndAzimuth =
        ReduceAzimuth(TurnsRight() ? StartAzimuth + CentralAngle : StartAzimuth + kTwoPi - CentralAngle);
    const double chordDirection = StartAzimuth + turn * ChordAngle1;
    EndX = StartX + Chord * std::cos(chordDirection);
    EndY = StartY + Chord * std::sin(chordDirection);
    TangentPointX = StartX + Tangent1 * std::cos(StartAzimuth);
    TangentPointY = StartY + Tangent1 * std::sin(StartAzimuth);
    CentreX = CentreY = 0.0;
    if (Type != SpiralOut) {
        const double toCentre = ReduceAzimuth(EndAzimuth + (TurnsRight() ? 0.5 * kPi : 1.5 * kPi));
        CentreX = EndX + R2 * std::cos(toCentre);
        CentreY = EndY + R2 * std::sin(toCentre);
    }
    return 1;
}

int PlanElement::PointAtStation(StationPoint& point) const {
    point.X = 0.0;
    point.Y = 0.0;
    const double station = point.Station.GetValue();
    double s = station - StartStation.GetValue();
    if (std::fabs(s) < kEndSnap) {
        point.X = StartX;
        point.Y = StartY;
        point.Azimuth = StartAzimuth;
        return 1;
    }
    if (std::fabs(station - EndStation.GetValue()) < kEndSnap) {
        point.X = EndX;
        point.Y = EndY;
        point.Azimuth = EndAzimuth;
        return 1;
    }
    if (!std::isfinite(s)) return 0;

    const double turn = TurnSign(TurnsRight());
    switch (Type) {
        case Straight:
            point.X = StartX + s * std::cos(StartAzimuth);
            point.Y = StartY + s * std::sin(StartAzimuth);
            point.Azimuth = StartAzimuth;
            return 1;
        case Arc:
            if (!IsFinitePositive(StartRadius)) return 0;
            // Along the chord of the partial arc: the construction through the
            // tangent point gives the same point but loses all accuracy near a
            // half circle.
            ExtendAlong(StartX, StartY, StartAzimuth, StartRadius, s, point);
            return 1;
        default:
            break;
    }
    if (!IsSpiralType(Type)) return 0;

    const double A = std::fabs(SpiralParam);
    if (!(A > 0.0) || !std::isfinite(A)) return 0;
    if ((Type != SpiralIn && !IsFinitePositive(StartRadius)) ||
        (Type != SpiralOut && !IsFinitePositive(EndRadius)))
        return 0;
    const double La = Type == SpiralIn ? 0.0 : A * A / StartRadius;
    const bool outwards = Type == SpiralIn || Type == SpiralTightens;
    const double span = A * A / SpiralRc();
    // Before its start or past its end a spiral goes on as the circle (or
    // straight) of its end radius: the alignment asks a little past an
    // element's end when the station lies within the station tolerance of it.
    if (s < 0.0) {
        ExtendAlong(StartX, StartY, StartAzimuth, Type == SpiralIn ? InfiniteRadius : StartRadius, s, point);
        return 1;
    }
    if (s > span) {
        ExtendAlong(EndX, EndY, EndAzimuth, Type == SpiralOut ? InfiniteRadius : EndRadius, s - span, point);
        return 1;
    }
    // The piece of the spiral from its start to s, built exactly as Evaluate
    // builds an element: the same clothoid, from the same start curvature.
    const clothoid::PieceShape shape = clothoid::Piece(A, La, s, outwards);
    const double chordDirection = StartAzimuth + turn * shape.chordAngle1;
    point.X = StartX + shape.chord * std::cos(chordDirection);
    point.Y = StartY + shape.chord * std::sin(chordDirection);
    // On a spiral from the straight the azimuth is the start azimuth plus or
    // minus the spiral angle, as it is; on the others it is the end azimuth
    // of the piece, reduced as Evaluate reduces it.
    if (Type == SpiralIn)
        point.Azimuth = StartAzimuth + turn * shape.centralAngle;
    else
        point.Azimuth = ReduceAzimuth(TurnsRight() ? StartAzimuth + shape.centralAngle
                                                   : StartAzimuth + kTwoPi - shape.centralAngle);
    return 1;
}

void PlanElement::ExtendAlong(double x, double y, double azimuth, double radius, double distance,
                              StationPoint& point) const {
    if (!IsFinitePositive(radius)) {
        point.X = x + distance * std::cos(azimuth);
        point.Y = y + distance * std::sin(azimuth);
        point.Azimuth = azimuth;
        return;
    }
    const double turn = TurnSign(TurnsRight());
    const double phi = distance / radius;
    const double chord = 2.0 * radius * std::sin(0.5 * phi);
    const double chordDirection = azimuth + turn * 0.5 * phi;
    point.X = x + chord * std::cos(chordDirection);
    point.Y = y + chord * std::sin(chordDirection);
    // The azimuth of a point on an arc is not reduced (unlike the end
    // azimuth of an element): a left turn adds 2 pi less the angle.
    point.Azimuth = TurnsRight() ? azimuth + phi : azimuth + kTwoPi - phi;
}

double PlanElement::RadiusAtStation(const QStation& station) const {
    if (Type == Straight || Type == Empty) return InfiniteRadius;
    if (Type == Arc || station == StartStation) return StartRadius;
    if (station == EndStation) return EndRadius;
    const double A2 = SpiralParam * SpiralParam;
    const double fromStart = station.GetValue() - StartStation.GetValue();
    const double toEnd = EndStation.GetValue() - station.GetValue();
    switch (Type) {
        case SpiralIn:
            return A2 / fromStart;
        case SpiralOut:
            return A2 / toEnd;
        case SpiralTightens:
            return A2 / (A2 / StartRadius + fromStart);
        case SpiralLoosens:
            return A2 / (A2 / EndRadius + toEnd);
        default:
            return InfiniteRadius;
    }
}

void PlanElement::Serialize(DataArchive& ar) {
    if (ar.IsStoring()) {
        if (ar.IsLegacyLayout()) ar << kElementSchema;
        ar << Turn << Precision(6) << Finite(Offset, "offset") << Precision(8)
           << Finite(LengthItem, "element size") << Finite(SpiralParam, "spiral parameter")
           << Finite(StartRadius, "start radius") << Finite(EndRadius, "end radius") << Type << EndRecord;
        ar << Finite(StartX, "start X") << Finite(StartY, "start Y")
           << Finite(TangentPointX, "tangent point X") << Finite(TangentPointY, "tangent point Y")
           << Finite(EndX, "end X") << Finite(EndY, "end Y") << Finite(CentreX, "centre X")
           << Finite(CentreY, "centre Y") << EndRecord;
        ar << StartStation << EndStation << Precision(12) << Finite(StartAzimuth, "start azimuth")
           << Finite(EndAzimuth, "end azimuth") << EndRecord;
        return;
    }
    if (ar.IsLegacyLayout() && ar.GetDocumentVersion() <= kLastSchemaVersion) {
        std::int32_t schema = 0;
        ar >> schema;
        if (schema != kElementSchema)
            ar.ThrowError(QArchiveException::BadFormat, "plan element schema number 2 expected");
    }
    ar >> Turn >> Precision(6) >> Finite(Offset, "offset") >> Precision(8) >>
        Finite(LengthItem, "element size") >> Finite(SpiralParam, "spiral parameter") >>
        Finite(StartRadius, "start radius") >> Finite(EndRadius, "end radius") >> Type >> EndRecord;
    ar >> Finite(StartX, "start X") >> Finite(StartY, "start Y") >>
        Finite(TangentPointX, "tangent point X") >> Finite(TangentPointY, "tangent point Y") >>
        Finite(EndX, "end X") >> Finite(EndY, "end Y") >> Finite(CentreX, "centre X") >>
        Finite(CentreY, "centre Y") >> EndRecord;
    ar >> StartStation >> EndStation >> Precision(12) >> Finite(StartAzimuth, "start azimuth") >>
        Finite(EndAzimuth, "end azimuth") >> EndRecord;
}

}  // namespace qdat
