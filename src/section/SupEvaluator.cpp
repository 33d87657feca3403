#include <qdat/section/SupEvaluator.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include <qdat/host/Context.h>

namespace qdat {

namespace {

// Index of a column 1-6 in the row-order arrays of the body.
int RowIndex(int column) {
    return column % 2 ? (column - 1) / 2 : 3 + (column - 2) / 2;
}

bool IsColumn(int column) {
    return column >= 1 && column <= 6;
}

std::array<double, 6> ValuesOf(const SupRow& row) {
    return {row.LeftInner, row.LeftMiddle, row.LeftOuter, row.RightInner, row.RightMiddle, row.RightOuter};
}

void SetValues(SupRow& row, const std::array<double, 6>& v) {
    row.LeftInner = v[0];
    row.LeftMiddle = v[1];
    row.LeftOuter = v[2];
    row.RightInner = v[3];
    row.RightMiddle = v[4];
    row.RightOuter = v[5];
}

constexpr std::uint32_t kCaseBits = SupEvaluator::kEndsInCrown | SupEvaluator::kSameSide |
                                    SupEvaluator::kReverses | SupEvaluator::kNoReference;

// How the pair of rows k, k+1 turns, from the signs of their inner
// cross-falls (left and right, negative falling away from the centre line).
// Both sides falling is the crown; one side rising is superelevation towards
// the other side, whose inner value is then the reference.
std::uint32_t Classify(double l0, double r0, double l1, double r1) {
    using E = SupEvaluator;
    if (l0 >= 0) {
        if (r0 > 0) return E::kNoReference;
        if (l1 >= 0) return r1 <= 0 ? E::kSameSide : E::kNoReference;
        return r1 >= 0 ? E::kReverses : E::kEndsInCrown;
    }
    if (r0 >= 0) {
        if (l1 >= 0) return r1 <= 0 ? E::kReverses | E::kRightReference : E::kNoReference;
        return r1 >= 0 ? E::kSameSide | E::kRightReference : E::kEndsInCrown | E::kRightReference;
    }
    if (l1 >= 0) return r1 > 0 ? E::kNoReference : 0;
    return r1 >= 0 ? E::kRightReference : E::kNoReference;
}

// Sorts result rows by station and merges rows closer than the station
// tolerance: the earlier row takes the later one's value in each cell it
// leaves without one, and the later row goes.
void SortAndMerge(std::vector<SupRow>& rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const SupRow& a, const SupRow& b) {
        return a.Station.GetValue() < b.Station.GetValue();
    });
    for (std::size_t i = 0; i + 1 < rows.size();) {
        if (rows[i + 1].Station == rows[i].Station) {
            for (int c = 1; c <= 6; ++c)
                if (*rows[i].Cell(c) == SupRow::NoValue) *rows[i].Cell(c) = *rows[i + 1].Cell(c);
            rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        } else {
            ++i;
        }
    }
}

// Both inner cross-falls fall away from the centre line.
bool IsCrown(const SupRow& row) {
    return row.LeftInner < 0 && row.RightInner < 0;
}

// The nearest complete row from index in steps of step (-1 or +1); null when none.
const SupRow* NearestComplete(const QSupFile& doc, int index, int step) {
    for (int i = index; i >= 0 && i < doc.GetRowCount(); i += step)
        if (doc.GetRow(i)->IsComplete()) return doc.GetRow(i);
    return nullptr;
}

// The classes registered below parent, its children only or all its
// descendants, in the order of their names.
std::vector<const RuntimeClass*> ClassesBelow(const RuntimeClass& parent, bool childrenOnly) {
    std::vector<const RuntimeClass*> out;
    for (const RuntimeClass* c : RuntimeClass::All())
        if (c != &parent && (childrenOnly ? c->GetBase() == &parent : c->IsDerivedFrom(parent)))
            out.push_back(c);
    std::sort(out.begin(), out.end(), [](const RuntimeClass* a, const RuntimeClass* b) {
        return std::strcmp(a->GetName(), b->GetName()) < 0;
    });
    return out;
}

