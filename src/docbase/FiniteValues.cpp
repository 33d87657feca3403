#include "docbase/FiniteValues.h"

#include <cmath>
#include <string>

#include "docbase/DataArchive.h"

namespace qdat {

namespace {
std::string NonFiniteText(double value) {
    if (std::isnan(value)) return "NaN";
    return value < 0 ? "-infinity" : "infinity";
}
}  // namespace

double ReadFinite(DataArchive& ar, const char* what) {
    double value = 0.0;
    ar >> value;
    if (!std::isfinite(value))
        ar.ThrowError(QArchiveException::BadFormat,
                      std::string("a finite ") + what + " expected, found " + NonFiniteText(value));
    return value;
}

void CheckFinite(const DataArchive& ar, double value, const char* what) {
    if (!std::isfinite(value))
        ar.ThrowError(
            QArchiveException::GenericError,
            std::string("the ") + what + " is " + NonFiniteText(value) + ", which cannot be written");
}

void WriteFinite(DataArchive& ar, double value, const char* what) {
    CheckFinite(ar, value, what);
    ar << value;
}

}  // namespace qdat
