// Values that must be finite numbers. Every computation on the content of a
// document assumes ordered, finite numbers: a file that holds NaN or an
// infinity is refused when it is read, and a document that holds one is not
// written (it could not be read back). In a chain of values, the archive's
// Finite(value, what) does the same (docbase/DataArchive.h).
#pragma once

#include <string>

namespace qdat {

class DataArchive;

// Reads a double; a value that is not finite is a BadFormat archive error
// naming what was expected and what was found (in text form the token as the
// file holds it).
double ReadFinite(DataArchive& ar, const char* what);
// A value that is not finite is a GenericError archive error naming what
// could not be written.
void CheckFinite(const DataArchive& ar, double value, const char* what);
// Writes a double after CheckFinite.
void WriteFinite(DataArchive& ar, double value, const char* what);

// "NaN", "infinity" or "-infinity", for messages about such a value.
std::string NonFiniteText(double value);

}  // namespace qdat
