"""Two threads, two projects and chain tables: each gives what it gives alone."""

import shutil
import threading

import numpy as np

import qdat
from conftest import EXAMPLES


def work(chain, folder):
    table = qdat.ChainTable(chain)
    texts = [table.text(s) for s in range(0, 3000, 7)]
    road = qdat.Alignment(EXAMPLES / "demo-road.jd", chain_table=table)
    points = road.point_at(np.linspace(0, road.end_station, 20000))
    project = qdat.Project(folder / "demo-road.prj")
    ground = project.document("Ground line").to_dict()
    return texts, points.tobytes(), ground, project.entries, project.setting(303, station=900)


def test_threads_give_what_each_gives_alone(tmp_path):
    jobs = []
    for i, chain in enumerate([[(1000, 1100)], [(500, 450), (1500, 1700)]]):
        folder = tmp_path / str(i)
        folder.mkdir()
        for f in EXAMPLES.glob("demo-road.*"):
            shutil.copy(f, folder / f.name)
        jobs.append((chain, folder))
    alone = [work(*job) for job in jobs]
    assert alone[0][0] != alone[1][0]
    results = [[None] * 4 for _ in jobs]

    def run(j, k):
        results[j][k] = work(*jobs[j])

    threads = [threading.Thread(target=run, args=(j, k)) for k in range(4) for j in range(len(jobs))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for j in range(len(jobs)):
        assert all(r == alone[j] for r in results[j])