// The class of a name registered below parent; null when there is none.
const RuntimeClass* FindBelow(const RuntimeClass& parent, const char* name) {
    const RuntimeClass* c = name ? RuntimeClass::FromName(name) : nullptr;
    return c && c != &parent && c->IsDerivedFrom(parent) ? c : nullptr;
}

}  // namespace

const RuntimeClass SupEvaluator::classRecord{kClassName, &QObject::classRecord,
                                             [] { return std::make_unique<SupEvaluator>(); }};

SupEvaluator::SupEvaluator() : m_body(std::make_shared<EvaluatorBody>()) {}

SupEvaluator::~SupEvaluator() = default;

bool SupEvaluator::ComputeValue() {
    return false;
}

bool SupEvaluator::ComputeStation() {
    return false;
}

void SupEvaluator::Attach(QSupFile* document) {
    m_body->Document = document;
    m_body->Mode = 0;
    m_body->Row = -1;
}

// ---------------------------------------------------------------------------
// Evaluation at a station

// The nearest row at or before Row and the nearest row after it that hold a
// value in the column: their stations and values become the Prev and Next
// fields.
bool SupEvaluator::FindValuedRows(int column) {
    EvaluatorBody& b = Body();
    if (!b.Document || !IsColumn(column)) return false;
    const GrowArray<SupRow>& rows = b.Document->GetRows();
    const int n = rows.GetSize();
    if (b.Row < 0 || b.Row >= n) return false;
    int prev = b.Row;
    while (prev >= 0 && !rows[prev].HasValue(column)) --prev;
    int next = b.Row + 1;
    while (next < n && !rows[next].HasValue(column)) ++next;
    if (prev < 0 || next >= n) return false;
    b.PrevStation = rows[prev].Station.GetValue();
    b.PrevValue = *rows[prev].Cell(column);
    b.NextStation = rows[next].Station.GetValue();
    b.NextValue = *rows[next].Cell(column);
    return true;
}

// The row pair is searched from the last one, with exact comparisons; the
// station of a row belongs to the pair that ends there.
bool SupEvaluator::Evaluate(double station) {
    EvaluatorBody& b = Body();
    b.Mode = 0;
    if (!b.Document) return false;
    const GrowArray<SupRow>& rows = b.Document->GetRows();
    const int n = rows.GetSize();
    if (n < 2) return false;
    int k = std::clamp(b.Row, 0, n - 2);
    if (rows[k].Station.GetValue() > station) {
        while (k >= 0 && station < rows[k].Station.GetValue()) --k;
        if (k < 0) return false;
    } else {
        while (!(station <= rows[k + 1].Station.GetValue()))
            if (++k >= n - 1) return false;
    }
    b.Row = k;
    b.ResultStation = station;
    b.Result.fill(SupRow::NoValue);
    for (int column = 1; column <= 6; ++column) {
        if (!FindValuedRows(column)) return false;
        b.Mode = static_cast<std::uint32_t>(column);
        if (!ComputeValue()) return false;
    }
    return true;
}

bool SupEvaluator::SetMode(std::uint32_t mode) {
    EvaluatorBody& b = Body();
    const int column = static_cast<int>(mode & kColumnMask);
    if (!(mode & kTransition)) {
        if (!FindValuedRows(column)) return false;
        b.Mode = mode;
        return true;
    }
    constexpr std::uint32_t kTaken = kColumnMask | kFromRowA | kOutside;
    b.Mode = (b.Mode & ~kTaken) | (mode & kTaken) | kTransition;
    b.ResultStation = 0.0;
    b.Result.fill(SupRow::NoValue);
    return AcceptanceTest(column);
}

