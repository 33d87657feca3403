// The JDW list: its kind and its records.
#include <qdat/plan/JDWDoc.h>

#include <qdat/host/Resources.h>
#include <qdat/plan/detail/PlanStrings.h>

namespace qdat {

namespace {

// The kind has no document-type string of its own (type 0): the text only
// names its files.
constexpr TypeString kTypeStrings[] = {
    {0, 0, "JDW list|JDW record list\nJDW list\nJdwList\nJDW lists (*.jdw)\n.jdw"},
};

// No signature is read or written.
constexpr SignatureRule kSignatures[] = {
    {"", 0, 0, 0, SignatureUse::WrittenOnly},
};

constexpr ColumnDescription kHeaderColumns[] = {
    Column<&JdwHeader::HeaderValue>("headerValue"),
};
constexpr ColumnDescription kRecordColumns[] = {
    TextColumn<&JdwRecord::Name>("name"), Column<&JdwRecord::Value1>("value1"),
    Column<&JdwRecord::Value2>("value2"), Column<&JdwRecord::Value3>("value3"),
    Column<&JdwRecord::Value4>("value4"), Column<&JdwRecord::Value5>("value5"),
    Column<&JdwRecord::Flag>("flag"),
};
constexpr ContentBlock kContent[] = {
    RecordHeaderBlock<JDWDoc>(kHeaderColumns),
    RecordListBlock<JDWDoc>(kRecordColumns),
};

JdwRecord FirstRecord() {
    JdwRecord r;
    r.Name = LoadResourceString(plan_strings::kNewJdwRecord);
    return r;
}

}  // namespace

void JdwHeader::Serialize(DataArchive& ar) {
    if (ar.IsStoring())
        ar << HeaderValue << EndRecord;
    else
        ar >> HeaderValue >> EndRecord;
}

bool JdwHeader::IsFinite() const {
    return AllFinite(HeaderValue);
}

void JdwRecord::Serialize(DataArchive& ar) {
    if (ar.IsStoring()) {
        ar << StoredRecordName(Name) << Precision(3) << Value1 << Value2 << Value3 << Value4 << Value5 << Flag
           << EndRecord;
        return;
    }
    ar >> Name >> Precision(3) >> Value1 >> Value2 >> Value3 >> Value4 >> Value5 >> Flag >> EndRecord;
    TakeStoredRecordName(Name);
}

bool JdwRecord::IsFinite() const {
    return AllFinite(Value1, Value2, Value3, Value4, Value5);
}

const DocumentKind JDWDoc::classRecord{"JDWDoc",
                                       &QDocument::classRecord,
                                       [] { return std::make_unique<JDWDoc>(); },
                                       {.typeStrings = kTypeStrings,
                                        .signatures = kSignatures,
                                        .content = kContent,
                                        .fileName = "JDW record file"}};

JDWDoc::JDWDoc() : RecordListDocument(classRecord, FirstRecord()) {}

}  // namespace qdat
