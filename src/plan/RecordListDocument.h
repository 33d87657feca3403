// Documents whose content is a short header and a list of named records of
// numbers, without signature and without a record count: the JDW and JDX
// companions of the plan alignment data. The library keeps, reads, writes
// and edits them; it does not interpret their numbers.
//
// The file is the header, then the records up to the end of the data. An
// empty record name is written as "NULL", and "NULL" reads back as an empty
// name.
#pragma once

#include <cmath>
#include <memory>
#include <span>
#include <string>

#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/DocumentKind.h>
#include <qdat/docbase/GrowArray.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/station/StationCursor.h>

namespace qdat {

// Record names as stored: an empty name is written as "NULL", which reads
// back as an empty name.
inline std::string StoredRecordName(const std::string& name) {
    return name.empty() ? "NULL" : name;
}
inline void TakeStoredRecordName(std::string& name) {
    if (name == "NULL") name.clear();
}

// Whether every one of the numbers is finite.
template <class... Numbers>
bool AllFinite(Numbers... numbers) {
    return (std::isfinite(static_cast<double>(numbers)) && ...);
}

// Header and Record each have: Serialize(DataArchive&), reading or writing
// itself; IsFinite(), whether every number is finite. A Record has a Name.
template <class Header, class Record>
class RecordListDocument : public QDocument {
public:
    class Data : public DocumentData {
    public:
        Header header;
        GrowArray<Record> records;
    };

    // List operations of the host.
    int GetCount() const { return Records().GetSize(); }
    int GetUpperBound() const { return Records().GetUpperBound(); }
    // Resizes with the array's growth rule (growBy 0: size / 8 within 4 to
    // 1024; -1 keeps the step); new records are empty.
    void SetSize(int newSize, int growBy = -1) { Records().SetSize(newSize, growBy); }
    int Add(const Record& record) { return Records().Add(record); }
    void Append(const GrowArray<Record>& other) {
        const GrowArray<Record> copy = other;  // other may be this list
        for (const Record& r : copy) Records().Add(r);
    }
    // count copies at index; past the end the list grows to reach it.
    void InsertAt(int index, const Record& record, int count = 1) {
        Records().InsertAt(index, record, count);
    }
    void RemoveAt(int index, int count = 1) { Records().RemoveAt(index, count); }
    Record* GetAt(int index) { return index >= 0 && index < GetCount() ? &Records()[index] : nullptr; }

    Header& GetHeader() { return DataAs<Data>().header; }
    const Header& GetHeader() const { return DataAs<Data>().header; }
    GrowArray<Record>& Records() { return DataAs<Data>().records; }
    const GrowArray<Record>& Records() const { return DataAs<Data>().records; }

    // Empties the list (and sets the header back).
    void DeleteContents() override {
        Records().RemoveAll();
        GetHeader() = Header();
        QDocument::DeleteContents();
    }

    int SerializeContent(DataArchive& ar) override {
        if (ar.IsStoring()) {
            if (!GetHeader().IsFinite())
                ar.ThrowError(QArchiveException::GenericError, "a header value is not a finite number");
            for (int i = 0; i < GetCount(); ++i)
                if (!Records()[i].IsFinite())
                    ar.ThrowError(
                        QArchiveException::GenericError,
                        "record " + std::to_string(i) + " holds a value that is not a finite number");
            GetHeader().Serialize(ar);
            for (Record& r : Records()) r.Serialize(ar);
            return 1;
        }
        Header header;
        header.Serialize(ar);
        if (!header.IsFinite()) ar.ThrowError(QArchiveException::BadFormat, "a finite header value expected");
        // No count: records follow up to the end of the data.
        RowCollector<Record> records(ar);
        while (!ar.AtEnd()) {
            Record& r = records.Add();
            r.Serialize(ar);
            if (!r.IsFinite()) ar.ThrowError(QArchiveException::BadFormat, "a finite record value expected");
        }
        GetHeader() = header;
        records.MoveTo(Records());
        return 1;
    }

protected:
    // A new document holds one record, `first`.
    RecordListDocument(const DocumentKind& kind, const Record& first)
        : QDocument(kind, std::make_unique<Data>()) {
        Records().Add(first);
    }
};

// The content of such a document for its kind's description: the header's
// fields, then the records.
template <class Doc>
constexpr ContentBlock RecordHeaderBlock(std::span<const ColumnDescription> columns) {
    ContentBlock block{nullptr, columns};
    block.row = [](QDocument& doc, int) -> void* { return &static_cast<Doc&>(doc).GetHeader(); };
    return block;
}
template <class Doc>
constexpr ContentBlock RecordListBlock(std::span<const ColumnDescription> columns) {
    ContentBlock block{"records", columns};
    block.count = [](QDocument& doc) { return static_cast<Doc&>(doc).GetCount(); };
    block.row = [](QDocument& doc, int index) -> void* { return static_cast<Doc&>(doc).GetAt(index); };
    return block;
}

}  // namespace qdat
