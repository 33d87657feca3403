"""qdat: the data files of road and railway alignment design, from Python.

Read any data file the library knows (qdat.open), evaluate alignments,
profiles and ground lines at many stations at once (numpy arrays in and
out), read and back up projects, and export to LandXML.

Units and conventions: stations, lengths, offsets and coordinates are
metres; X is the northing and Y the easting; azimuths are radians clockwise
from +X (north), in [0, 2 pi); grades are rise over run; offsets are
positive to the right of the direction of travel. Stations are continuous
stations; a qdat.ChainTable turns them into stake station text and back.

Errors: qdat.Error (a subclass of Exception) for what the library refuses
or cannot do, with the file's path and the line or byte offset where known;
TypeError and ValueError for bad arguments. The library's warnings (a file
read only in part, rows sorted in memory) are issued as UserWarning.

Threads: each call runs under a context of its own, and the long loops
release the GIL, so separate objects may be used on separate threads. One
object used from several threads takes its turns.

    >>> import qdat
    >>> road = qdat.Alignment("examples/demo-road.jd")
    >>> road.point_at([0, 100.5])["azimuth"]
"""

try:
    import numpy as _numpy  # noqa: F401
except ImportError:  # pragma: no cover - only a build tree run by another interpreter
    try:
        from . import _build_paths
    except ImportError:
        raise
    _build_paths.add_numpy()
    import numpy as _numpy  # noqa: F401

from ._errors import Error
from ._qdat import ChainTable, Document, Alignment, Profile, GroundLine, Project, open, kinds
from . import _qdat

__all__ = ["Error", "ChainTable", "Document", "Alignment", "Profile", "GroundLine", "Project", "open", "kinds",
           "export_landxml"]


def _as(cls, value, name):
    """An object of cls, or one opened from the path given instead."""
    if value is None or isinstance(value, cls):
        return value
    try:
        return cls(value)
    except TypeError:
        raise TypeError(f"{name}: a qdat.{cls.__name__} or the path of its file expected") from None


def export_landxml(plan, profile=None, ground=None, *, path, name=None):
    """Writes the LandXML 1.2 document of an alignment to path.

    plan is a qdat.Alignment or the path of a plan element or
    intersection-point file; profile a qdat.Profile or a path (the vertical
    profile along it), ground a qdat.GroundLine or a path. Points are written
    "northing easting" (X then Y); stations in the geometry and the profile
    are continuous stations, the station equations give the stake stations.
    name is the alignment's name (default: the element file's own, else the
    file's name).

    The file is written through a mirror file, never over one of the inputs.
    Raises qdat.Error for what LandXML cannot hold (a step in the profile
    inside a vertical curve, a chain break off the alignment) and when the
    file cannot be written; the old file is then as it was.
    """
    plan = _as(Alignment, plan, "plan")
    if plan is None:
        raise TypeError("plan: a qdat.Alignment or the path of its file expected")
    _qdat._export_landxml(plan, _as(Profile, profile, "profile"), _as(GroundLine, ground, "ground"), path,
                          name or "")