// Whether the column has a transition event: its value in the row the event
// is measured from (row k with kFromRowA, else row k+1) becomes the result,
// and the answer is whether that value differs from the reference
// cross-fall there, mirrored for the side that is not the reference side.
// An inner column is a candidate when its value changes between the rows; a
// middle or outer one also when it breaks away from its side's inner value
// (from row k) or joins it (at row k+1). Comparisons are exact.
bool SupEvaluator::AcceptanceTest(int column) {
    EvaluatorBody& b = Body();
    if (!IsColumn(column)) return false;
    const int i = RowIndex(column);
    const bool left = column % 2 == 1;
    const double a = b.RowA[static_cast<std::size_t>(i)];
    const double bValue = b.RowB[static_cast<std::size_t>(i)];
    const double ai = b.RowA[left ? 0 : 3];
    const double bi = b.RowB[left ? 0 : 3];
    const bool onReference = left == !(b.Mode & kRightReference);
    const double sign = onReference ? 1.0 : -1.0;
    const bool inner = column <= 2;
    if (b.Mode & kFromRowA) {
        const bool candidate =
            a != SupRow::NoValue && (inner ? a != bValue : (a != bValue || (a != ai && bValue == bi)));
        if (!candidate) return false;
        b.Result[static_cast<std::size_t>(i)] = a;
        return a != sign * b.PrevValue;
    }
    const bool candidate =
        bValue != SupRow::NoValue && (inner ? bValue != a : (a != bValue || (a == ai && bValue != bi)));
    if (!candidate) return false;
    b.Result[static_cast<std::size_t>(i)] = bValue;
    return bValue != sign * b.NextValue;
}

// ---------------------------------------------------------------------------
// Fields and results

double SupEvaluator::GetRowAValue(int column) const {
    return IsColumn(column) ? Body().RowA[static_cast<std::size_t>(RowIndex(column))] : Body().PrevValue;
}

double SupEvaluator::GetRowBValue(int column) const {
    return IsColumn(column) ? Body().RowB[static_cast<std::size_t>(RowIndex(column))] : Body().NextValue;
}

double SupEvaluator::GetResultValue() const {
    return IsColumn(GetColumn()) ? GetResultValueOf(GetColumn()) : 0.0;
}

double SupEvaluator::GetResultValueOf(int column) const {
    return IsColumn(column) ? Body().Result[static_cast<std::size_t>(RowIndex(column))] : 0.0;
}

namespace {
bool WithinRange(double value, double x, double y) {
    return std::min(x, y) - 0.001 <= value && value <= std::max(x, y) + 0.001;
}
}  // namespace

bool SupEvaluator::SetResultValue(double value) {
    EvaluatorBody& b = Body();
    const int column = GetColumn();
    if (!IsColumn(column) || !WithinRange(value, b.PrevValue, b.NextValue)) return false;
    b.Result[static_cast<std::size_t>(RowIndex(column))] = value;
    return true;
}

bool SupEvaluator::SetResultValueOf(int column, double value) {
    EvaluatorBody& b = Body();
    if (!IsColumn(column)) return false;
    const auto i = static_cast<std::size_t>(RowIndex(column));
    if (!WithinRange(value, b.RowA[i], b.RowB[i])) return false;
    b.Result[i] = value;
    return true;
}

bool SupEvaluator::SetResultStation(double station) {
    EvaluatorBody& b = Body();
    const bool fromA = (b.Mode & kFromRowA) != 0;
    const bool outside = (b.Mode & kOutside) != 0;
    bool allowed = false;
    if (!std::isfinite(station))
        allowed = false;
    else if (fromA && outside)
        allowed = station < b.PrevStation;
    else if (outside)
        allowed = station > b.NextStation;
    else
        allowed = b.PrevStation < station && station < b.NextStation;
    if (allowed) b.ResultStation = station;
    return allowed;
}

bool SupEvaluator::IsLeftColumn() const {
    const int column = GetColumn();
    return column == 1 || column == 3 || column == 5;
}

bool SupEvaluator::IsReferenceLeft() const {
    if (Body().Mode & kTransition) return !(Body().Mode & kRightReference);
    return IsLeftColumn();
}

