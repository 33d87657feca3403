// Documents whose whole content is one list of rows by station, walked with
// a cursor: the data block, the document base with the cursor operations and
// the repair step, and the table-editor descriptor over their rows.
#pragma once

#include <memory>
#include <utility>

#include "docbase/DocDataType.h"
#include "docbase/QDocument.h"
#include "station/StationCursor.h"

namespace qdat {

// The data block of such a document: the document state, then the cursor
// and the rows.
template <class Row>
class StationCursorData : public DocumentData {
public:
    StationCursor<Row> rows;
};

// A document whose content is one StationCursor. It supplies the cursor
// operations, the repair step and DeleteContents; the concrete class adds its
// signatures, its content layout and the names of its rows.
template <class Row>
class StationCursorDocument : public QDocument {
public:
    int GetCursor() const { return Rows().GetCursor(); }
    void SetCursor(int index) { Rows().SetCursor(index); }
    bool MoveFirst() { return Rows().MoveFirst(); }
    bool MoveNext() { return Rows().MoveNext(); }
    bool MovePrev() { return Rows().MovePrev(); }
    bool MoveLast() { return Rows().MoveLast(); }
    bool IsBeforeFirst() const { return Rows().IsBeforeFirst(); }
    bool IsAfterLast() const { return Rows().IsAfterLast(); }
    bool IsCursorValid() const { return Rows().IsCursorValid(); }
    Row* SeekStation(const QStation& station) { return Rows().SeekStation(station); }
    bool FindStation(const QStation& station) { return Rows().FindStation(station); }

    bool NeedsRepair() override { return Rows().NeedsRepair(); }
    bool Repair() override { return Rows().Repair(); }
    void DeleteContents() override {
        Rows().Clear();
        QDocument::DeleteContents();
    }

    StationCursor<Row>& Rows() { return DataAs<StationCursorData<Row>>().rows; }
    const StationCursor<Row>& Rows() const { return DataAs<StationCursorData<Row>>().rows; }

protected:
    StationCursorDocument() : QDocument(std::make_unique<StationCursorData<Row>>()) {}

    // A signature as the documents compare it: blanks trimmed, upper case.
    static std::string SignatureForComparing(const std::string& signature) {
        const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
        const auto first = std::find_if_not(signature.begin(), signature.end(), blank);
        const auto last = std::find_if_not(signature.rbegin(), signature.rend(), blank).base();
        std::string out(first, first < last ? last : first);
        for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return out;
    }

    // Edits through the document's own members mark it modified.
    void SetRowAt(int index, const Row& row) {
        if (Row* target = Rows().GetAt(index)) {
            *target = row;
            SetModifiedFlag(true);
        }
    }
    void InsertRow(const Row& row) {
        Rows().InsertOrReplace(row);
        SetModifiedFlag(true);
    }
};

// A descriptor over a document class Doc whose rows are a StationCursor
// (Doc::Rows()), with a fixed table of columns.
template <class Doc>
class StationRowsDataType : public DocDataType {
public:
    struct Numbers {
        int nameMessage, group, firstDisplay, secondDisplay;
    };
    StationRowsDataType(Numbers numbers, const ColumnDescription* columns, int columnCount)
        : m_numbers(numbers), m_columns(columns), m_columnCount(columnCount) {}

    int GetNameMessage() const override { return m_numbers.nameMessage; }
    int GetGroup() const override { return m_numbers.group; }
    int GetFirstDisplayNumber() const override { return m_numbers.firstDisplay; }
    int GetSecondDisplayNumber() const override { return m_numbers.secondDisplay; }
    const ColumnDescription* GetColumn(int index) const override {
        return index >= 0 && index < m_columnCount ? &m_columns[index] : nullptr;
    }
    const RuntimeClass& GetDocumentClass() const override { return Doc::classRecord; }

    int GetRowCount(QDocument& doc) const override {
        Doc* d = dynamic_cast<Doc*>(&doc);
        return d ? d->Rows().GetCount() : 0;
    }
    void* GetRowAt(QDocument& doc, int index) const override {
        Doc* d = dynamic_cast<Doc*>(&doc);
        return d ? static_cast<void*>(d->Rows().GetAt(index)) : nullptr;
    }
    bool InsertRowAt(QDocument& doc, int index) const override {
        Doc* d = dynamic_cast<Doc*>(&doc);
        if (!d || !d->Rows().InsertDefaultAt(index)) return false;
        d->SetModifiedFlag(true);
        return true;
    }
    bool DeleteRowAt(QDocument& doc, int index) const override {
        Doc* d = dynamic_cast<Doc*>(&doc);
        if (!d || !d->Rows().RemoveAt(index)) return false;
        d->SetModifiedFlag(true);
        return true;
    }

private:
    Numbers m_numbers;
    const ColumnDescription* m_columns;
    int m_columnCount;
};

}  // namespace qdat
