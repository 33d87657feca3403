"""Chain tables, projects and the exports."""

import shutil
import xml.etree.ElementTree as ET

import numpy as np
import pytest

import qdat
from conftest import EXAMPLES, TOOL, tool_json


def test_chain_table_text_and_parse():
    # The stake station 1000 continues as 1100: continuous 1050 is 50 m into
    # chain B, stake 1150.
    table = qdat.ChainTable([(1000, 1100)])
    assert table.breaks == [(1000.0, 1100.0)] and len(table) == 1
    assert table.text(500) == "A500.000"
    assert table.text(1050) == "B1150.000"
    assert table.parse("B1150") == pytest.approx(1050)
    assert table.parse("KB1+150") == pytest.approx(1050)
    assert qdat.ChainTable().parse("0+400") == pytest.approx(400)
    for station in np.linspace(0, 3000, 61):
        assert table.parse(table.text(station)) == pytest.approx(station, abs=5e-4)
    with pytest.raises(ValueError):
        table.parse("not a station")


def test_chain_table_given_to_open_reads_lettered_stations(tmp_path):
    lettered = tmp_path / "lettered.dmx"
    lettered.write_text("RADUDAR5.83_DMX_SHUJU\n900 10\nB1150 20\n")
    with pytest.raises(qdat.Error):
        qdat.open(lettered)
    doc = qdat.open(lettered, chain_table=qdat.ChainTable([(1000, 1100)]))
    assert [p["station"] for p in doc.to_dict()["content"]["points"]] == pytest.approx([900, 1050])
    same = qdat.open(lettered, chain_table=[(1000, 1100)])
    assert same.to_dict() == doc.to_dict()


def test_project_entries_settings_and_documents():
    project = qdat.Project(EXAMPLES / "demo-road.prj")
    shown = tool_json("project", "demo-road.prj")
    assert project.entries == shown["entries"]
    assert project.to_dict() == shown
    assert project.setting(201) == project.setting("Project name") == "Demo road"
    assert project.setting(303, station=100) == "7.50"
    assert project.setting(303, station=1000) == "8.50"
    ground = project.document(103)
    assert ground.kind == "DmxFile"
    assert ground.to_dict() == qdat.open(EXAMPLES / "demo-road.dmx").to_dict()
    road = qdat.Alignment(EXAMPLES / "demo-road.jd", project=project)
    assert road.end_station == pytest.approx(1720, abs=1e-3)


def test_backup_and_upgrade_of_a_copy(tmp_path):
    for f in EXAMPLES.glob("demo-road.*"):
        shutil.copy(f, tmp_path / f.name)
    project = qdat.Project(tmp_path / "demo-road.prj")
    cabinet = project.backup(tmp_path / "backup.cab")
    assert cabinet == str(tmp_path / "backup.cab")
    assert (tmp_path / "backup.cab").read_bytes()[:4] == b"MSCF"
    before = {f.name: f.read_bytes() for f in tmp_path.glob("demo-road.*")}
    # Every file of the demo is current: nothing is backed up or written.
    summary = project.upgrade()
    assert summary["backup"] is None and summary["upgraded"] == [] and summary["failure"] is None
    assert sorted(p.rsplit("/", 1)[-1] for p in summary["current"]) == sorted(
        n for n in before if not n.endswith(".prj") and not n.endswith(".svg"))
    assert {f.name: f.read_bytes() for f in tmp_path.glob("demo-road.*")} == before
    with pytest.raises(ValueError):
        project.upgrade(backup=False)
    with pytest.raises(qdat.Error):
        project.backup(tmp_path / "no such folder" / "backup.cab")


def test_landxml_export_matches_the_tool(tmp_path):
    out = tmp_path / "road.xml"
    qdat.export_landxml(EXAMPLES / "demo-road.jd", EXAMPLES / "demo-road.zdm",
                        qdat.GroundLine(EXAMPLES / "demo-road.dmx"), path=out)
    import subprocess
    theirs = tmp_path / "tool.xml"
    subprocess.run([TOOL, "export", "landxml", "--plan", "demo-road.jd", "--profile", "demo-road.zdm",
                    "--ground", "demo-road.dmx", "-o", theirs], check=True, cwd=EXAMPLES)
    ours, tool = ET.parse(out).getroot(), ET.parse(theirs).getroot()
    for root in (ours, tool):
        root.attrib.pop("date"), root.attrib.pop("time")
    assert ET.tostring(ours) == ET.tostring(tool)
    with pytest.raises(qdat.Error):
        qdat.export_landxml(EXAMPLES / "demo-road.jd", path=EXAMPLES / "demo-road.jd")
    with pytest.raises(TypeError):
        qdat.export_landxml(None, path=out)


def test_ifc_import_and_report_match_the_tool(tmp_path):
    """The later exchanges give what the tool gives: the IFC file's data
    section, the LandXML import's files byte for byte, the report's page."""
    import subprocess

    ours, tool = tmp_path / "ours.ifc", tmp_path / "tool.ifc"
    qdat.export_ifc(EXAMPLES / "demo-road.pm", EXAMPLES / "demo-road.zdm", project=EXAMPLES / "demo-road.prj",
                    path=ours)
    subprocess.run([TOOL, "export", "ifc", "--plan", "demo-road.pm", "--profile", "demo-road.zdm", "--project",
                    "demo-road.prj", "-o", tool], check=True, cwd=EXAMPLES)
    data = lambda p: p.read_text().split("DATA;", 1)[1]  # the header holds the time and the file name
    assert data(ours) == data(tool)

    xml = tmp_path / "road.xml"
    qdat.export_landxml(EXAMPLES / "demo-road.pm", EXAMPLES / "demo-road.zdm", path=xml)
    listed = qdat.list_landxml(xml)
    assert [a["name"] for a in listed] == [a["name"] for a in tool_json("import", "landxml", xml, "--list")]
    result = qdat.import_landxml(xml, plan=tmp_path / "a.pm", profile=tmp_path / "a.zdm")
    assert result["written"] == [str(tmp_path / "a.pm"), str(tmp_path / "a.zdm")]
    subprocess.run([TOOL, "import", "landxml", xml, "--plan", tmp_path / "b.pm"], check=True, capture_output=True)
    assert (tmp_path / "a.pm").read_bytes() == (tmp_path / "b.pm").read_bytes()
    with pytest.raises(ValueError):
        qdat.import_landxml(xml)
    with pytest.raises(qdat.Error):
        qdat.import_landxml(EXAMPLES / "demo-road.pm", plan=tmp_path / "c.pm")
    assert not (tmp_path / "c.pm").exists()

    page = tmp_path / "report.html"
    assert qdat.Project(EXAMPLES / "demo-road.prj").report(page) == []
    subprocess.run([TOOL, "report", EXAMPLES / "demo-road.prj", "-o", tmp_path / "tool.html"], check=True)
    assert page.read_bytes() == (tmp_path / "tool.html").read_bytes()
