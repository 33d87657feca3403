// The station and offset of a point: a box hierarchy over the elements finds
// the candidates nearest first, and each candidate is solved on its own
// geometry (straights and arcs in closed form, clothoids by safeguarded Newton
// steps on the foot-point condition).
#include <qdat/plan/AlignmentProjection.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <numbers>
#include <vector>

#include <qdat/plan/detail/ElementCurve.h>

namespace qdat {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Distances that differ by no more than this are a tie, won by the lower
// station: far below any survey, far above the rounding of coordinates of a
// national grid.
constexpr double kTie = 1e-8;
// A point square to an end of the alignment within this is not beyond it.
constexpr double kBeyondTolerance = 1e-9;
// Boxes are built from points at most this far apart in direction, and the
// clothoids are searched in pieces turning at most a quarter circle, over
// which a point has at most two foot points (a nearest and a farthest).
constexpr double kBoxTurn = 0.25;
constexpr double kPieceTurn = 0.5 * std::numbers::pi;
constexpr int kMaxBoxSamples = 256;
// A clothoid piece is not split below this length (metres): two foot points
// closer than this differ in distance by far less than the tie.
constexpr double kMinPiece = 1e-7;
constexpr int kMaxNewtonSteps = 100;

// The grid of cells: a cell is as wide as the middle one of the elements'
// boxes (its longer side), and the grid covers the ground within kGridReach
// cell widths of the centre line, doubling the width where that would take
// more than kMaxGridCells cells per element. A cell lists at most
// kMaxCellElements elements: a point in a cell that would need more, or out
// of the grid's reach, is located through the hierarchy.
constexpr double kGridReach = 3.0;
constexpr int kMaxCellElements = 16;
constexpr double kMaxGridCells = 96.0;
// Columns and rows are counted from the grid's first in 16 bits, short of the
// mark of an empty entry of its table.
constexpr double kMaxGridSpan = 0xfff0;
// Building the grid costs about as much as ten locates per element through
// the hierarchy: it is built once the hierarchy has served this many, so that
// a few locates never pay for it and many never wait long for it.
constexpr long long kLocatesBeforeGrid = 16;

// A coordinate of a box edge as a float, rounded outwards: not above the
// value for a lower edge, not below it for an upper one (and unbounded for a
// value no float can hold or no number at all).
float FloatBelow(double v) {
    if (!(v >= -std::numeric_limits<float>::max())) return -std::numeric_limits<float>::infinity();
    if (v > std::numeric_limits<float>::max()) return std::numeric_limits<float>::max();
    const float f = static_cast<float>(v);
    return static_cast<double>(f) > v ? std::nextafter(f, -std::numeric_limits<float>::infinity()) : f;
}
float FloatAbove(double v) {
    if (!(v <= std::numeric_limits<float>::max())) return std::numeric_limits<float>::infinity();
    if (v < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::max();
    const float f = static_cast<float>(v);
    return static_cast<double>(f) < v ? std::nextafter(f, std::numeric_limits<float>::infinity()) : f;
}

double NormalAzimuth(double azimuth) {
    if (azimuth >= 0.0 && azimuth < kTwoPi) return azimuth;
    double a = std::fmod(azimuth, kTwoPi);
    if (a < 0.0) a += kTwoPi;
    return a >= kTwoPi ? 0.0 : a;
}

// The point (px, py), relative to the element's start, seen from a sample of
// the centre line: along its tangent, and square to it (+ right).
double Along(const ElementCurve::Sample& c, double px, double py) {
    return (px - c.dx) * c.cosAzimuth + (py - c.dy) * c.sinAzimuth;
}
double Across(const ElementCurve::Sample& c, double px, double py) {
    return (py - c.dy) * c.cosAzimuth - (px - c.dx) * c.sinAzimuth;
}
double Distance(const ElementCurve::Sample& c, double px, double py) {
    const double dx = px - c.dx;
    const double dy = py - c.dy;
    return std::sqrt(dx * dx + dy * dy);
}

// The sample a short distance t (at most 1e-5 m) on along a clothoid whose
// curvature changes by kp per metre, for a turn k t + kp t^2 / 2 small enough
// (about 1e-6) that its sine and cosine are their first terms to rounding.
ElementCurve::Sample Advanced(const ElementCurve::Sample& c, double t, double kp) {
    const double half = 0.5 * c.curvature * t;  // half the turn of the osculating circle
    const double turn = t * (c.curvature + 0.5 * kp * t);
    const double cosTurn = 1.0 - 0.5 * turn * turn;
    ElementCurve::Sample next;
    next.dx = c.dx + t * (c.cosAzimuth - half * c.sinAzimuth);
    next.dy = c.dy + t * (c.sinAzimuth + half * c.cosAzimuth);
    next.azimuth = c.azimuth + turn;
    next.cosAzimuth = c.cosAzimuth * cosTurn - c.sinAzimuth * turn;
    next.sinAzimuth = c.sinAzimuth * cosTurn + c.cosAzimuth * turn;
    next.curvature = c.curvature + kp * t;
    return next;
}

}  // namespace

struct AlignmentProjection::Slot {
    ElementCurve curve;
    int index = -1;
    double startStation = 0.0;
    double endStation = 0.0;
    double startX = 0.0;
    double startY = 0.0;
    // The end of the curve, which every search of the element looks at.
    ElementCurve::Sample end;
};

// The chord of an element, from its start to its end, kept apart from its
// slot so that the chords of all elements lie close together.
struct AlignmentProjection::Chord {
    double startX = 0.0;
    double startY = 0.0;
    double dx = 0.0;
    double dy = 0.0;
    double perLengthSquared = 0.0;  // 1 / (dx^2 + dy^2), 0 for no length
    // Every point of the curve lies within pad of the chord, and projects
    // onto the chord between its ends (so that every point of the chord lies
    // within pad of the curve too); infinite where the element turns too far
    // for that.
    double pad = std::numeric_limits<double>::infinity();
    // Nothing of the element is nearer to (x, y) than this.
    double LowerBound(double x, double y) const;
    // The distance of a point (relative to the start) from the chord.
    double SegmentDistance(double px, double py) const;
};

// A cell of the grid, by its column and row (counted from the grid's first),
// with its elements: a run of slots, as the elements of one stretch of road
// near a cell follow each other.
struct AlignmentProjection::GridCell {
    static constexpr std::uint32_t kEmpty = 0xffffffffu;
    std::uint32_t place = kEmpty;  // column << 16 | row; kEmpty: no cell
    std::uint32_t slots = 0;       // first slot << 4 | (count - 1)
};

struct AlignmentProjection::Grid {
    double perCell = 0.0;  // 1 / the width of a cell
    // The first column and row, in cells from the origin.
    double column0 = 0.0;
    double row0 = 0.0;
    // The cells in a table of open addressing, a power of two long and at
    // most half full: small, for a lookup that mostly waits on memory.
    std::vector<GridCell> cells;

