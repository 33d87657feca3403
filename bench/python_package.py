#!/usr/bin/env python3
"""The Python package against the same work in C++, in one run.

    python3 bench/python_package.py BUILD

runs BUILD/bench/bench_python_package (Google Benchmark, the C++ side) and
then the same work through `import qdat` from BUILD/python, and prints each
side's time and the ratio Python / C++ (goal: at most 1.2):

  point_at   1,000,000 stations of examples/demo-road.jd evaluated
  ground     a ground line of 1,000,000 points opened and, from Python,
             taken as a numpy array as well

Both sides give the least of five repetitions of the mean time of a call
over several calls in a row, so that the load of other programs on the
machine weighs on each the same way. Build with -DQDAT_BUILD_BENCH=ON.
"""

import json
import os
import pathlib
import random
import subprocess
import sys
import tempfile
import time

SOURCE = pathlib.Path(__file__).resolve().parents[1]
POINTS = 1_000_000


def best(work, calls, repetitions=5):
    """The mean time of `calls` calls in a row, the least of the repetitions:
    the statistic taken of the C++ side's repetitions too."""
    times = []
    for _ in range(repetitions):
        start = time.perf_counter()
        for _ in range(calls):
            work()
        times.append((time.perf_counter() - start) / calls)
    return min(times)


def main():
    build = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "build").resolve()
    sys.path.insert(0, str(build / "python"))
    import numpy as np
    import qdat

    with tempfile.TemporaryDirectory() as folder:
        ground = pathlib.Path(folder) / "line.dmx"
        rng = random.Random(12345)
        with open(ground, "w") as f:
            f.write("RADUDAR5.83_DMX_SHUJU\n")
            for i in range(POINTS):
                f.write(f"{0.5 * (i + 1):10.3f} {300 + rng.randrange(200_000_000) / 1e6:10.6f}\n")

        program = build / "bench" / "bench_python_package"
        done = subprocess.run([str(program), "--benchmark_format=json", "--benchmark_repetitions=5"],
                              capture_output=True, text=True,
                              check=True, env=dict(os.environ, QDAT_BENCH_GROUND=str(ground)))
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
        cpp = {}
        for b in json.loads(done.stdout)["benchmarks"]:
            if b.get("run_type") == "iteration":
                name = b["name"].split("/")[0]
                cpp[name] = min(cpp.get(name, float("inf")), b["real_time"] * scale[b["time_unit"]])

        road = qdat.Alignment(SOURCE / "examples" / "demo-road.jd")
        stations = np.linspace(0.0, road.end_station, POINTS)
        py_point_at = best(lambda: road.point_at(stations), 8)
        py_ground = best(lambda: qdat.GroundLine(ground).points, 4)

    rows = [("point_at", cpp["BM_PointAtLoop"], py_point_at), ("ground", cpp["BM_OpenGroundLine"], py_ground)]
    print(f"{'work':10} {'C++ s':>10} {'Python s':>10} {'ratio':>7}")
    for name, c, p in rows:
        print(f"{name:10} {c:10.4f} {p:10.4f} {p / c:7.3f}")
    return 0 if all(p / c <= 1.2 for _, c, p in rows) else 1


if __name__ == "__main__":
    sys.exit(main())
