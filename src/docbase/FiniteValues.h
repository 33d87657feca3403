// Numbers that must be finite where they enter or leave a document: a file
// holding "nan" or "inf" is corrupt (the text scanner takes both), and a value
// that is not finite is never written, since no computation could use it when
// it came back.
#pragma once

#include <cmath>
#include <string>

#include "docbase/DataArchive.h"

namespace qdat {

// Reads a double; a value that is not finite is a BadFormat error naming
// what was expected.
inline double ReadFinite(DataArchive& ar, const char* what) {
    double v = 0.0;
    ar >> v;
    if (!std::isfinite(v))
        ar.ThrowError(QArchiveException::BadFormat, std::string("a finite ") + what + " expected");
    return v;
}

// Refuses, before anything of it is written, a value that is not finite: a
// GenericError naming what it is.
inline void RequireFiniteToWrite(DataArchive& ar, double v, const char* what) {
    if (!std::isfinite(v))
        ar.ThrowError(QArchiveException::GenericError, std::string("a ") + what + " is not finite");
}

}  // namespace qdat