    static std::size_t Hash(std::uint32_t place) {
        return static_cast<std::size_t>((place * 0x9E3779B97F4A7C15ull) >> 32);
    }
    const GridCell* Find(std::uint32_t place) const {
        const std::size_t mask = cells.size() - 1;
        for (std::size_t at = Hash(place) & mask;; at = (at + 1) & mask) {
            const GridCell& cell = cells[at];
            if (cell.place == place) return &cell;
            if (cell.place == GridCell::kEmpty) return nullptr;
        }
    }
};

struct AlignmentProjection::Candidate {
    int slot = -1;
    double s = 0.0;
    double distance = std::numeric_limits<double>::infinity();
    double station = 0.0;
    int index = -1;
    // The curve's sample at s, when the search had it.
    ElementCurve::Sample sample;
    bool hasSample = false;
    // Whether a point at this distance could still win: not farther than the
    // best by more than a tie.
    bool Reachable(double lowerBound) const { return slot < 0 || lowerBound <= distance + kTie; }
    // The same for the square of a lower bound (infinite reach before the
    // first point is found).
    bool ReachableSquared(double lowerBoundSquared) const {
        const double reach = distance + kTie;
        return lowerBoundSquared <= reach * reach;
    }
};

// A piece [a, b] of a clothoid with the centre line's samples at its ends, the
// foot-point function g (the point's distance along the tangent) there and
// the point's distance from them. Where g falls through zero the distance has
// a local minimum.
struct AlignmentProjection::Interval {
    double a, b;
    ElementCurve::Sample sa, sb;
    double ga, gb, da, db;
};

double AlignmentProjection::Chord::LowerBound(double x, double y) const {
    if (!(pad < std::numeric_limits<double>::infinity())) return 0.0;
    return SegmentDistance(x - startX, y - startY) - pad;
}

double AlignmentProjection::Chord::SegmentDistance(double px, double py) const {
    // (A t off by rounding gives a point of the chord a hair from the
    // nearest, far inside the micrometre of the pad.)
    const double t = std::clamp((px * dx + py * dy) * perLengthSquared, 0.0, 1.0);
    const double ox = px - t * dx;
    const double oy = py - t * dy;
    return std::sqrt(ox * ox + oy * oy);
}

inline double AlignmentProjection::Box::DistanceSquared(double x, double y) const {
    const double dx = std::max(std::max(minX - x, x - maxX), 0.0);
    const double dy = std::max(std::max(minY - y, y - maxY), 0.0);
    return dx * dx + dy * dy;
}

AlignmentProjection::AlignmentProjection(const PlanElement* elements, int count) : m_count(count) {
    for (int i = 0; i < count; ++i) {
        const PlanElement& element = elements[i];
        Slot slot;
        if (!std::isfinite(element.StartX) || !std::isfinite(element.StartY) ||
            !std::isfinite(element.StartStation.GetValue()) || !slot.curve.Build(element)) {
            if (m_leftOut < 0) m_leftOut = i;
            continue;
        }
        slot.index = i;
        slot.startStation = element.StartStation.GetValue();
        slot.endStation = element.EndStation.GetValue();
        slot.startX = element.StartX;
        slot.startY = element.StartY;
        const double length = slot.curve.GetLength();
        slot.end = slot.curve.At(length);
        // With the direction turning by T < pi/2 in all, it stays within T of
        // the chord's, so points advance along the chord; and where it runs
        // parallel to the chord, t0, the sine of the angle to the chord at t
        // is at most k |t - t0| for the greatest curvature k, so the distance
        // from the chord, the integral of that sine from the nearer end, is at
        // most k L^2 / 4.
        Chord chord{slot.startX, slot.startY, slot.end.dx, slot.end.dy};
        const double chordSquared = chord.dx * chord.dx + chord.dy * chord.dy;
        chord.perLengthSquared = chordSquared > 0.0 ? 1.0 / chordSquared : 0.0;
        if (slot.curve.GetTurning() < 1.5) {
            // Tighter: the farthest of points along the curve from the chord's
            // line, and how far the curve can stray from the straight lines
            // between them (k h^2 / 8 over a length h).
            constexpr int kPadSamples = 8;
            const double h = length / kPadSamples;
            const double chordLength = std::sqrt(chordSquared);
            double farthest = 0.0;
            for (int i = 1; i < kPadSamples && chordLength > 0.0; ++i) {
                const ElementCurve::Sample p = slot.curve.At(h * i);
                farthest = std::max(farthest, std::fabs(p.dx * chord.dy - p.dy * chord.dx) / chordLength);
            }
            const double k = slot.curve.MaxCurvature(0.0, length);
            chord.pad = std::min(0.25 * k * length * length, farthest + 0.125 * k * h * h) + 1e-6;
        }
        m_slots.push_back(slot);
        m_chords.push_back(chord);
    }
    if (m_slots.empty()) return;
    m_originX = m_slots.front().startX;
    m_originY = m_slots.front().startY;
    m_branches.reserve(m_slots.size() / (kFan - 1) + 1);
    m_root = BuildNode(0, static_cast<int>(m_slots.size()), m_rootBox);
}

AlignmentProjection::~AlignmentProjection() {
    delete m_grid.load();
}

int AlignmentProjection::BuildNode(int from, int to, Box& box) {
    if (to - from == 1) {
        // The box of points along the element, padded by how far the curve
        // can stray from the chords between them (an arc of curvature k over
        // a chord of length h rises at most k h^2 / 8 above it).
        const Slot& slot = m_slots[static_cast<std::size_t>(from)];
        const ElementCurve& curve = slot.curve;
        const double length = curve.GetLength();
        const int samples =
            std::clamp(static_cast<int>(std::ceil(curve.GetTurning() / kBoxTurn)), 1, kMaxBoxSamples);
        const double h = length / samples;
        Box own{0.0, 0.0, 0.0, 0.0};
        for (int k = 1; k <= samples; ++k) {
            const ElementCurve::Sample p = curve.At(k == samples ? length : h * k);
            own.minX = std::min(own.minX, p.dx);
            own.minY = std::min(own.minY, p.dy);
            own.maxX = std::max(own.maxX, p.dx);
            own.maxY = std::max(own.maxY, p.dy);
        }
        const double pad = 0.25 * curve.MaxCurvature(0.0, length) * h * h + 1e-6;
        box = {slot.startX + own.minX - pad, slot.startY + own.minY - pad, slot.startX + own.maxX + pad,
               slot.startY + own.maxY + pad};
        return ~from;
    }
    const int at = static_cast<int>(m_branches.size());
    m_branches.push_back({});
    // Up to kFan children over equal shares of the range.
    Branch branch{};
    const int count = to - from;
    const int children = std::min(kFan, count);
    box = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
           -std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (int c = 0; c < children; ++c) {
        const int childFrom = from + static_cast<int>(static_cast<long long>(count) * c / children);
        const int childTo = from + static_cast<int>(static_cast<long long>(count) * (c + 1) / children);
        Box childBox;
        branch.child[c] = BuildNode(childFrom, childTo, childBox);
        branch.minX[c] = FloatBelow(childBox.minX - m_originX);
        branch.minY[c] = FloatBelow(childBox.minY - m_originY);
        branch.maxX[c] = FloatAbove(childBox.maxX - m_originX);
        branch.maxY[c] = FloatAbove(childBox.maxY - m_originY);
        box = {std::min(box.minX, childBox.minX), std::min(box.minY, childBox.minY),
               std::max(box.maxX, childBox.maxX), std::max(box.maxY, childBox.maxY)};
    }
    branch.count = children;
    m_branches[static_cast<std::size_t>(at)] = branch;
    return at;
}

void AlignmentProjection::Consider(int slotIndex, double s, double px, double py, Candidate& best) const {
    const ElementCurve::Sample at = m_slots[static_cast<std::size_t>(slotIndex)].curve.At(s);
    Consider(slotIndex, s, at, px, py, best);
}

template <class Sample>
void AlignmentProjection::Consider(int slotIndex, double s, const Sample& at, double px, double py,
                                   Candidate& best) const {
    const Slot& slot = m_slots[static_cast<std::size_t>(slotIndex)];
    const double length = slot.curve.GetLength();
    const double distance = Distance(at, px, py);
    const double station =
        s <= 0.0 ? slot.startStation : (s >= length ? slot.endStation : slot.startStation + s);
    bool better = best.slot < 0 || distance < best.distance - kTie;
    if (!better && distance <= best.distance + kTie)
        better = station < best.station || (station == best.station && slot.index < best.index);
    if (!better) return;
    best.slot = slotIndex;
    best.s = std::clamp(s, 0.0, length);
    // The sample stands for the point of best.s unless s was clamped.
    best.hasSample = best.s == s;
    if (best.hasSample) best.sample = at;
    best.distance = distance;
    best.station = station;
    best.index = slot.index;
}

void AlignmentProjection::SolveElement(int slotIndex, double x, double y, Candidate& best) const {
    const Slot& slot = m_slots[static_cast<std::size_t>(slotIndex)];
    const ElementCurve& curve = slot.curve;
    const double px = x - slot.startX;
    const double py = y - slot.startY;
    const double length = curve.GetLength();
    const ElementCurve::Sample start = curve.At(0.0);
    Consider(slotIndex, 0.0, start, px, py, best);
    if (length == 0.0) return;

    if (curve.GetShape() == ElementCurve::Shape::Straight) {
        // A straight: the foot of the perpendicular.
        Consider(slotIndex, std::clamp(Along(start, px, py), 0.0, length), px, py, best);
        Consider(slotIndex, length, slot.end, px, py, best);
        return;
    }
    if (curve.GetShape() == ElementCurve::Shape::Arc) {
        // An arc: the point's direction from the centre. Its angle from the
        // start, in the direction of travel, taken within half a turn of the
        // arc's middle; the nearest point when it falls on the arc, else an
        // end is.
        const double radius = 1.0 / std::fabs(start.curvature);
        const double turn = start.curvature > 0.0 ? 1.0 : -1.0;
        const double cx = -turn * radius * start.sinAzimuth;
        const double cy = turn * radius * start.cosAzimuth;
        const double ux = -cx;
        const double uy = -cy;
        const double wx = px - cx;
        const double wy = py - cy;
        const double middle = 0.5 * length / radius;
        double theta = turn * std::atan2(ux * wy - uy * wx, ux * wx + uy * wy);
        if (std::fabs(theta - middle) > std::numbers::pi)
            theta = middle + std::remainder(theta - middle, kTwoPi);
        const double w = std::sqrt(wx * wx + wy * wy);
        if (theta >= 0.0 && theta * radius <= length && w > 0.0) {
            // The foot is where the point's direction from the centre meets
            // the arc, the direction of travel square to it.
            ElementCurve::Sample foot = start;
            foot.dx = cx + radius * wx / w;
            foot.dy = cy + radius * wy / w;
            foot.azimuth = start.azimuth + turn * theta;
            foot.cosAzimuth = -turn * wy / w;
            foot.sinAzimuth = turn * wx / w;
            Consider(slotIndex, theta * radius, foot, px, py, best);
        }
        Consider(slotIndex, length, slot.end, px, py, best);
        return;
    }
    Consider(slotIndex, length, slot.end, px, py, best);
    SolveSpiral(slotIndex, px, py, best);
}

void AlignmentProjection::SolveSpiral(int slotIndex, double px, double py, Candidate& best) const {
    const Slot& slot = m_slots[static_cast<std::size_t>(slotIndex)];
    const ElementCurve& curve = slot.curve;
    const double length = curve.GetLength();
    const auto makeInterval = [&](double a, double b, const ElementCurve::Sample& sa,
                                  const ElementCurve::Sample& sb) {
        return Interval{
            a, b, sa, sb, Along(sa, px, py), Along(sb, px, py), Distance(sa, px, py), Distance(sb, px, py)};
    };

    // Depth-first over pieces: each split leaves one half waiting, and
    // pieces are not split below kMinPiece, so the stack stays shallow above
    // the first pieces. An element turns by at most clothoid::kMaxTurning
    // (ElementCurve), so that there are at most 637 of them.
    const int pieces = std::max(1, static_cast<int>(std::ceil(curve.GetTurning() / kPieceTurn)));
    const std::size_t stackSize = static_cast<std::size_t>(pieces) + 64;
    // Room on the stack for the pieces of a road's spirals (one to four
    // start pieces), left uninitialised: a search solves many spirals, and
    // allocating and clearing the room each time cost as much as the search.
    constexpr std::size_t kInlineIntervals = 72;
    alignas(Interval) unsigned char inlineRoom[kInlineIntervals * sizeof(Interval)];
    std::vector<Interval> heapRoom;
    Interval* stack = reinterpret_cast<Interval*>(inlineRoom);
    if (stackSize > kInlineIntervals) {
        heapRoom.resize(stackSize);
        stack = heapRoom.data();
    }
    const auto push = [&](std::size_t at, const Interval& interval) {
        std::construct_at(stack + at, interval);
    };
    std::size_t top = 0;
    {
        ElementCurve::Sample next = slot.end;
        for (int i = pieces; i >= 1; --i) {
            const double a = i == 1 ? 0.0 : length * (i - 1) / pieces;
            const double b = i == pieces ? length : length * i / pieces;
            const ElementCurve::Sample sa = curve.At(a);
            push(top++, makeInterval(a, b, sa, next));
            next = sa;
        }
    }

    while (top > 0) {
        const Interval piece = stack[--top];
        const double w = piece.b - piece.a;
        // Nothing in the piece is nearer than this: points along it are no
        // farther apart than the length between them.
        if (!best.Reachable(0.5 * (piece.da + piece.db - w))) continue;
        if (piece.ga > 0.0 && piece.gb <= 0.0) {
            // One nearest foot point. Each step goes to the foot point on a
            // circle through the last sample with the curve's direction there
            // (of which a Newton step on g, whose derivative is
            // -1 + curvature * offset, is the first-order form). Its
            // curvature is the clothoid's mean curvature over the step, so
            // that the circle turns by as much as the clothoid: the curvature
            // changes by kp per metre, the same all along a clothoid. A
            // bisection step where the step would leave the bracket; the
            // first step from the end nearer to the foot.
            const double kp = (piece.sb.curvature - piece.sa.curvature) / w;
            // From a sample with the point `across` off it and `g` along.
            const auto circleStep = [](double g, double across, double k) {
                const double d = 1.0 - k * across;
                if (!(d > 0.0)) return std::numeric_limits<double>::quiet_NaN();
                // The angle atan(u) / k, in a piece mostly small: its series
                // to the seventh power is exact to rounding below 0.01, to the
                // fifteenth below 0.1 (summed in pairs of terms, which
                // shortens the chain of dependent operations).
                const double u = g * k / d;
                const double u2 = u * u;
                constexpr double c3 = 1.0 / 3, c5 = 1.0 / 5, c7 = 1.0 / 7, c9 = 1.0 / 9, c11 = 1.0 / 11,
                                 c13 = 1.0 / 13, c15 = 1.0 / 15;
                if (u2 < 1e-4) return g / d * (1.0 - u2 * (c3 - u2 * (c5 - u2 * c7)));
                if (u2 < 1e-2) {
                    const double u4 = u2 * u2;
                    const double low = (1.0 - u2 * c3) + u4 * (c5 - u2 * c7);
                    const double high = (c9 - u2 * c11) + u4 * (c13 - u2 * c15);
                    return g / d * (low + u4 * u4 * high);
                }
                return std::atan2(g * k, d) / k;
            };
            const auto footStep = [&](const ElementCurve::Sample& c, double g, double across) {
                // The first-order step is near enough to take the mean
                // curvature over it.
                const double first = g / (1.0 - c.curvature * across);
                const double mean = circleStep(g, across, c.curvature + 0.5 * kp * first);
                return std::isfinite(mean) ? mean : circleStep(g, across, c.curvature);
            };
            double lo = piece.a;
            double hi = piece.b;
            double s = piece.a + w * piece.ga / (piece.ga - piece.gb);
            const double guess = std::fabs(piece.ga) <= std::fabs(piece.gb)
                                     ? piece.a + footStep(piece.sa, piece.ga, Across(piece.sa, px, py))
                                     : piece.b + footStep(piece.sb, piece.gb, Across(piece.sb, px, py));
            if (guess > lo && guess < hi) s = guess;
            ElementCurve::Sample c;
            bool sampled = false;  // whether c is the sample at s
            for (int step = 0; step < kMaxNewtonSteps; ++step) {
                c = curve.At(s);
                sampled = true;
                const double g = Along(c, px, py);
                if (g > 0.0)
                    lo = s;
                else if (g < 0.0)
                    hi = s;
                else
                    break;
                // Converged: s is the foot point to rounding. A step that
                // small is taken as convergence before it is checked against
                // the bracket: added to s it may round to s itself, which
                // would otherwise send the search off bisecting.
                const double converged = 1e-13 * (1.0 + std::fabs(s));
                const double across = Across(c, px, py);
                const double foot = footStep(c, g, across);
                if (std::fabs(foot) <= converged) break;
                double next = s + foot;
                if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
                if (std::fabs(next - s) <= converged || hi - lo <= converged) break;
                // A step so short that even the osculating circle, which
                // turns away from the clothoid by kp t^2 / 2 over it, would
                // meet the foot to rounding, and that the clothoid's point
                // after it follows from the sample to rounding: the step is
                // the foot, without evaluating the curve once more.
                if (next == s + foot && std::fabs(foot) <= 1e-5 && std::fabs(c.curvature * foot) <= 1e-6 &&
                    std::fabs(across * kp) * foot * foot <= 2.0 * (1.0 - c.curvature * across) * converged) {
                    c = Advanced(c, foot, kp);
                    s = next;
                    break;
                }
                s = next;
                sampled = false;
            }
            if (sampled)
                Consider(slotIndex, s, c, px, py, best);
            else
                Consider(slotIndex, s, px, py, best);
            continue;
        }
        if (piece.ga <= 0.0 && piece.gb > 0.0) continue;  // a farthest point only

        // g has the same sign at both ends: two foot points or none. g can
        // fall no faster than `down` and rise no faster than `up` per metre;
        // when the envelopes from both ends keep it off zero there is none.
        const double k = curve.MaxCurvature(piece.a, piece.b);
        const double reach = 0.5 * (piece.da + piece.db + w);
        const double down = 1.0 + k * reach;
        const double up = std::max(0.0, k * reach - 1.0);
        bool rootFree = false;
        if (piece.ga > 0.0) {
            // Lower envelope max(ga - down t, gb - up (w - t)).
            const double t = (piece.ga - piece.gb + up * w) / (down + up);
            rootFree = up == 0.0 || t <= 0.0 || t >= w || piece.ga - down * t > 0.0;
        } else {
            // Upper envelope min(ga + up t, gb + down (w - t)).
            const double t = (piece.gb - piece.ga + down * w) / (up + down);
            rootFree = t <= 0.0 || t >= w || piece.ga + up * t < 0.0;
        }
        if (rootFree) continue;
        const double m = 0.5 * (piece.a + piece.b);
        const ElementCurve::Sample sm = curve.At(m);
        if (w < 2.0 * kMinPiece || top + 2 > stackSize) {
            Consider(slotIndex, m, px, py, best);
            continue;
        }
        push(top++, makeInterval(m, piece.b, sm, piece.sb));
        push(top++, makeInterval(piece.a, m, piece.sa, sm));
    }
}

const AlignmentProjection::Grid* AlignmentProjection::GridForNextLocate() const {
    const Grid* grid = m_grid.load(std::memory_order_acquire);
    if (grid || m_gridTaken.load(std::memory_order_relaxed)) return grid;
    const long long worth = kLocatesBeforeGrid * static_cast<long long>(m_slots.size()) + 64;
    if (m_locatesBeforeGrid.fetch_add(1, std::memory_order_relaxed) + 1 < worth) return nullptr;
    // One thread builds it; the others go on through the hierarchy meanwhile.
    if (m_gridTaken.exchange(true, std::memory_order_acq_rel)) return m_grid.load(std::memory_order_acquire);
    try {
        BuildGrid();
    } catch (const std::bad_alloc&) {
        // Without the grid every locate goes through the hierarchy, as before.
    }
    return m_grid.load(std::memory_order_acquire);
}

void AlignmentProjection::BuildGrid() const {
    if (m_branches.empty()) return;  // one element: nothing to walk
    // The elements' boxes relative to the origin, as their parents hold them.
    std::vector<Box> boxes(m_slots.size());
    for (const Branch& branch : m_branches) {
        for (int c = 0; c < branch.count; ++c) {
            if (branch.child[c] < 0)
                boxes[static_cast<std::size_t>(~branch.child[c])] = {branch.minX[c], branch.minY[c],
                                                                     branch.maxX[c], branch.maxY[c]};
        }
    }
    std::vector<double> sides;
    sides.reserve(boxes.size());
    double extent = 0.0;
    for (const Box& box : boxes) {
        const double side = std::max(box.maxX - box.minX, box.maxY - box.minY);
        if (!std::isfinite(side)) return;
        sides.push_back(side);
        extent = std::max(
            {extent, std::fabs(box.minX), std::fabs(box.maxX), std::fabs(box.minY), std::fabs(box.maxY)});
    }
    std::nth_element(sides.begin(), sides.begin() + static_cast<std::ptrdiff_t>(sides.size() / 2),
                     sides.end());
    // Never so narrow that the doublings below take long to meet the grid's
    // limits.
    double size = std::max(sides[sides.size() / 2], extent * 0x1p-24);
    if (!(size > 0.0)) return;
    // How far a point may lie from the cell it is counted in, by rounding of
    // its coordinates (in metres, whatever the size of the coordinates).
    const double slack = 1e-6 + 1e-15 * (std::fabs(m_originX) + std::fabs(m_originY) + extent);

    // The cells near each element, each as far as the grid reaches: a cell
    // holds every element whose box comes within that reach of it.
    const auto columns = [&](double from, double to, double reach) {
        return std::pair{std::floor((from - reach - 2.0 * slack) / size),
                         std::floor((to + reach + 2.0 * slack) / size)};
    };
    if (m_slots.size() >= (std::size_t{1} << 28)) return;
    double column0 = 0.0, row0 = 0.0;
    // Some thirty doublings at most bring the width to the boxes' extent,
    // where both limits hold: the count is only a guard.
    for (int doublings = 0;; ++doublings) {
        if (doublings == 64 || !std::isfinite(size)) return;
        const double reach = kGridReach * size;
        double pairs = 0.0;
        double column1 = -std::numeric_limits<double>::infinity(), row1 = column1;
        column0 = row0 = std::numeric_limits<double>::infinity();
        for (const Box& box : boxes) {
            const auto [x0, x1] = columns(box.minX, box.maxX, reach);
            const auto [y0, y1] = columns(box.minY, box.maxY, reach);
            pairs += (x1 - x0 + 1.0) * (y1 - y0 + 1.0);
            column0 = std::min(column0, x0);
            column1 = std::max(column1, x1);
            row0 = std::min(row0, y0);
            row1 = std::max(row1, y1);
        }
        if (pairs <= kMaxGridCells * static_cast<double>(boxes.size()) && column1 - column0 < kMaxGridSpan &&
            row1 - row0 < kMaxGridSpan)
            break;
        size *= 2.0;
    }
    const double reach = kGridReach * size;
    struct Near {
        std::uint32_t place;
        int slot;
    };
    std::vector<Near> near;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const auto [x0, x1] = columns(boxes[i].minX, boxes[i].maxX, reach);
        const auto [y0, y1] = columns(boxes[i].minY, boxes[i].maxY, reach);
        for (double row = y0; row <= y1; ++row)
            for (double column = x0; column <= x1; ++column)
                near.push_back({static_cast<std::uint32_t>(column - column0) << 16 |
                                    static_cast<std::uint32_t>(row - row0),
                                static_cast<int>(i)});
    }
    std::sort(near.begin(), near.end(), [](const Near& a, const Near& b) {
        return a.place != b.place ? a.place < b.place : a.slot < b.slot;
    });

