"""Errors: qdat.Error with the file and the place, TypeError and ValueError
for bad arguments, and a library that goes on working after them."""

import warnings

import pytest

import qdat
from conftest import EXAMPLES


def test_bad_data_names_the_file_and_line(tmp_path):
    bad = tmp_path / "bad.dmx"
    bad.write_text("RADUDAR5.83_DMX_SHUJU\n1 2\nabc def\n")
    with pytest.raises(qdat.Error) as failure:
        qdat.open(bad)
    error = failure.value
    assert isinstance(error, Exception)
    assert error.path == str(bad) and error.line == 3 and error.offset is None
    assert "abc" in error.message and str(error) == error.message


def test_every_cut_of_a_file_fails_cleanly_or_reads_in_part(tmp_path):
    data = (EXAMPLES / "demo-road.zdm").read_bytes()
    cut = tmp_path / "cut.zdm"
    for length in range(0, len(data), 7):
        cut.write_bytes(data[:length])
        with warnings.catch_warnings(record=True) as shown:
            warnings.simplefilter("always")
            try:
                doc = qdat.open(cut, kind="QZdmFile")
            except qdat.Error as e:
                assert e.message and e.path == str(cut)
                continue
        assert isinstance(doc.to_dict()["content"], dict)
        # A part read is told, never passed off as the whole file.
        if doc.partial:
            assert shown and doc.to_dict()["partialRead"]


def test_missing_files_and_wrong_kinds(tmp_path):
    with pytest.raises(qdat.Error) as failure:
        qdat.open(tmp_path / "none.dmx")
    assert failure.value.path == str(tmp_path / "none.dmx")
    with pytest.raises(qdat.Error):
        qdat.Alignment(EXAMPLES / "demo-road.dmx")
    with pytest.raises(qdat.Error):
        qdat.GroundLine(EXAMPLES / "demo-road.zdm")
    unknown = tmp_path / "unknown.xyz"
    unknown.write_text("NOT A SIGNATURE\n")
    with pytest.raises(qdat.Error):
        qdat.open(unknown)


def test_bad_arguments_raise_type_and_value_errors():
    with pytest.raises(TypeError):
        qdat.open(12)
    with pytest.raises(ValueError):
        qdat.open(EXAMPLES / "demo-road.dmx", kind="NoSuchKind")
    with pytest.raises(TypeError):
        qdat.open(EXAMPLES / "demo-road.dmx", chain_table="1000:1100")
    road = qdat.Alignment(EXAMPLES / "demo-road.pm")
    with pytest.raises(TypeError):
        road.point_at("100")
    with pytest.raises(TypeError):
        road.point_at(None)
    with pytest.raises(ValueError):
        qdat.ChainTable([(1000, 1100), (1050, 1200)])
    with pytest.raises(TypeError):
        qdat.ChainTable([1000])
    with pytest.raises(ValueError):
        qdat.Project(EXAMPLES / "demo-road.prj").setting("no such key")


def test_the_library_works_on_after_an_error(tmp_path):
    bad = tmp_path / "bad.dmx"
    bad.write_text("RADUDAR5.83_DMX_SHUJU\n1 2\nabc def\n")
    for _ in range(3):
        with pytest.raises(qdat.Error):
            qdat.open(bad)
        assert qdat.open(EXAMPLES / "demo-road.dmx").to_dict()["kind"] == "DmxFile"
