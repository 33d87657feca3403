"""qdat: the data files of road and railway alignment design, from Python.

Read any data file the library knows (qdat.open), evaluate alignments,
profiles and ground lines at many stations at once (numpy arrays in and
out), read, back up and report projects, import LandXML and export to
LandXML and IFC 4.3.

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
           "export_landxml", "export_ifc", "list_landxml", "import_landxml"]


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


def export_ifc(plan, profile=None, *, path, sup=None, project=None, name=None, rail_head_distance=1.5):
    """Writes the IFC 4.3 (IFC4X3_ADD2) file of an alignment to path.

    plan is a qdat.Alignment or the path of a plan element or
    intersection-point file, profile a qdat.Profile or a path. sup is the
    path of a railway superelevation file, written as the track's cant
    (each rail's height is the superelevation, per cent, times half of
    rail_head_distance, metres); a road table is refused. project is the
    path of the project file: its road name names the alignment, which then
    stands in an IfcRoad, or an IfcRailway when the project names a
    track-spacing file; plan and profile given as paths are then read under
    the project's chain table. name overrides the alignment's name.

    IFC's x is the easting (Y here) and y the northing (X); directions are
    radians counter-clockwise from +x; a radius is positive turning left.
    The stationing is kept in referents at the start and at every chain
    break. The file is written through a mirror file, never over an input.
    Raises qdat.Error for what IFC cannot hold or what does not fit the
    alignment, and when the file cannot be written; the old file is then as
    it was.
    """
    if project is not None and plan is not None and not isinstance(plan, Alignment):
        plan = Alignment(plan, project=project)  # stations as the project writes them
    if project is not None and profile is not None and not isinstance(profile, Profile):
        profile = Profile(profile, project=project)
    plan = _as(Alignment, plan, "plan")
    if plan is None:
        raise TypeError("plan: a qdat.Alignment or the path of its file expected")
    if rail_head_distance is None or not rail_head_distance > 0:
        raise ValueError("rail_head_distance: a positive length in metres expected")
    _qdat._export_ifc(plan, _as(Profile, profile, "profile"), sup, path, name or "", project,
                      float(rail_head_distance))


def list_landxml(path):
    """The alignments of a LandXML 1.0-1.2 file, as qdat import landxml --list --json
    lists them: dicts with name, staStart, length (metres), lines, curves,
    spirals, equations, profiles (name, kind, points, staStart, staEnd),
    units and application. Raises qdat.Error when the file is not LandXML or
    is damaged."""
    return _qdat._list_landxml(path)


def import_landxml(path, *, alignment=None, profile_name=None, plan=None, jd=None, profile=None, ground=None,
                   project=None, all=None):
    """Reads an alignment of a LandXML 1.0-1.2 file into this package's files.

    alignment names the alignment (default: the only one), profile_name its
    design profile (default: the first). plan, jd, profile, ground and
    project are the paths of the plan element, intersection-point, vertical
    profile, ground-line and project files to write; all is a folder that
    takes every file of every alignment, named after it. Lengths in feet are
    converted to metres; station equations become the chain table.

    Returns a dict: alignments (the names imported), written (the paths, in
    order) and notes (what the user should hear of: units converted, gaps).
    Raises qdat.Error naming the element, line and station for what cannot
    be read or represented; nothing is written then, and existing files are
    left as they were.
    """
    targets = [plan, jd, profile, ground, project, all]
    if all is None and not any(t is not None for t in targets):
        raise ValueError("nothing to do: give plan=, jd=, profile=, ground=, project= or all=")

    def text(value):
        return "" if value is None else str(value)

    return _qdat._import_landxml(path, text(alignment), text(profile_name), text(plan), text(jd), text(profile),
                                 text(ground), text(project), text(all))