    auto grid = std::make_unique<Grid>();
    grid->perCell = 1.0 / size;
    grid->column0 = column0;
    grid->row0 = row0;
    std::vector<GridCell> cells;
    for (std::size_t from = 0; from < near.size();) {
        std::size_t to = from + 1;
        while (to < near.size() && near[to].place == near[from].place) ++to;
        const double column = column0 + static_cast<double>(near[from].place >> 16);
        const double row = row0 + static_cast<double>(near[from].place & 0xffffu);
        // The cell with the slack around it, relative to the origin.
        const Box cellBox{column * size - slack, row * size - slack, (column + 1.0) * size + slack,
                          (row + 1.0) * size + slack};
        // No point of the cell is farther than `farthest` from the nearest
        // element: the farthest corner from some point of one of them.
        double farthest = std::numeric_limits<double>::infinity();
        for (std::size_t n = from; n < to; ++n) {
            const Chord& chord = m_chords[static_cast<std::size_t>(near[n].slot)];
            const bool padded = chord.pad < std::numeric_limits<double>::infinity();
            double corners = 0.0;
            for (const auto& [cx, cy] : {std::pair{cellBox.minX, cellBox.minY},
                                         {cellBox.maxX, cellBox.minY},
                                         {cellBox.minX, cellBox.maxY},
                                         {cellBox.maxX, cellBox.maxY}}) {
                const double ox = cx + m_originX - chord.startX;
                const double oy = cy + m_originY - chord.startY;
                // Every point of the chord lies within pad of the curve, and
                // the distance to a segment is greatest at a corner.
                corners = std::max(corners, padded ? chord.SegmentDistance(ox, oy) + chord.pad
                                                   : std::sqrt(ox * ox + oy * oy));
            }
            farthest = std::min(farthest, corners);
        }
        // Every element whose box comes that close is listed; the cell
        // holds every element within the grid's reach, so none is missed.
        const double limit = farthest + kTie + slack;
        int first = std::numeric_limits<int>::max();
        int last = -1;
        for (std::size_t n = from; n < to && limit <= reach; ++n) {
            const Box& box = boxes[static_cast<std::size_t>(near[n].slot)];
            const double dx = std::max({box.minX - cellBox.maxX, cellBox.minX - box.maxX, 0.0});
            const double dy = std::max({box.minY - cellBox.maxY, cellBox.minY - box.maxY, 0.0});
            if (dx * dx + dy * dy <= limit * limit) {
                first = std::min(first, near[n].slot);
                last = std::max(last, near[n].slot);
            }
        }
        if (last >= first && last - first < kMaxCellElements)
            cells.push_back({near[from].place, static_cast<std::uint32_t>(first) << 4 |
                                                   static_cast<std::uint32_t>(last - first)});
        from = to;
    }
    if (cells.empty()) return;
    std::size_t tableSize = 2;
    while (tableSize < 2 * cells.size()) tableSize *= 2;
    grid->cells.resize(tableSize);
    for (const GridCell& cell : cells) {
        std::size_t at = Grid::Hash(cell.place) & (tableSize - 1);
        while (grid->cells[at].place != GridCell::kEmpty) at = (at + 1) & (tableSize - 1);
        grid->cells[at] = cell;
    }
    m_grid.store(grid.release(), std::memory_order_release);
}

