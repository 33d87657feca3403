"""Alignments, profiles and ground lines: the vectorised results against the
tool's scalar ones and against formulas worked out here."""

import math
import subprocess

import numpy as np
import pytest

import qdat
from conftest import EXAMPLES, TOOL, tool_json


@pytest.mark.parametrize("name", ["demo-road.jd", "demo-road.pm", "demo-corners.jd"])
def test_point_at_is_what_plan_prints(name):
    road = qdat.Alignment(EXAMPLES / name)
    stations = np.linspace(road.start_station, road.end_station, 37)
    rows = tool_json("plan", name, "--at", *[repr(float(s)) for s in stations])
    points = road.point_at(stations)
    assert points.shape == (37,)
    for point, row in zip(points, rows):
        for field in ("station", "x", "y", "azimuth", "radius"):
            assert point[field] == row[field], field


def test_a_straight_by_its_formula():
    # The demo road starts with a straight at azimuth 0.9 rad from
    # (3425000, 512000); x is north, azimuths run clockwise from it.
    road = qdat.Alignment(EXAMPLES / "demo-road.jd")
    p = road.point_at(100.5)
    assert p.shape == ()
    az = float(p["azimuth"])
    assert az == pytest.approx(0.9, abs=1e-9)
    assert float(p["x"]) == pytest.approx(3425000 + 100.5 * math.cos(az), abs=1e-6)
    assert float(p["y"]) == pytest.approx(512000 + 100.5 * math.sin(az), abs=1e-6)
    assert float(p["radius"]) == 9999
    beyond = road.point_at([road.start_station - 1, road.end_station + 1])
    assert np.isnan(beyond["x"]).all() and np.isnan(beyond["azimuth"]).all()


def test_offset_point_and_locate_invert_each_other():
    road = qdat.Alignment(EXAMPLES / "demo-road.jd")
    stations = np.linspace(road.start_station + 1, road.end_station - 1, 301)
    offsets = np.linspace(-20, 20, 301)
    points = road.offset_point(stations, offsets)
    found = road.locate(points["x"], points["y"])
    assert np.allclose(found["station"], stations, atol=1e-6)
    assert np.allclose(found["offset"], offsets, atol=1e-6)
    assert (found["beyond"] == 0).all()
    # A point 10 m square to the centre line, right of travel, by hand.
    centre = road.point_at(50.0)
    az = float(centre["azimuth"])
    right = road.offset_point(50.0, 10.0)
    assert float(right["x"]) == pytest.approx(float(centre["x"]) + 10 * math.cos(az + math.pi / 2), abs=1e-9)
    assert float(right["y"]) == pytest.approx(float(centre["y"]) + 10 * math.sin(az + math.pi / 2), abs=1e-9)


def test_locate_before_and_after_the_ends():
    road = qdat.Alignment(EXAMPLES / "demo-road.jd")
    start = road.point_at(road.start_station)
    end = road.point_at(road.end_station)
    back = float(start["azimuth"]) + math.pi
    ahead = float(end["azimuth"])
    xs = [float(start["x"]) + 30 * math.cos(back), float(end["x"]) + 30 * math.cos(ahead)]
    ys = [float(start["y"]) + 30 * math.sin(back), float(end["y"]) + 30 * math.sin(ahead)]
    found = road.locate(xs, ys)
    assert list(found["beyond"]) == [-1, 1]
    assert found["station"][0] == pytest.approx(road.start_station)
    assert found["station"][1] == pytest.approx(road.end_station)
    assert np.allclose(found["offset"], 0, atol=1e-6)


def test_elements_are_the_computed_plan_files_records(tmp_path):
    # The elements are computed from the start, as `qdat plan --compute`
    # writes them (to eight decimals).
    road = qdat.Alignment(EXAMPLES / "demo-road.pm")
    computed = tmp_path / "computed.pm"
    subprocess.run([TOOL, "plan", "demo-road.pm", "--compute", "-o", computed], check=True, cwd=EXAMPLES)
    dumped = tool_json("dump", computed)["content"]
    expected = dumped["elements"] + dumped["endElements"]
    assert len(road.elements) == len(expected) == 5
    for ours, theirs in zip(road.elements, expected):
        assert ours.keys() == theirs.keys()
        for key, value in theirs.items():
            assert ours[key] == pytest.approx(value, abs=1e-7), key
    for before, after in zip(road.elements, road.elements[1:]):
        assert (after["startX"], after["startY"]) == pytest.approx((before["endX"], before["endY"]), abs=1e-9)


def test_profile_elevations_and_grades_are_what_profile_prints():
    profile = qdat.Profile(EXAMPLES / "demo-road.zdm")
    rows = tool_json("profile", "demo-road.zdm", "--from", 0, "--to", 1720, "--step", 35)
    stations = [r["station"] for r in rows]
    assert np.array_equal(profile.elevation(stations), [r["elevation"] for r in rows])
    assert np.array_equal(profile.grade(stations), [r["grade"] for r in rows])
    points = profile.grade_points
    dumped = tool_json("dump", "demo-road.zdm")["content"]["points"]
    assert list(points["station"]) == [p["station"] for p in dumped]


def test_ground_line_between_its_points(tmp_path):
    ground = qdat.GroundLine(EXAMPLES / "demo-road.dmx")
    pts = ground.points
    mids = (pts["station"][:-1] + pts["station"][1:]) / 2
    expected = np.interp(mids, pts["station"], pts["elevation"])
    # np.interp gives NaN beside a point without elevation, as the line does.
    assert np.isnan(pts["elevation"]).any()
    assert np.allclose(ground.elevation(mids), expected, rtol=0, atol=1e-9, equal_nan=True)
    assert np.array_equal(ground.elevation(pts["station"]), pts["elevation"], equal_nan=True)
    assert np.isnan(ground.elevation([pts["station"][0] - 1, pts["station"][-1] + 1])).all()
    # A point without elevation leaves no ground either side of it.
    gap = tmp_path / "gap.dmx"
    gap.write_text("RADUDAR5.83_DMX_SHUJU\n0 100\n10 NULL\n20 110\n30 120\n")
    g = qdat.GroundLine(gap)
    assert np.isnan(g.elevation([5, 10, 15])).all()
    assert g.elevation([25])[0] == pytest.approx(115)
    assert g.elevation(20.0) == pytest.approx(110)
