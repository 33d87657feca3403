// QSupFile: the superelevation table (SUP) of one alignment. Each row gives,
// at a station, the cross-fall of the inner, middle and outer part of the
// left and of the right side of the section, in per cent (negative: falling
// away from the centre line). A road table holds all six values a row; a
// railway table one a side, which stands for all three parts of that side.
//
// A cell holding NoValue (9999) gives no value in its column: the row only
// fixes the other cells, and the searches below pass over it. How a column is
// interpolated between its rows is the evaluator's (section/SupEvaluator.h).
//
// Signatures: "RADUDAR5.83_SUP_SHUJU" (583, written), "RADUDAR5.8_SUP_SHUJU"
// (580) and "RADUDAR5.83_SUP_SHUJU_RAILWAY" (583, railway). A file without a
// signature is an old table whose columns stand in another order. No row count
// is stored: rows follow each other to the end of the file.
#pragma once

#include <memory>

#include <qdat/docbase/GrowArray.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/host/Export.h>
#include <qdat/station/QStation.h>

namespace qdat {

class SupEvaluator;

// A row of the table. Column numbers 1-6 name its cells in the searches and
// in the evaluator: odd numbers the left side, even the right, from the
// inner part out.
struct QDAT_API SupRow {
    static constexpr double NoValue = 9999.0;
    // The column number that asks for a complete row in MoveToNextValued.
    static constexpr int kCompleteRow = 255;

    SupRow() = default;
    SupRow(const SupRow&) = default;
    SupRow& operator=(const SupRow&) = default;
    virtual ~SupRow() = default;

    // The cell of a column number 1-6; null for any other number.
    double* Cell(int column);
    const double* Cell(int column) const;
    // Whether the cell of column 1-6 holds a value; for kCompleteRow whether
    // every cell does; false for any other number.
    bool HasValue(int column) const;
    // No cell holds NoValue.
    bool IsComplete() const;
    // All six values equal; the station is not compared.
    bool HasSameValues(const SupRow& other) const;

    QStation Station;
    double LeftInner = 0.0;    // column 1
    double LeftMiddle = 0.0;   // column 3
    double LeftOuter = 0.0;    // column 5
    double RightInner = 0.0;   // column 2
    double RightMiddle = 0.0;  // column 4
    double RightOuter = 0.0;   // column 6
};

class QDAT_API QSupFile : public QDocument {
public:
    QSupFile();
    ~QSupFile() override;

    int SerializeContent(DataArchive& ar) override;
    // Empties the rows; the current row keeps its value, callers position it
    // (MoveFirst, FindBracket) before they use it.
    void DeleteContents() override;

    GrowArray<SupRow>& GetRows();
    const GrowArray<SupRow>& GetRows() const;
    int GetRowCount() const { return GetRows().GetSize(); }
    // The row at index; null (or a new row, for the copy) out of range.
    SupRow* GetRow(int index);
    const SupRow* GetRow(int index) const;
    SupRow GetRowCopy(int index) const;

    // Edits; each marks the document modified. SetRow and InsertRow answer
    // false, changing nothing, for an index out of range (InsertRow takes 0
    // to the row count).
    void AppendRow(const SupRow& row);
    bool SetRow(int index, const SupRow& row);
    bool InsertRow(int index, const SupRow& row);
    bool RemoveRow(int index);
    // Appends, collapsing runs: a row equal to the last two rows only moves
    // the last row to its station, so a run of equal rows keeps its first and
    // its last row. A second row closer than 0.001 to the only one is dropped
    // (and the document is then not modified).
    void AddRow(SupRow row);

    // Finds k with Station[k] <= s <= Station[k+1] (tolerant comparisons),
    // starting from the current row, and leaves k there. False, with the
    // current row -1, when no pair of rows brackets s or there are fewer
    // than two rows.
    bool FindBracket(const QStation& station);
    int GetCurrentRow() const;
    void SetCurrentRow(int index);

    // The nearest row at or before the current row whose cell in column 1-6
    // holds a value; when none does, the current row (null when it is no row).
    SupRow* GetPreviousValued(int column);
    SupRow GetPreviousValuedCopy(int column) const;
    // The nearest row after the current row whose cell in column 1-6 holds a
    // value; when none does, the row after the current row (null when there
    // is none).
    SupRow* GetNextValued(int column);
    SupRow GetNextValuedCopy(int column) const;

    // Current row 0; true when that row is the last one or there is none.
    bool MoveFirst();
    // The current row is the last one or beyond.
    bool IsAtLastRow() const;
    // Steps the current row forward to the next row, before the last one,
    // that holds a value in column 1-6 (or is complete, for kCompleteRow),
    // else to the last row. False when that leaves it past the last row (it
    // started on the last row or beyond).
    bool MoveToNextValued(int column);
    SupRow* GetCurrentRowPointer();
    SupRow GetCurrentRowCopy() const;
    bool SetCurrentRowValues(const SupRow& row);

    // The transition tool on the current row: an evaluator of the selected
    // evaluator class (SelectEvaluatorClass, section/SupEvaluator.h) is
    // attached to the document and inserts the rows of the transition
    // between the current row and the next. With the host's calculation
    // window installed (SetTransitionToolWindow) the window runs the
    // calculation. The evaluator lives only for the call. Returns whether
    // transition rows were inserted between the two rows; false, doing
    // nothing, when no evaluator class is registered.
    bool RunTransitionTool();

    static const DocumentKind classRecord;

private:
    void LoadRows(DataArchive& ar);
    void StoreRows(DataArchive& ar);
};

}  // namespace qdat