bool AlignmentProjection::LocateInCell(const Grid& grid, double x, double y, Candidate& best) const {
    const double column = std::floor((x - m_originX) * grid.perCell) - grid.column0;
    const double row = std::floor((y - m_originY) * grid.perCell) - grid.row0;
    if (!(column >= 0.0 && column < kMaxGridSpan && row >= 0.0 && row < kMaxGridSpan)) return false;
    const GridCell* cell =
        grid.Find(static_cast<std::uint32_t>(column) << 16 | static_cast<std::uint32_t>(row));
    if (!cell) return false;
    const int first = static_cast<int>(cell->slots >> 4);
    const int count = static_cast<int>(cell->slots & 15u) + 1;
    double bounds[kMaxCellElements];
    for (int i = 0; i < count; ++i) {
        __builtin_prefetch(&m_slots[static_cast<std::size_t>(first + i)]);
        bounds[i] = m_chords[static_cast<std::size_t>(first + i)].LowerBound(x, y);
    }
    // Nearest bound first, as long as one is in reach (the first always is,
    // and solving it finds a point, so that a bound set to infinity after
    // its element was solved is out of reach).
    for (int left = count; left > 0; --left) {
        int next = 0;
        for (int i = 1; i < count; ++i) next = bounds[i] < bounds[next] ? i : next;
        if (!best.Reachable(bounds[next])) break;
        bounds[next] = std::numeric_limits<double>::infinity();
        SolveElement(first + next, x, y, best);
    }
    return true;
}

