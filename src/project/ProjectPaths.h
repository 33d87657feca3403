// Paths of a project's data files as the project file stores them. Projects
// are made on Windows as often as here: a stored path may separate its
// folders with "\", and may name a Windows drive ("C:\road\plan.pm", or
// "\road\plan.pm" on the project's own drive), which no folder here holds.
// Such a path is kept as it is stored and counts as a missing file; it never
// stops a project from opening.
#pragma once

#include <qdat/host/Export.h>
#include <string>
#include <string_view>

namespace qdat {

// Whether a stored path names a place on a Windows drive: a drive letter and
// a colon, or a leading backslash (the drive's root, or a network share).
QDAT_API bool IsWindowsDrivePath(std::string_view stored);

// The project's folder of a project file's path: up to and including its
// last "/"; empty for a path without one.
QDAT_API std::string ProjectFolderOf(const std::string& projectPath);

// The path a stored path stands for. A relative path ("plan\a.pm") is taken
// against the project folder, its "\" read as "/", and made canonical
// lexically ("." and ".." resolved, no link followed); an absolute path, and
// a Windows drive path, are given back as they are stored.
QDAT_API std::string ResolveStoredPath(const std::string& folder, const std::string& stored);

// The text stored for a file given by its absolute path: relative to the
// project folder with "\" between its folders (as a project made on Windows
// stores it), or the path itself when the project has no folder yet.
QDAT_API std::string MakeStoredPath(const std::string& folder, const std::string& absolutePath);

// Whether a resolved path names a regular file here (never a Windows drive path).
QDAT_API bool ResolvedFileExists(const std::string& resolved);

// Whether a resolved path lies inside the folder once every link on the way
// is followed: "..", an absolute path elsewhere and a link out of the folder
// all lie outside. A folder of "" is the current one.
QDAT_API bool LiesInsideFolder(const std::string& folder, const std::string& resolved);

// Whether a resolved path names something here that is not a regular file
// (a folder, a pipe, a device): it is never read or written as a data file.
QDAT_API bool IsOtherThanRegularFile(const std::string& resolved);

// Whether two paths name the same place once made canonical lexically.
QDAT_API bool SameResolvedPath(const std::string& a, const std::string& b);

}  // namespace qdat
