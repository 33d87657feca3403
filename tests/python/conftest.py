"""Shared fixtures: the examples, and the qdat tool whose output the package
must match."""

import json
import math
import os
import pathlib
import subprocess

import pytest

SOURCE = pathlib.Path(os.environ.get("QDAT_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
EXAMPLES = SOURCE / "examples"
TOOL = os.environ.get("QDAT_TOOL")


def tool_json(*args):
    """What `qdat ARGS --json` prints, read as JSON."""
    if not TOOL:
        pytest.skip("QDAT_TOOL names no qdat tool")
    done = subprocess.run([TOOL, *map(str, args), "--json"], capture_output=True, text=True, check=True,
                          cwd=EXAMPLES)
    return json.loads(done.stdout)


def same(a, b):
    """Equal, NaN equal to None (a missing value)."""
    missing = lambda v: v is None or (isinstance(v, float) and math.isnan(v))
    return (missing(a) and missing(b)) or a == b


@pytest.fixture
def examples():
    return EXAMPLES
