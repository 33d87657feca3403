// The envelope of a data file: the optional 4-byte binary header ("QB" and a
// letter each for tagged and scrambled) and the signature line that names the
// file's kind and version. One reader serves the loading archive and every
// tool that asks what a file is.
#pragma once

#include <qdat/host/Export.h>
#include <cstdint>
#include <string>
#include <string_view>

namespace qdat {

class File;

// What the first bytes of a file say about its form: header and signature.
struct QDAT_API ArchiveEnvelope {
    bool hasHeader = false;
    bool tagged = false;
    bool scrambled = false;
    bool lengthPrefixedSignature = false;  // old text files written by the object archive
    std::string signature;                 // trimmed and upper-cased
    std::string writtenSignature;          // trimmed, as the file writes it: what a user is shown
    std::int64_t signatureOffset = 0;      // where the signature starts, just after any header
    std::int64_t contentOffset = 0;        // where the content after the signature starts
    int signatureLines = 0;                // whole lines the signature took (comment lines before it too)
};

// Reads the header and the signature from the file's current position. The
// bytes are read as they are, never unscrambled: the header and the signature
// are outside the scrambled content. Leaves the file position unspecified. A
// length-prefixed signature whose body the file cannot hold is an EndOfFile
// archive error.
QDAT_API ArchiveEnvelope ReadArchiveEnvelope(File& file);

// A signature trimmed of blanks, tabs, line ends and commas on both sides.
QDAT_API std::string TrimSignature(std::string_view signature);

// A signature as documents compare it: blanks, tabs, line ends and commas
// trimmed on both sides, ASCII letters upper-cased.
QDAT_API std::string NormalizeSignature(std::string_view signature);

}  // namespace qdat
