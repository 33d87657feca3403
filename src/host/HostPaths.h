// What the library asks the file system about a path, besides opening it
// (host/HostFile.h): the layers above ask here rather than call the system.
#pragma once

#include <string>

#include <qdat/host/Export.h>

namespace qdat {

// What a path names, links followed: nothing (or nothing that can be looked
// at), a regular file, or something else (a folder, a device, a pipe).
enum class PathKind { Missing, RegularFile, Other };
QDAT_API PathKind KindOfPath(const std::string& path);

// Whether the user may write the file: the system lets them, and the file is
// not marked read-only (which the system ignores for some users).
QDAT_API bool MayWriteFile(const std::string& path);

// The path made absolute with links, "." and ".." resolved as far as it
// exists, the rest taken as written; false where the system cannot tell.
QDAT_API bool CanonicalPath(const std::string& path, std::string& canonical);

// Whether two paths name one file, the second perhaps not there yet.
QDAT_API bool SameFile(const std::string& a, const std::string& b);

}  // namespace qdat