SupRow SupEvaluator::GetResultRow() const {
    SupRow row;
    row.Station = Body().ResultStation;
    SetValues(row, Body().Result);
    return row;
}

// ---------------------------------------------------------------------------
// The transition tool

// One event: the column's acceptance test, then the hook for its station.
// In phases a and b the middle or outer column then joins its side's inner
// value in the row it is measured from, so that the event row keeps the old
// value and the row itself turns with the inner part.
bool SupEvaluator::RunEvent(std::uint32_t mode, bool align, std::vector<SupRow>& collected) {
    // Every event works in transition mode.
    if (!SetMode(mode | kTransition) || !ComputeStation()) return false;
    EvaluatorBody& b = Body();
    const int column = GetColumn();
    if (align && column >= 3) {
        const auto i = static_cast<std::size_t>(RowIndex(column));
        const std::size_t inner = column % 2 ? 0 : 3;
        if (mode & kFromRowA)
            b.RowA[i] = b.RowA[inner];
        else
            b.RowB[i] = b.RowB[inner];
    }
    collected.push_back(GetResultRow());
    return true;
}

// The rows of the transition between the complete rows k and k+1:
//  a. coming out of the crown (no case bit): the outer and middle parts that
//     differ from the inner part at row k turn to it before row k; row k
//     takes the turned values, and the events, which keep the old ones, are
//     inserted before it (after row k-1) when the road before it lies in
//     the crown (the nearest complete row before k);
//  b. going into the crown (kEndsInCrown alone): the same after row k+1,
//     inserted before row k+2 when the road after it lies in the crown, or
//     after row k+1 when it is the last row;
//  c. always: every column's events between the rows, measured from row k
//     and from row k+1, inserted after row k.
// Event rows hold only the values of their events (NoValue elsewhere); rows
// closer than the station tolerance are merged. True when phase c inserted
// rows.
bool SupEvaluator::CalculateTransition(int k) {
    EvaluatorBody& b = Body();
    if (!b.Document) return false;
    QSupFile& doc = *b.Document;
    const int n = doc.GetRowCount();
    if (k < 0 || k >= n - 1) return false;
    const SupRow rowK = *doc.GetRow(k);
    const SupRow rowK1 = *doc.GetRow(k + 1);
    if (!rowK.IsComplete() || !rowK1.IsComplete()) return false;

    b.Row = k;
    b.Mode = kTransition;
    b.PrevStation = rowK.Station.GetValue();
    b.NextStation = rowK1.Station.GetValue();
    b.RowA = ValuesOf(rowK);
    b.RowB = ValuesOf(rowK1);
    b.Mode |= Classify(rowK.LeftInner, rowK.RightInner, rowK1.LeftInner, rowK1.RightInner);
    if (b.Mode & kNoReference) {
        b.PrevValue = b.NextValue = 0.0;
    } else if (b.Mode & kRightReference) {
        b.PrevValue = rowK.RightInner;
        b.NextValue = rowK1.RightInner;
    } else {
        b.PrevValue = rowK.LeftInner;
        b.NextValue = rowK1.LeftInner;
    }
    if (b.PrevValue == b.NextValue || b.PrevStation == b.NextStation) return false;

    // Row k's index as rows go in before it.
    int first = k;
    const auto takeValues = [&doc](int index, const std::array<double, 6>& values) {
        SupRow row = *doc.GetRow(index);
        if (ValuesOf(row) == values) return;
        SetValues(row, values);
        doc.SetRow(index, row);
    };
    std::vector<SupRow> collected;
    const std::uint32_t caseBits = b.Mode & kCaseBits;

    if (caseBits == 0) {
        for (std::uint32_t mode : {0xC005u, 0xC006u, 0xC003u, 0xC004u}) RunEvent(mode, true, collected);
        SortAndMerge(collected);
        takeValues(first, b.RowA);
        const SupRow* before = NearestComplete(doc, first - 1, -1);
        if (!collected.empty() && before && IsCrown(*before)) {
            const QStation after = doc.GetRow(first - 1)->Station;
            for (const SupRow& row : collected)
                if (row.Station > after) doc.InsertRow(first++, row);
        }
        collected.clear();
    }

    if (caseBits == kEndsInCrown) {
        for (std::uint32_t mode : {0x8005u, 0x8106u, 0x8103u, 0x8104u}) RunEvent(mode, true, collected);
        SortAndMerge(collected);
        takeValues(first + 1, b.RowB);
        int at = first + 2;
        if (at >= doc.GetRowCount()) {
            // The table ends with row k+1: the events go after it.
            for (const SupRow& row : collected) doc.InsertRow(at++, row);
        } else if (const SupRow* after = NearestComplete(doc, at, +1); after && IsCrown(*after)) {
            const QStation before = doc.GetRow(at)->Station;
            for (const SupRow& row : collected)
                if (row.Station < before) doc.InsertRow(at++, row);
        }
        collected.clear();
    }

    for (std::uint32_t column = 1; column <= 6; ++column) {
        RunEvent(kFromRowA | kTransition | column, false, collected);
        RunEvent(kTransition | column, false, collected);
    }
    b.Row = first;
    if (collected.empty()) return false;
    SortAndMerge(collected);
    int at = first + 1;
    for (const SupRow& row : collected) doc.InsertRow(at++, row);
    return true;
}

