#include <qdat/docbase/detail/FiniteValues.h>

#include <cmath>
#include <string>

#include <qdat/docbase/DataArchive.h>

namespace qdat {

std::string NonFiniteText(double value) {
    if (std::isnan(value)) return "NaN";
    return value < 0 ? "-infinity" : "infinity";
}

double ReadFinite(DataArchive& ar, const char* what) {
    double value = 0.0;
    ar >> Finite(value, what);
    return value;
}

void CheckFinite(const DataArchive& ar, double value, const char* what) {
    if (!std::isfinite(value))
        ar.ThrowError(
            QArchiveException::GenericError,
            std::string("the ") + what + " is " + NonFiniteText(value) + ", which cannot be written");
}

void WriteFinite(DataArchive& ar, double value, const char* what) {
    ar << Finite(value, what);
}

}  // namespace qdat
