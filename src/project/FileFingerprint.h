// The fingerprint of a data file, by which a project tells whether the file
// changed since the project was saved: the MD5 digest of the whole content
// (16 bytes; all zero for an empty file).
#pragma once

#include <qdat/host/Export.h>
#include <array>
#include <cstdint>
#include <string>

namespace qdat {

using Fingerprint = std::array<std::uint8_t, 16>;

// The fingerprint of the regular file at path. False, with fingerprint
// unchanged, when the file cannot be opened or read or is no regular file.
QDAT_API bool ComputeFileFingerprint(const std::string& path, Fingerprint& fingerprint);

}  // namespace qdat