void AlignmentProjection::LocateInHierarchy(double x, double y, Candidate& best) const {
    // Nearest box first; a box no nearer than the best point found so far
    // (allowing for a tie) is passed over with all it holds.
    struct Pending {
        int node;
        double bound;  // squared distance to its box
    };
    std::array<Pending, 128> stack;
    std::size_t top = 0;
    stack[top++] = {m_root, m_rootBox.DistanceSquared(x, y)};
    const double qx = x - m_originX;
    const double qy = y - m_originY;
    while (top > 0) {
        Pending pending = stack[--top];
        while (best.ReachableSquared(pending.bound)) {
            if (pending.node < 0) {
                // The chord of the element bounds it closer than its box.
                const int slot = ~pending.node;
                if (best.slot < 0 ||
                    best.Reachable(m_chords[static_cast<std::size_t>(slot)].LowerBound(x, y)))
                    SolveElement(slot, x, y, best);
                break;
            }
            // Down into the nearest child; the others wait, unless already
            // out of reach. Each level leaves at most kFan - 1 nodes waiting,
            // and the hierarchy is less than 16 levels deep.
            const Branch& branch = m_branches[static_cast<std::size_t>(pending.node)];
            double bounds[kFan] = {};
            int nearest = 0;
            // Written without branches: which child is nearest, and which are
            // in reach, follow no pattern a branch predictor could learn.
            for (int c = 0; c < branch.count; ++c) {
                const int child = branch.child[c];
                if (child >= 0) {
                    const char* next =
                        reinterpret_cast<const char*>(&m_branches[static_cast<std::size_t>(child)]);
                    __builtin_prefetch(next);
                    __builtin_prefetch(next + 64);
                } else {
                    __builtin_prefetch(&m_chords[static_cast<std::size_t>(~child)]);
                }
                const double dx = std::max(std::max(branch.minX[c] - qx, qx - branch.maxX[c]), 0.0);
                const double dy = std::max(std::max(branch.minY[c] - qy, qy - branch.maxY[c]), 0.0);
                bounds[c] = dx * dx + dy * dy;
                nearest = bounds[c] < bounds[nearest] ? c : nearest;
            }
            for (int c = 0; c < branch.count; ++c) {
                stack[top] = {branch.child[c], bounds[c]};
                top += static_cast<std::size_t>((c != nearest) & best.ReachableSquared(bounds[c]));
            }
            pending = {branch.child[nearest], bounds[nearest]};
        }
    }
}

