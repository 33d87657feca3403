// Documents whose whole content is one list of rows by station, walked with
// a cursor: the data block, the document base with the cursor operations and
// the repair step, and the content block of their rows.
#pragma once

#include <memory>
#include <span>
#include <utility>

#include <qdat/docbase/DocumentKind.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/station/StationCursor.h>

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
    // A kind whose data block holds more than the rows hands in its own block.
    explicit StationCursorDocument(const DocumentKind& kind,
                                   std::unique_ptr<StationCursorData<Row>> data = nullptr)
        : QDocument(kind, data ? std::move(data) : std::make_unique<StationCursorData<Row>>()) {}

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

// The content block of such a document's rows, for its kind's description:
// the rows in order, edited by the table editor with default rows.
template <class Doc>
constexpr ContentBlock StationRowsBlock(const char* key, std::span<const ColumnDescription> columns) {
    ContentBlock block{key, columns};
    block.count = [](QDocument& doc) { return static_cast<Doc&>(doc).Rows().GetCount(); };
    block.row = [](QDocument& doc, int index) -> void* { return static_cast<Doc&>(doc).Rows().GetAt(index); };
    block.insertAt = [](QDocument& doc, int index) {
        return static_cast<Doc&>(doc).Rows().InsertDefaultAt(index);
    };
    block.removeAt = [](QDocument& doc, int index) { return static_cast<Doc&>(doc).Rows().RemoveAt(index); };
    block.rowArray = [](QDocument& doc, std::size_t& stride) -> const void* {
        const auto& rows = static_cast<const Doc&>(doc).Rows().GetRows();
        stride = sizeof(*rows.GetData());
        return rows.GetSize() > 0 ? rows.GetData() : nullptr;
    };
    return block;
}

}  // namespace qdat
