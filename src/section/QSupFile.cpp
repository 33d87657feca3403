#include <qdat/section/QSupFile.h>

#include <algorithm>

#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/detail/FiniteValues.h>
#include <qdat/host/Context.h>
#include <qdat/section/SupEvaluator.h>
#include <qdat/station/StationCursor.h>

namespace qdat {

namespace {

class QSupData : public DocumentData {
public:
    GrowArray<SupRow> Rows;
    std::int32_t CurrentRow = -1;
    // The evaluator of the transition tool while it runs; not owned here.
    SupEvaluator* ToolEvaluator = nullptr;
};

constexpr TypeString kTypeStrings[] = {
    {107, 0x8002,
     "Superelevation|Superelevation table\nSuperelevation\nSuperelevation\nSuperelevation files "
     "(*.sup)\n.sup"},
};

// A road signature, and any signature the kind does not know, also clears the
// railway flag: a document whose last read failed on a railway table still
// carries it, and would read the next road table three items a line.
using namespace FormatFlag;
constexpr SignatureRule kSignatures[] = {
    {"RADUDAR5.83_SUP_SHUJU", 583, 0, LegacyLayout | RailwayVariant, SignatureUse::Written},
    {"RADUDAR5.8_SUP_SHUJU", 580, 0, LegacyLayout | RailwayVariant},
    {"RADUDAR5.83_SUP_SHUJU_RAILWAY", 583, RailwayVariant, LegacyLayout, SignatureUse::Written},
};

constexpr ColumnDescription kRowColumns[] = {
    Column<&SupRow::Station>("station", "m"),
    Column<&SupRow::LeftInner>("leftInner", "%", SupRow::NoValue),
    Column<&SupRow::LeftMiddle>("leftMiddle", "%", SupRow::NoValue),
    Column<&SupRow::LeftOuter>("leftOuter", "%", SupRow::NoValue),
    Column<&SupRow::RightInner>("rightInner", "%", SupRow::NoValue),
    Column<&SupRow::RightMiddle>("rightMiddle", "%", SupRow::NoValue),
    Column<&SupRow::RightOuter>("rightOuter", "%", SupRow::NoValue),
};

constexpr ContentBlock kContent[] = {
    {"rows", kRowColumns, [](QDocument& doc) { return static_cast<QSupFile&>(doc).GetRowCount(); },
     [](QDocument& doc, int i) -> void* { return static_cast<QSupFile&>(doc).GetRow(i); }},
};

}  // namespace

const DocumentKind QSupFile::classRecord{
    "QSupFile",
    &QDocument::classRecord,
    [] { return std::make_unique<QSupFile>(); },
    {.typeStrings = kTypeStrings,
     .currentVersion = 583,
     .signatures = kSignatures,
     .unknownSignature = {{}, 0, 0, LegacyLayout | RailwayVariant, SignatureUse::Refused},
     .content = kContent,
     .fileName = "superelevation file"}};

// ---------------------------------------------------------------------------
// Rows

double* SupRow::Cell(int column) {
    return const_cast<double*>(static_cast<const SupRow*>(this)->Cell(column));
}

const double* SupRow::Cell(int column) const {
    switch (column) {
        case 1:
            return &LeftInner;
        case 2:
            return &RightInner;
        case 3:
            return &LeftMiddle;
        case 4:
            return &RightMiddle;
        case 5:
            return &LeftOuter;
        case 6:
            return &RightOuter;
        default:
            return nullptr;
    }
}

bool SupRow::HasValue(int column) const {
    if (column == kCompleteRow) return IsComplete();
    const double* cell = Cell(column);
    return cell && *cell != NoValue;
}

bool SupRow::IsComplete() const {
    for (int c = 1; c <= 6; ++c)
        if (*Cell(c) == NoValue) return false;
    return true;
}

bool SupRow::HasSameValues(const SupRow& other) const {
    for (int c = 1; c <= 6; ++c)
        if (*Cell(c) != *other.Cell(c)) return false;
    return true;
}

// ---------------------------------------------------------------------------
// The document

QSupFile::QSupFile() : QDocument(classRecord, std::make_unique<QSupData>()) {}

QSupFile::~QSupFile() = default;

GrowArray<SupRow>& QSupFile::GetRows() {
    return DataAs<QSupData>().Rows;
}

const GrowArray<SupRow>& QSupFile::GetRows() const {
    return DataAs<QSupData>().Rows;
}

void QSupFile::DeleteContents() {
    GetRows().RemoveAll();
    QDocument::DeleteContents();
}

int QSupFile::SerializeContent(DataArchive& ar) {
    if (ar.IsStoring())
        StoreRows(ar);
    else
        LoadRows(ar);
    return 1;
}

void QSupFile::LoadRows(DataArchive& ar) {
    ar >> StationAsText;
    const bool railway = ar.IsRailwayVariant();
    const bool unsigned0 = GetFileVersion() == 0;
    constexpr const char* kValue = "cross-fall";
    RowCollector<SupRow> collected(ar);
    while (!ar.AtEnd()) {
        SupRow& r = collected.Add();
        ar >> Precision(2);
        if (railway) {
            r.LeftMiddle = ReadFinite(ar, kValue);
            ar >> r.Station;
            r.RightMiddle = ReadFinite(ar, kValue);
            r.LeftInner = r.LeftOuter = r.LeftMiddle;
            r.RightInner = r.RightOuter = r.RightMiddle;
        } else if (unsigned0) {
            // The oldest tables: middle and outer stand the other way round,
            // and the middle part falls as the inner one.
            ReadFinite(ar, kValue);
            r.LeftOuter = ReadFinite(ar, kValue);
            r.LeftInner = ReadFinite(ar, kValue);
            ar >> r.Station;
            r.RightInner = ReadFinite(ar, kValue);
            r.RightOuter = ReadFinite(ar, kValue);
            ReadFinite(ar, kValue);
            r.LeftMiddle = r.LeftInner;
            r.RightMiddle = r.RightInner;
        } else {
            r.LeftOuter = ReadFinite(ar, kValue);
            r.LeftMiddle = ReadFinite(ar, kValue);
            r.LeftInner = ReadFinite(ar, kValue);
            ar >> r.Station;
            r.RightInner = ReadFinite(ar, kValue);
            r.RightMiddle = ReadFinite(ar, kValue);
            r.RightOuter = ReadFinite(ar, kValue);
        }
        ar >> EndRecord;
    }
    collected.MoveTo(GetRows());
}

// A text line reads across the section, from the left edge to the right edge,
// with the station in the middle.
void QSupFile::StoreRows(DataArchive& ar) {
    ar << StationAsText;
    const bool railway = ar.IsRailwayVariant();
    for (const SupRow& r : GetRows()) {
        CheckFinite(ar, r.Station.GetValue(), "superelevation station");
        for (int c = railway ? 3 : 1; c <= (railway ? 4 : 6); ++c) CheckFinite(ar, *r.Cell(c), "cross-fall");
        ar << Precision(2);
        if (railway)
            ar << r.LeftMiddle << r.Station << r.RightMiddle;
        else
            ar << r.LeftOuter << r.LeftMiddle << r.LeftInner << r.Station << r.RightInner << r.RightMiddle
               << r.RightOuter;
        ar << EndRecord;
    }
}

SupRow* QSupFile::GetRow(int index) {
    GrowArray<SupRow>& rows = GetRows();
    return index >= 0 && index < rows.GetSize() ? &rows[index] : nullptr;
}

const SupRow* QSupFile::GetRow(int index) const {
    const GrowArray<SupRow>& rows = GetRows();
    return index >= 0 && index < rows.GetSize() ? &rows[index] : nullptr;
}

SupRow QSupFile::GetRowCopy(int index) const {
    const SupRow* row = GetRow(index);
    return row ? *row : SupRow();
}

void QSupFile::AppendRow(const SupRow& row) {
    GetRows().Add(row);
    SetModifiedFlag(true);
}

bool QSupFile::SetRow(int index, const SupRow& row) {
    SupRow* target = GetRow(index);
    if (!target) return false;
    *target = row;
    SetModifiedFlag(true);
    return true;
}

bool QSupFile::InsertRow(int index, const SupRow& row) {
    if (index < 0 || index > GetRowCount()) return false;
    GetRows().InsertAt(index, row);
    SetModifiedFlag(true);
    return true;
}

bool QSupFile::RemoveRow(int index) {
    if (!GetRow(index)) return false;
    GetRows().RemoveAt(index);
    SetModifiedFlag(true);
    return true;
}

void QSupFile::AddRow(SupRow row) {
    GrowArray<SupRow>& rows = GetRows();
    const int n = rows.GetSize();
    if (n > 1) {
        if (row.HasSameValues(rows[n - 1]) && row.HasSameValues(rows[n - 2]))
            rows[n - 1].Station = row.Station;
        else
            rows.Add(std::move(row));
    } else {
        if (n == 1 && rows[0].Station == row.Station) return;
        rows.Add(std::move(row));
    }
    SetModifiedFlag(true);
}

int QSupFile::GetCurrentRow() const {
    return DataAs<QSupData>().CurrentRow;
}

void QSupFile::SetCurrentRow(int index) {
    DataAs<QSupData>().CurrentRow = index;
}

bool QSupFile::FindBracket(const QStation& s) {
    const GrowArray<SupRow>& rows = GetRows();
    const int n = rows.GetSize();
    int& k = DataAs<QSupData>().CurrentRow;
    const auto fail = [&k] {
        k = -1;
        return false;
    };
    if (n < 2) return fail();
    if (k >= n) k = -1;
    if (k < 0) {
        int i = 0;
        while (i < n && !(rows[i].Station >= s)) ++i;
        if (i == n) return fail();
        if (i > 0) {
            k = i - 1;
            return true;
        }
        if (rows[0].Station > s + 0.001) return fail();
        k = 0;
        return true;
    }
    if (k == n - 1) k = n - 2;
    if (rows[k].Station <= s) {
        for (; k < n - 1; ++k)
            if (rows[k + 1].Station >= s) return true;
        return fail();
    }
    for (; k >= 0; --k)
        if (rows[k].Station <= s) return true;
    return fail();
}

SupRow* QSupFile::GetPreviousValued(int column) {
    const int current = GetCurrentRow();
    if (!GetRow(current)) return nullptr;
    for (int r = current; r >= 0; --r)
        if (GetRows()[r].HasValue(column)) return &GetRows()[r];
    return GetRow(current);
}

SupRow QSupFile::GetPreviousValuedCopy(int column) const {
    const SupRow* row = const_cast<QSupFile*>(this)->GetPreviousValued(column);
    return row ? *row : SupRow();
}

// The search runs to the last row: a column whose next value stands only in
// the last row is interpolated towards that value, not towards the marker of
// the row after the current one.
SupRow* QSupFile::GetNextValued(int column) {
    const int current = std::max(GetCurrentRow(), -1);
    const int n = GetRowCount();
    for (int r = current + 1; r < n; ++r)
        if (GetRows()[r].HasValue(column)) return &GetRows()[r];
    return current < n ? GetRow(current + 1) : nullptr;
}

SupRow QSupFile::GetNextValuedCopy(int column) const {
    const SupRow* row = const_cast<QSupFile*>(this)->GetNextValued(column);
    return row ? *row : SupRow();
}

bool QSupFile::MoveFirst() {
    SetCurrentRow(0);
    return IsAtLastRow();
}

bool QSupFile::IsAtLastRow() const {
    return GetCurrentRow() >= GetRowCount() - 1;
}

bool QSupFile::MoveToNextValued(int column) {
    const int n = GetRowCount();
    int& k = DataAs<QSupData>().CurrentRow;
    k = std::clamp(k, -1, std::max(n - 1, -1)) + 1;
    while (k < n - 1 && !GetRows()[k].HasValue(column)) ++k;
    return k <= n - 1;
}

SupRow* QSupFile::GetCurrentRowPointer() {
    return GetRow(GetCurrentRow());
}

SupRow QSupFile::GetCurrentRowCopy() const {
    return GetRowCopy(GetCurrentRow());
}

bool QSupFile::SetCurrentRowValues(const SupRow& row) {
    return SetRow(GetCurrentRow(), row);
}

bool QSupFile::RunTransitionTool() {
    const RuntimeClass* evaluatorClass = SupEvaluator::GetSelectedEvaluatorClass();
    if (!evaluatorClass) return false;
    SupEvaluator*& slot = DataAs<QSupData>().ToolEvaluator;
    // The call that puts an evaluator into the slot destroys it and empties
    // the slot again, however it ends; a call from inside the host's window
    // works with the evaluator already there.
    std::unique_ptr<SupEvaluator> owned;
    SupEvaluator* const previous = slot;
    if (!slot || &slot->GetClassRecord() != evaluatorClass) {
        owned = SupEvaluator::CreateEvaluator(*evaluatorClass);
        if (!owned) return false;
        owned->Attach(this);
        slot = owned.get();
    }
    struct EmptySlot {
        SupEvaluator*& slot;
        SupEvaluator* previous;
        bool owned;
        ~EmptySlot() {
            if (owned) slot = previous;
        }
    } emptySlot{slot, previous, owned != nullptr};
    if (TransitionToolWindow* window = Context::Current().transitionToolWindow)
        return window->RunTransitionTool(*this, *slot, GetCurrentRow());
    return slot->CalculateTransition(GetCurrentRow());
}

}  // namespace qdat
