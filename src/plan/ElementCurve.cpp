// Plan elements as curves by distance: the same geometry as the element's
// evaluation, with direction and curvature, and without the end snapping.
#include <qdat/plan/detail/ElementCurve.h>

#include <algorithm>
#include <cmath>

#include <qdat/plan/Clothoid.h>

namespace qdat {

namespace {

bool IsFinitePositiveRadius(double radius) {
    return radius > 0.0 && radius != InfiniteRadius && std::isfinite(radius);
}

ElementCurve::Sample Direction(double dx, double dy, double azimuth, double curvature) {
    ElementCurve::Sample p;
    p.dx = dx;
    p.dy = dy;
    p.azimuth = azimuth;
    p.cosAzimuth = std::cos(azimuth);
    p.sinAzimuth = std::sin(azimuth);
    p.curvature = curvature;
    return p;
}

}  // namespace

bool ElementCurve::Build(const PlanElement& element) {
    *this = ElementCurve();
    m_turn = element.Turn == 1 ? 1.0 : -1.0;
    m_length = element.EndStation.GetValue() - element.StartStation.GetValue();
    const double endDx = element.EndX - element.StartX;
    const double endDy = element.EndY - element.StartY;
    if (!std::isfinite(m_length) || m_length < 0.0 || !std::isfinite(element.StartAzimuth) ||
        !std::isfinite(element.EndAzimuth) || !std::isfinite(endDx) || !std::isfinite(endDy))
        return false;
    m_start = Direction(0.0, 0.0, element.StartAzimuth, 0.0);
    m_end = Direction(endDx, endDy, element.EndAzimuth, 0.0);

    switch (element.Type) {
        case PlanElement::Straight:
            m_shape = Shape::Straight;
            return true;
        case PlanElement::Arc:
            if (!IsFinitePositiveRadius(element.StartRadius)) return false;
            m_shape = Shape::Arc;
            m_startCurvature = m_endCurvature = m_turn / element.StartRadius;
            m_turning = m_length / element.StartRadius;
            break;
        default: {
            if (!PlanElement::IsSpiralType(element.Type)) return false;
            const double A = std::fabs(element.SpiralParam);
            const bool startInfinite = element.Type == PlanElement::SpiralIn;
            const bool endInfinite = element.Type == PlanElement::SpiralOut;
            if (!(A > 0.0) || !std::isfinite(A) ||
                (!startInfinite && !IsFinitePositiveRadius(element.StartRadius)) ||
                (!endInfinite && !IsFinitePositiveRadius(element.EndRadius)))
                return false;
            const double A2 = A * A;
            const double La = startInfinite ? 0.0 : A2 / element.StartRadius;
            const double Lb = endInfinite ? 0.0 : A2 / element.EndRadius;
            m_shape = Shape::Spiral;
            m_A = A;
            m_La = La;
            m_outwards = Lb > La;
            m_startCurvature = m_turn * La / A2;
            m_endCurvature = m_turn * Lb / A2;
            m_startTau = La * La / (2.0 * A2);
            const double endTau = Lb * Lb / (2.0 * A2);
            m_turning = std::fabs(endTau - m_startTau);
            // The series serves where every point of the element, by its
            // length as stationed, lies within its reach.
            const double farthest = m_outwards ? La + m_length : La;
            m_series = std::max(m_startTau, endTau) <= clothoid::kSeriesAngleLimit &&
                       farthest * farthest / (2.0 * A2) <= clothoid::kSeriesAngleLimit;
            if (m_series) {
                m_startPoint = clothoid::SeriesPoint(A, La);
                m_cosStartTau = std::cos(m_startTau);
                m_sinStartTau = std::sin(m_startTau);
            }
            break;
        }
    }
    // Sizes of a damaged file can make the turning overflow (a clothoid
    // parameter whose square is infinite turns by inf / inf) or pass what
    // any element is computed to; such an element has no curve to search on.
    if (!(m_turning <= clothoid::kMaxTurning)) return false;
    m_start.curvature = m_startCurvature;
    m_end.curvature = m_endCurvature;
    if (m_length == 0.0) m_shape = Shape::Straight;
    return true;
}

double ElementCurve::MaxCurvature(double a, double b) const {
    switch (m_shape) {
        case Shape::Straight:
            return 0.0;
        case Shape::Arc:
            return std::fabs(m_startCurvature);
        case Shape::Spiral:
        default: {
            // The curvature changes linearly along a clothoid.
            const double perMetre = (m_endCurvature - m_startCurvature) / m_length;
            return std::max(std::fabs(m_startCurvature + perMetre * a),
                            std::fabs(m_startCurvature + perMetre * b));
        }
    }
}

ElementCurve::Sample ElementCurve::Along(const Sample& from, double k, double distance) {
    if (k == 0.0) {
        Sample p = from;
        p.dx += distance * from.cosAzimuth;
        p.dy += distance * from.sinAzimuth;
        p.curvature = 0.0;
        return p;
    }
    // Along the chord, as the element's evaluation builds a partial arc. The
    // chord's direction and the new direction are the start's turned by half
    // the central angle and by all of it: one sine and cosine give both.
    const double radius = 1.0 / std::fabs(k);
    const double turn = k > 0.0 ? 1.0 : -1.0;
    const double phi = distance / radius;
    const double sinHalf = std::sin(0.5 * phi);
    const double cosHalf = std::cos(0.5 * phi);
    const double chord = 2.0 * radius * sinHalf;
    const double c = from.cosAzimuth;
    const double t = from.sinAzimuth;
    const double turnSinHalf = turn * sinHalf;
    Sample p;
    p.dx = from.dx + chord * (c * cosHalf - t * turnSinHalf);
    p.dy = from.dy + chord * (t * cosHalf + c * turnSinHalf);
    p.azimuth = from.azimuth + turn * phi;
    const double cosPhi = cosHalf * cosHalf - sinHalf * sinHalf;
    const double turnSinPhi = 2.0 * turnSinHalf * cosHalf;
    p.cosAzimuth = c * cosPhi - t * turnSinPhi;
    p.sinAzimuth = t * cosPhi + c * turnSinPhi;
    p.curvature = k;
    return p;
}

ElementCurve::Sample ElementCurve::At(double s) const {
    if (s < 0.0) return Along(m_start, m_startCurvature, s);
    if (s > m_length) return Along(m_end, m_endCurvature, s - m_length);
    return Interior(s);
}

ElementCurve::Sample ElementCurve::Interior(double s) const {
    if (s == 0.0) return m_start;
    switch (m_shape) {
        case Shape::Straight:
            return Along(m_start, 0.0, s);
        case Shape::Arc:
            return Along(m_start, m_startCurvature, s);
        case Shape::Spiral:
        default:
            return Spiral(s);
    }
}

ElementCurve::Sample ElementCurve::Spiral(double s) const {
    const double L = m_outwards ? m_La + s : std::max(m_La - s, 0.0);
    const double A2 = m_A * m_A;
    const double curvature = m_turn * L / A2;
    // The end of the piece from the start, of its own length, in the frame
    // of the start tangent (y towards the inside). Where the whole element
    // lies within the series' reach, the difference of two series points,
    // turned by the spiral angle at the start: exact to a few units of
    // rounding of the arc lengths, without the quadrature's sines.
    clothoid::LocalPoint end;
    if (m_series) {
        const clothoid::LocalPoint b = clothoid::SeriesPoint(m_A, L);
        const double dx = m_outwards ? b.x - m_startPoint.x : m_startPoint.x - b.x;
        const double dy = m_outwards ? b.y - m_startPoint.y : m_startPoint.y - b.y;
        const double c = m_cosStartTau;
        const double t = m_sinStartTau;
        end = m_outwards ? clothoid::LocalPoint{dx * c + dy * t, dy * c - dx * t}
                         : clothoid::LocalPoint{dx * c + dy * t, dx * t - dy * c};
    } else {
        end = clothoid::IntegratedPieceEnd(m_A, m_La, s, m_outwards);
    }
    // The central angle as the element's evaluation takes it: the length
    // times the mean curvature.
    const double centralAngle = s * (m_La + L) / (2.0 * A2);
    const double c = m_start.cosAzimuth;
    const double t = m_start.sinAzimuth;
    return Direction(c * end.x - m_turn * t * end.y, t * end.x + m_turn * c * end.y,
                     m_start.azimuth + m_turn * centralAngle, curvature);
}

}  // namespace qdat
