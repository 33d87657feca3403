// JDXDoc: a companion list of the plan alignment data, a header of two
// integers and four numbers, and named records of five numbers. The file has
// no signature (the tools know it by its extension, .jdx); the host gives the
// numbers their meaning.
#pragma once

#include <cstdint>
#include <string>

#include <qdat/host/Export.h>
#include <qdat/plan/RecordListDocument.h>

namespace qdat {

struct QDAT_API JdxHeader {
    std::int32_t HeaderInt1 = 0;
    double HeaderValue1 = 0.0;
    double HeaderValue2 = 0.0;
    double HeaderValue3 = 0.0;
    double HeaderValue4 = 0.0;
    std::int32_t HeaderInt2 = 0;

    void Serialize(DataArchive& ar);
    bool IsFinite() const;
};

struct QDAT_API JdxRecord {
    std::string Name;
    double Value1 = 0.0;
    double Value2 = 0.0;
    double Value3 = 0.0;
    double Value4 = 0.0;
    double Value5 = 0.0;

    void Serialize(DataArchive& ar);
    bool IsFinite() const;
    bool operator==(const JdxRecord&) const = default;
};

class QDAT_API JDXDoc : public RecordListDocument<JdxHeader, JdxRecord> {
public:
    // A new document holds one record with the name of string resource 250.
    JDXDoc();

    static const DocumentKind classRecord;
};

}  // namespace qdat
