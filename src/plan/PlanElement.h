// PlanElement: one geometric element of a horizontal alignment (a straight, a
// circular arc or a clothoid spiral between two radii), with its stored input
// and the end data its evaluation derives.
//
// Units and conventions: metres and radians; X is northing, Y easting;
// azimuths are measured clockwise from +X, so the direction of azimuth a is
// (cos a, sin a) in (X, Y), and an element that turns right makes the azimuth
// grow. Stations are continuous stations. A radius of 9999 is infinite.
#pragma once

#include <cstdint>

#include <qdat/host/Export.h>
#include <qdat/station/QStation.h>

namespace qdat {

class DataArchive;

inline constexpr double InfiniteRadius = 9999.0;

// The record through which a position is asked for and returned.
struct QDAT_API StationPoint {
    QStation Station;      // in
    double Azimuth = 0.0;  // out
    double X = 0.0;        // out
    double Y = 0.0;        // out
};

class QDAT_API PlanElement {
public:
    enum ElementType : std::int32_t {
        Empty = 0,
        Straight = 1,
        Arc = 3,
        SpiralIn = 21,        // from an infinite radius to EndRadius
        SpiralOut = 22,       // from StartRadius to an infinite radius
        SpiralTightens = 23,  // between finite radii, StartRadius > EndRadius
        SpiralLoosens = 24,   // between finite radii, StartRadius < EndRadius
    };

    // The type the radii call for; Empty (with false) when they fit none.
    static bool TypeFromRadii(double startRadius, double endRadius, std::int32_t& type);
    static bool IsSpiralType(std::int32_t type) { return type >= SpiralIn && type <= SpiralLoosens; }

    // Derives Type from the radii, then the end data. Returns 1, or 0 when the
    // radii or the size fit no element, when the element would turn more than
    // clothoid::kMaxTurning, or when a value would not be a finite number (the
    // element is then left unchanged).
    int Evaluate();
    // Computes the end data for the stored Type; 0 for an unknown type or
    // geometry that cannot be built.
    int EvaluateAsTyped();

    // Position and azimuth at point.Station (X and Y are cleared first).
    // Stations within 0.0001 of either end give that end exactly. Past its
    // ends an element goes on as a straight or a circle (a spiral with its
    // radius at that end). The azimuth on an arc is StartAzimuth + phi
    // turning right and StartAzimuth + 2 pi - phi turning left, and on a
    // spiral from the straight StartAzimuth +- the spiral angle, neither
    // reduced; on the other spirals it is reduced as the end azimuth is.
    // Returns 1, or 0 for an element that was never evaluated or has no
    // valid type.
    int PointAtStation(StationPoint& point) const;
    // Radius of curvature at a station; 9999 on a straight.
    double RadiusAtStation(const QStation& station) const;

    // The stored record (text, binary and legacy layouts). Every double of
    // it is a finite number, both ways.
    void Serialize(DataArchive& ar);
    // The name of the first stored number that is not finite ("EndX"); null
    // when all are.
    const char* FindNonFinite() const;
    // Whether every input and derived value is a finite number.
    bool IsFinite() const;

    // Moves the start sideways by Offset (+ right, - left of StartAzimuth).
    // ShiftStart moves a start derived for this computation. ShiftOwnStart
    // moves the start the element keeps of its own (unchained): the element
    // remembers the start it was given and the one it moved it to, and while
    // the start is still the one it moved it to, it moves the one given
    // again, so that a repeated computation does not move it further. A start
    // set anew (a file read, the host) is a start given.
    void ShiftStart();
    void ShiftOwnStart();

    bool operator==(const PlanElement&) const = default;

    // Stored input.
    std::int32_t Type = Straight;
    std::int32_t Turn = 0;     // +1 turns right; any other value turns left
    double Offset = 0.0;       // sideways shift of the start by ComputeElements; + right
    double LengthItem = 0.0;   // >= 0: chord; < 0: minus the length along the element
    double SpiralParam = 0.0;  // clothoid parameter A; when set it fixes a spiral's size
    double StartRadius = InfiniteRadius;
    double EndRadius = InfiniteRadius;
    double StartAzimuth = 0.0;
    QStation StartStation;
    double StartX = 0.0;
    double StartY = 0.0;

    // Derived by evaluation (the first group is stored as well).
    double EndAzimuth = 0.0;
    QStation EndStation;
    double EndX = 0.0;
    double EndY = 0.0;
    double TangentPointX = 0.0;  // intersection of the start and end tangents
    double TangentPointY = 0.0;
    double CentreX = 0.0;  // centre of curvature at the end, where finite
    double CentreY = 0.0;

    double Chord = 0.0;
    double Length = 0.0;
    double Tangent1 = 0.0;      // start -> tangent point
    double Tangent2 = 0.0;      // tangent point -> end
    double ChordAngle1 = 0.0;   // start tangent -> chord
    double ChordAngle2 = 0.0;   // chord -> end tangent
    double CentralAngle = 0.0;  // total change of direction
    double StartSpiralAngle = 0.0;
    double EndSpiralAngle = 0.0;

private:
    // The start an unchained element was given and the one its Offset moved
    // it to. Not stored, and no part of the element's value.
    struct OwnStart {
        double givenX = 0.0;
        double givenY = 0.0;
        double movedX = 0.0;
        double movedY = 0.0;
        bool known = false;
        bool operator==(const OwnStart&) const { return true; }
    };
    OwnStart m_ownStart;

    bool TurnsRight() const { return Turn == 1; }
    int EvaluateStraight();
    int EvaluateArc();
    int EvaluateSpiral();
    void SetZeroSize();
    // The radius Rc of a spiral whose parameter A gives it the length
    // A^2 / Rc: the finite radius, or R1 R2 / |R1 - R2| between two.
    double SpiralRc() const;
    // The point at a signed distance along the circle of the radius (a
    // straight for 9999) through (x, y) with the azimuth, turning as the
    // element turns.
    void ExtendAlong(double x, double y, double azimuth, double radius, double distance,
                     StationPoint& point) const;
};

// Reduces an azimuth the way the element computations do: 2 pi is subtracted
// while the value is at least 2 pi; negative values are left alone.
QDAT_API double ReduceAzimuth(double azimuth);

}  // namespace qdat
