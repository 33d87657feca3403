// The JDX list: its kind and its records.
#include <qdat/plan/JDXDoc.h>

#include <qdat/host/Resources.h>
#include <qdat/plan/detail/PlanStrings.h>

namespace qdat {

namespace {

// The kind has no document-type string of its own (type 0): the text only
// names its files.
constexpr TypeString kTypeStrings[] = {
    {0, 0, "JDX list|JDX record list\nJDX list\nJdxList\nJDX lists (*.jdx)\n.jdx"},
};

// No signature is read or written.
constexpr SignatureRule kSignatures[] = {
    {"", 0, 0, 0, SignatureUse::WrittenOnly},
};

constexpr ColumnDescription kHeaderColumns[] = {
    Column<&JdxHeader::HeaderInt1>("headerInt1"),     Column<&JdxHeader::HeaderValue1>("headerValue1"),
    Column<&JdxHeader::HeaderValue2>("headerValue2"), Column<&JdxHeader::HeaderValue3>("headerValue3"),
    Column<&JdxHeader::HeaderValue4>("headerValue4"), Column<&JdxHeader::HeaderInt2>("headerInt2"),
};
constexpr ColumnDescription kRecordColumns[] = {
    TextColumn<&JdxRecord::Name>("name"), Column<&JdxRecord::Value1>("value1"),
    Column<&JdxRecord::Value2>("value2"), Column<&JdxRecord::Value3>("value3"),
    Column<&JdxRecord::Value4>("value4"), Column<&JdxRecord::Value5>("value5"),
};
constexpr ContentBlock kContent[] = {
    RecordHeaderBlock<JDXDoc>(kHeaderColumns),
    RecordListBlock<JDXDoc>(kRecordColumns),
};

JdxRecord FirstRecord() {
    JdxRecord r;
    r.Name = LoadResourceString(plan_strings::kNewJdxRecord);
    return r;
}

}  // namespace

void JdxHeader::Serialize(DataArchive& ar) {
    if (ar.IsStoring()) {
        ar << HeaderInt1 << Precision(4) << HeaderValue1 << HeaderValue2 << HeaderValue3 << Precision(8)
           << HeaderValue4 << HeaderInt2 << EndRecord;
        return;
    }
    ar >> HeaderInt1 >> Precision(4) >> HeaderValue1 >> HeaderValue2 >> HeaderValue3 >> Precision(8) >>
        HeaderValue4 >> HeaderInt2 >> EndRecord;
}

bool JdxHeader::IsFinite() const {
    return AllFinite(HeaderValue1, HeaderValue2, HeaderValue3, HeaderValue4);
}

void JdxRecord::Serialize(DataArchive& ar) {
    if (ar.IsStoring()) {
        ar << StoredRecordName(Name) << Precision(4) << Value1 << Value2 << Precision(8) << Value3
           << Precision(4) << Value4 << Value5 << EndRecord;
        return;
    }
    ar >> Name >> Precision(4) >> Value1 >> Value2 >> Precision(8) >> Value3 >> Precision(4) >> Value4 >>
        Value5 >> EndRecord;
    TakeStoredRecordName(Name);
}

bool JdxRecord::IsFinite() const {
    return AllFinite(Value1, Value2, Value3, Value4, Value5);
}

const DocumentKind JDXDoc::classRecord{"JDXDoc",
                                       &QDocument::classRecord,
                                       [] { return std::make_unique<JDXDoc>(); },
                                       {.typeStrings = kTypeStrings,
                                        .signatures = kSignatures,
                                        .content = kContent,
                                        .fileName = "JDX record file"}};

JDXDoc::JDXDoc() : RecordListDocument(classRecord, FirstRecord()) {}

}  // namespace qdat
