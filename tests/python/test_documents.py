"""Documents: the same dicts as `qdat dump --json`, the arrays of the
content, saving in every form, the kinds."""

import pytest

import qdat
from conftest import EXAMPLES, same, tool_json

SAMPLES = sorted(p.name for p in EXAMPLES.iterdir() if p.suffix != ".svg" and p.is_file()
                 and p.name != "show-demo")


@pytest.mark.parametrize("name", SAMPLES)
def test_to_dict_is_what_dump_prints(name):
    doc = qdat.open(EXAMPLES / name)
    expected = tool_json("dump", name)
    assert doc.to_dict() == expected
    assert (doc.kind, doc.signature, doc.file_version, doc.current_version) == (
        expected["kind"], expected["signature"], expected["fileVersion"], expected["currentVersion"])
    assert doc.partial is False


@pytest.mark.parametrize("name", SAMPLES)
def test_arrays_hold_the_lists_under_the_kinds_keys(name):
    doc = qdat.open(EXAMPLES / name)
    content = doc.to_dict()["content"]
    kind = next(k for k in qdat.kinds() if k["kind"] == doc.kind)
    lists = {c["list"]: c["columns"] for c in kind["content"] if c["list"]}
    arrays = doc.arrays()
    assert set(arrays) == set(lists)
    for key, array in arrays.items():
        assert list(array.dtype.names) == lists[key]
        assert len(array) == len(content[key])
        for row, record in zip(array, content[key]):
            for field in array.dtype.names:
                assert same(row[field], record[field]), (key, field)


def test_kinds_are_what_the_tool_lists():
    assert qdat.kinds() == tool_json("kinds")


@pytest.mark.parametrize("form", ["text", "binary", "tagged", "scrambled"])
def test_saved_forms_read_back(tmp_path, form):
    doc = qdat.open(EXAMPLES / "demo-road.dmx")
    target = tmp_path / f"ground.{form}.dmx"
    doc.save(target, form=form)
    again = qdat.open(target)
    assert again.form == form
    assert again.to_dict()["content"] == doc.to_dict()["content"]
    assert again.file_version == doc.current_version


def test_save_refuses_its_own_file_and_bad_forms(tmp_path):
    copy = tmp_path / "ground.dmx"
    copy.write_bytes((EXAMPLES / "demo-road.dmx").read_bytes())
    doc = qdat.open(copy)
    with pytest.raises(qdat.Error) as failure:
        doc.save(str(copy))
    assert failure.value.path == str(copy)
    assert copy.read_bytes() == (EXAMPLES / "demo-road.dmx").read_bytes()
    with pytest.raises(ValueError):
        doc.save(tmp_path / "x.dmx", form="legacy")
    with pytest.raises(TypeError):
        doc.save(42)


def test_a_part_read_is_kept_but_never_saved(tmp_path):
    # A line naming no table ends the reading of control data with the rest unread.
    part = tmp_path / "part.ctr"
    part.write_text("RADUDAR5.83_CTR_SHUJU\nZTFBP.DAT\n100 0\n200 0\nXXXX.DAT\nDCHT.DAT\n0 1\n")
    target = tmp_path / "target.ctr"
    target.write_bytes(b"kept as it was")
    with pytest.warns(UserWarning, match="XXXX.DAT"):
        doc = qdat.open(part)
    assert doc.partial and "XXXX.DAT" in doc.to_dict()["partialRead"]
    assert len(doc.arrays()["ZTFBP.DAT"]) == 2
    with pytest.raises(qdat.Error, match="in part"):
        doc.save(target)
    assert target.read_bytes() == b"kept as it was"


def test_a_cut_binary_file_names_its_byte_offset(tmp_path):
    whole = tmp_path / "whole.dmx"
    qdat.open(EXAMPLES / "demo-road.dmx").save(whole, form="binary")
    cut = tmp_path / "cut.dmx"
    cut.write_bytes(whole.read_bytes()[:-12])
    with pytest.raises(qdat.Error) as failure:
        qdat.open(cut)
    assert failure.value.path == str(cut) and failure.value.offset is not None and failure.value.line is None