// ---------------------------------------------------------------------------
// The evaluator classes

std::vector<const RuntimeClass*> SupEvaluator::GetEvaluatorClasses() {
    return ClassesBelow(classRecord, false);
}

const RuntimeClass* SupEvaluator::SelectEvaluatorClass(const RuntimeClass* record) {
    if (!record || !record->IsDerivedFrom(classRecord)) return nullptr;
    Context::Current().selectedEvaluatorClass = record;
    return record;
}

const RuntimeClass* SupEvaluator::SelectEvaluatorClassByName(const char* name) {
    const RuntimeClass*& selected = Context::Current().selectedEvaluatorClass;
    if (!name) {
        selected = nullptr;
        return nullptr;
    }
    if (selected && std::strcmp(selected->GetName(), name) == 0) return selected;
    const RuntimeClass* found = FindBelow(classRecord, name);
    if (found) selected = found;
    return found;
}

const RuntimeClass* SupEvaluator::SelectEvaluatorSubclass(const char* name, const char* subName) {
    const RuntimeClass* found = FindBelow(classRecord, name);
    if (!found) return nullptr;
    const RuntimeClass* sub = FindBelow(*found, subName);
    return SelectEvaluatorClass(sub ? sub : found);
}

const RuntimeClass* SupEvaluator::GetSelectedEvaluatorClass() {
    const RuntimeClass*& selected = Context::Current().selectedEvaluatorClass;
    if (!selected) {
        const std::vector<const RuntimeClass*> children = ClassesBelow(classRecord, true);
        if (!children.empty()) selected = children.front();
    }
    return selected;
}

std::unique_ptr<SupEvaluator> SupEvaluator::CreateEvaluator(const RuntimeClass& evaluatorClass) {
    if (!evaluatorClass.IsDerivedFrom(classRecord)) return nullptr;
    std::unique_ptr<QObject> object = evaluatorClass.CreateObject();
    auto* evaluator = dynamic_cast<SupEvaluator*>(object.get());
    if (!evaluator) return nullptr;
    object.release();
    return std::unique_ptr<SupEvaluator>(evaluator);
}

double SupEvaluator::GetColumnFactor(int column) {
    return IsColumn(column) ? Context::Current().evaluatorColumnFactors[column - 1] : 0.0;
}

void SupEvaluator::SetColumnFactor(int column, double factor) {
    if (IsColumn(column)) Context::Current().evaluatorColumnFactors[column - 1] = factor;
}

TransitionToolWindow* SetTransitionToolWindow(TransitionToolWindow* window) {
    return std::exchange(Context::Current().transitionToolWindow, window);
}

}  // namespace qdat