bool AlignmentProjection::Locate(double x, double y, PointLocation& location) const {
    location = PointLocation();
    if (m_leftOut >= 0) {
        location.Element = m_leftOut;
        return false;
    }
    if (m_slots.empty() || !std::isfinite(x) || !std::isfinite(y)) return false;

    Candidate best;
    const Grid* grid = GridForNextLocate();
    if (!grid || !LocateInCell(*grid, x, y, best)) LocateInHierarchy(x, y, best);
    if (best.slot < 0) return false;

    const Slot& slot = m_slots[static_cast<std::size_t>(best.slot)];
    const double px = x - slot.startX;
    const double py = y - slot.startY;
    const ElementCurve::Sample c = best.hasSample ? best.sample : slot.curve.At(best.s);
    const double along = Along(c, px, py);
    location.Station = best.station;
    location.Offset = Across(c, px, py);
    location.Element = slot.index;
    location.X = slot.startX + c.dx;
    location.Y = slot.startY + c.dy;
    location.Azimuth = NormalAzimuth(c.azimuth);
    if (slot.index == 0 && best.s == 0.0 && along < -kBeyondTolerance) {
        location.BeyondStart = true;
        location.Beyond = -along;
    } else if (slot.index == m_count - 1 && best.s == slot.curve.GetLength() && along > kBeyondTolerance) {
        location.BeyondEnd = true;
        location.Beyond = along;
    }
    return true;
}

bool AlignmentProjection::PointAtOffset(const PlanElement& element, const QStation& station, double offset,
                                        StationPoint& point) {
    point.X = 0.0;
    point.Y = 0.0;
    ElementCurve curve;
    if (!std::isfinite(offset) || !curve.Build(element)) return false;
    const ElementCurve::Sample c = curve.At(station.GetValue() - element.StartStation.GetValue());
    point.X = element.StartX + c.dx - offset * c.sinAzimuth;
    point.Y = element.StartY + c.dy + offset * c.cosAzimuth;
    point.Azimuth = NormalAzimuth(c.azimuth);
    return std::isfinite(point.X) && std::isfinite(point.Y);
}

}  // namespace qdat
