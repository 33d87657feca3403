// JDWDoc: a companion list of the plan alignment data, a header number and
// named records of five numbers and a flag. The file has no signature (the
// tools know it by its extension, .jdw); the host gives the numbers their
// meaning.
#pragma once

#include <cstdint>
#include <string>

#include <qdat/host/Export.h>
#include <qdat/plan/RecordListDocument.h>

namespace qdat {

struct QDAT_API JdwHeader {
    double HeaderValue = 0.0;

    void Serialize(DataArchive& ar);
    bool IsFinite() const;
};

struct QDAT_API JdwRecord {
    std::string Name;
    double Value1 = 0.0;
    double Value2 = 0.0;
    double Value3 = 0.0;
    double Value4 = 0.0;
    double Value5 = 0.0;
    std::int32_t Flag = 0;

    void Serialize(DataArchive& ar);
    bool IsFinite() const;
    bool operator==(const JdwRecord&) const = default;
};

class QDAT_API JDWDoc : public RecordListDocument<JdwHeader, JdwRecord> {
public:
    // A new document holds one record with the name of string resource 216.
    JDWDoc();

    static const DocumentKind classRecord;
};

}  // namespace qdat
