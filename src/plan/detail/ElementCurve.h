// ElementCurve: one evaluated plan element as a curve parametrised by the
// distance along it, with the direction and curvature at every point: what
// the search for the station and offset of a point solves on, and what the
// point at a station and offset is taken from.
//
// Coordinates are relative to the element's start, so that points of an
// element far from the grid's origin keep their precision. The curvature is
// signed: positive where the centre line turns right (the azimuth grows).
#pragma once

#include <qdat/plan/Clothoid.h>
#include <qdat/plan/PlanElement.h>

namespace qdat {

class ElementCurve {
public:
    struct Sample {
        double dx = 0.0;  // position relative to the element's start
        double dy = 0.0;
        double azimuth = 0.0;  // not reduced
        double cosAzimuth = 1.0;
        double sinAzimuth = 0.0;
        double curvature = 0.0;  // signed, + turning right
    };

    // The geometry of an evaluated element; false (and nothing usable) for
    // an element without a valid type, with sizes or coordinates that are
    // not finite, or turning by more than an element is ever computed to
    // (clothoid::kMaxTurning).
    bool Build(const PlanElement& element);

    enum class Shape { Straight, Arc, Spiral };
    // A zero-length element is a straight.
    Shape GetShape() const { return m_shape; }
    double GetLength() const { return m_length; }
    // The largest magnitude of the curvature between distances a and b.
    double MaxCurvature(double a, double b) const;
    // The whole change of direction, in radians (>= 0).
    double GetTurning() const { return m_turning; }

    // The point at distance s from the start. Within [0, length] this is the
    // element's own geometry (a straight, an arc or a clothoid, the clothoid
    // by the same series or integration as the element's evaluation);
    // before the start and past the end the element goes on as the circle
    // (or straight) of the radius at that end, as the element does. Unlike
    // PlanElement::PointAtStation, points near the ends are not snapped to
    // them: the curve is continuous, which the search needs.
    Sample At(double s) const;

private:
    Sample Interior(double s) const;
    Sample Spiral(double s) const;
    // The point a signed distance along the circle of signed curvature k
    // (a straight for 0) from the sample `from`.
    static Sample Along(const Sample& from, double k, double distance);

    Shape m_shape = Shape::Straight;
    double m_length = 0.0;
    double m_turning = 0.0;
    double m_turn = 1.0;  // +1 turning right, -1 left
    Sample m_start;
    Sample m_end;  // the element's stored end, relative to its start
    double m_startCurvature = 0.0;
    double m_endCurvature = 0.0;

    // Spirals: the clothoid parameter, the arc length from the clothoid's
    // origin at the start, whether travel goes away from the origin
    // (tightening), and the series point and spiral angle at the start.
    double m_A = 0.0;
    double m_La = 0.0;
    bool m_outwards = true;
    double m_startTau = 0.0;
    // Whether the whole element lies within the series' reach
    // (clothoid::kSeriesAngleLimit); then the series point at the start and
    // the cosine and sine of the spiral angle there.
    bool m_series = false;
    clothoid::LocalPoint m_startPoint;
    double m_cosStartTau = 1.0;
    double m_sinStartTau = 0.0;
};

}  // namespace qdat
