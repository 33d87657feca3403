// A small road for the tool tests of the export and the plots: an alignment
// holding every kind of element (straights, arcs, spirals in and out and
// between finite radii, turning both ways), a profile with crest and sag
// curves and a step on a tangent, and its ground line.
#pragma once

#include <string>

namespace qdat::test {

// 940 m: straight 100, spiral to R 300, arc, spiral from 300 to 150, arc,
// spiral out (all to the right), straight 120, then to the left a spiral
// to R 200, arc, spiral from 200 to 400 and a spiral out.
inline const std::string kEveryElementPlan =
    "RADUDAR5.83_PM_SHUJU_PM\n"
    "11 Every \"\" 0\n"
    "1 0 0.3 0 5000 2000\n"
    "1 0 -100 0 9999 9999 1\n0 0 0 0 0 0 0 0\n0 0 0 0\n"
    "1 0 -80 0 9999 300 21\n0 0 0 0 0 0 0 0\n0 0 0 0\n"
    "1 0 -150 0 300 300 3\n0 0 0 0 0 0 0 0\n0 0 0 0\n"
    "1 0 -60 0 300 150 23\n0 0 0 0 0 0 0 0\n0 0 0 0\n"
    "1 0 -70 0 150 150 3\n0 0 0 0 0 0 0 0\n0 0 0 0\n"
    "1 0 -90 0 150 9999 22\n0 0 0 0 0 0 0 0\n0 0 0 0\n"
    "1 0 -120 0 9999 9999 1\n0 0 0 0 0 0 0 0\n0 0 0 0\n"
    "-1 0 -70 0 9999 200 21\n0 0 0 0 0 0 0 0\n0 0 0 0\n"
    "-1 0 -110 0 200 200 3\n0 0 0 0 0 0 0 0\n0 0 0 0\n"
    "-1 0 -50 0 200 400 24\n0 0 0 0 0 0 0 0\n0 0 0 0\n"
    "-1 0 -40 0 400 9999 22\n0 0 0 0 0 0 0 0\n0 0 0 0\n"
    "0 0 0 0 0 1\n";

// Grade points with a crest curve at 250, a sag at 520 and a crest at 760;
// a step of 0.4 m at 650 on the tangent between the last two.
inline const std::string kProfile =
    "RADUDAR5.83_ZDM_SHUJU\n"
    "5\n"
    "0.000 100.0 0 0.000 0\n"
    "250.000 110.0 5000 0.000 0\n"
    "520.000 104.0 3000 650.000 0.4\n"
    "760.000 112.5 2000 0.000 0\n"
    "940.000 109.0 0 0.000 0\n";

// Ground every 100 m; the point at 500 has no elevation.
inline const std::string kGround =
    "RADUDAR5.83_DMX_SHUJU\n"
    "0.000 99.5\n100.000 103.25\n200.000 106.0\n300.000 108.5\n400.000 104.75\n"
    "500.000\n600.000 101.0\n700.000 108.0\n800.000 111.0\n900.000 110.5\n";

}  // namespace qdat::test
