// Clothoid geometry: local coordinates of points on a clothoid, the shape of a
// piece of a clothoid between two radii, and the clothoid parameter that gives
// a piece a wanted chord.
//
// Conventions: lengths in metres, angles in radians. A clothoid with parameter
// A has curvature L / A^2 at the arc length L from its origin (where the radius
// is infinite); its local frame has x along the tangent at the origin and y to
// the inside of the curve. The spiral angle at L is tau = L^2 / (2 A^2), and
// the point where the radius is R lies at L = A^2 / R.
#pragma once

#include <qdat/host/Context.h>
#include <qdat/host/Export.h>

namespace qdat {

// Convergence tolerance of the clothoid series (metres) and of the chord
// search (units of A). A setting of the current context (host/Context.h), read
// and changed by the host; initially 0.0001.
inline double GetGeometryTolerance() {
    return Context::Current().geometryTolerance;
}
inline void SetGeometryTolerance(double tolerance) {
    Context::Current().geometryTolerance = tolerance;
}

namespace clothoid {

struct QDAT_API LocalPoint {
    double x = 0.0;  // along the tangent at the origin
    double y = 0.0;  // towards the inside of the curve
};

// The point at arc length L from the origin of the clothoid with parameter
// A > 0, by the Fresnel series in tau = L^2 / (2 A^2):
//   x = L (1 - tau^2/(5*2!) + tau^4/(9*4!) - ...),
//   y = L (tau/3 - tau^3/(7*3!) + tau^5/(11*5!) - ...).
// Terms are added in pairs while the last one, times L, is at least
// GeometryTolerance or, up to the factorial order 20, at least one unit of
// double rounding; the order never exceeds 200. When L tau / 3 is within
// GeometryTolerance, y is that first term alone. Up to a spiral angle of 2
// the order 20 is never reached and the result is exact to a few units of
// rounding of L; beyond it the terms of higher order stop at
// GeometryTolerance, so the error may approach GeometryTolerance.
QDAT_API LocalPoint SeriesPoint(double A, double L);

// The same point by composite Gauss-Legendre quadrature of cos and sin of
// t^2 / (2 A^2); exact to rounding at any spiral angle, slower.
QDAT_API LocalPoint QuadraturePoint(double A, double L);

// The most an element may turn, as its greatest curvature times its length
// (radians; about 160 full turns, far beyond any road element). Pieces up to
// it are integrated to full accuracy; an element beyond it is not computed,
// as its result would carry no accuracy at all.
inline constexpr double kMaxTurning = 1000.0;

// Spiral angle (radians) up to which Piece takes its end points from the
// series, whose error there stays below 1e-14 L (with the default tolerance).
inline constexpr double kSeriesAngleLimit = 2.0;

// The shape of the piece of a clothoid that starts at arc length La >= 0 from
// the origin and runs the length h >= 0 outwards (away from the origin, the
// curve tightening) or inwards (towards it, the curve loosening, h <= La).
// Either way the piece turns to one side only, and these are the magnitudes
// of its geometry.
struct QDAT_API PieceShape {
    double chord = 0.0;         // distance start -> end
    double chordAngle1 = 0.0;   // from the start tangent to the chord
    double centralAngle = 0.0;  // total change of direction, |tau(Lb) - tau(La)|
    double ChordAngle2() const { return centralAngle - chordAngle1; }
};

// The length h is taken as given, never as the difference of two arc lengths
// from the origin, and the central angle is h times the mean curvature, so
// that a short piece far out on its clothoid (a spiral between two nearly
// equal radii) keeps the accuracy of a piece near the origin. Its end points
// come from the series when both spiral angles are at most kSeriesAngleLimit
// and the piece lies within its own length of the origin, where the
// difference of two series points loses at most a few units of rounding of
// h; otherwise (tightly wound clothoids, pieces far out) the piece itself is
// integrated. Points are then exact to a few units of rounding of h.
QDAT_API PieceShape Piece(double A, double La, double h, bool outwards);

// The end point of the same piece in the frame of its start tangent (x along
// it, y towards the inside of the curve), integrated as Piece integrates.
QDAT_API LocalPoint IntegratedPieceEnd(double A, double La, double h, bool outwards);

// The clothoid parameter A for which the piece between the curvatures k1 and
// k2 (1/R, 0 for an infinite radius) has the wanted chord: a section search on
// [20, 999] that tries A = 0.381966 low + 0.618034 high, raises low when the
// wanted chord is longer than the chord tried and lowers high otherwise, and
// stops when high - low < GeometryTolerance or after 2000 steps. Returns the
// last A tried.
QDAT_API double ParameterFromChord(double chord, double k1, double k2);

}  // namespace clothoid
}  // namespace qdat
