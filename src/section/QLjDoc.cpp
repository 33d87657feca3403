#include <qdat/section/QLjDoc.h>

#include <cmath>
#include <utility>

#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/detail/FiniteValues.h>

namespace qdat {

namespace {

constexpr TypeString kTypeStrings[] = {
    {110, 0x8004, "Subgrade|Subgrade design records\nSubgrade\nSubgrade\nSubgrade files (*.lj)\n.lj"},
};

constexpr SignatureRule kSignatures[] = {
    {"RADUDAR5.83_LJ_SHUJU", 583, 0, FormatFlag::LegacyLayout, SignatureUse::Written},
    {"RADUDAR5.8_LJ_SHUJU", 580, 0, FormatFlag::LegacyLayout},
};

constexpr NumberedKeys<SubgradeRecord::kValueCount> kValueKeys("value", 0);

template <std::size_t... I>
constexpr std::array<ColumnDescription, 1 + sizeof...(I)> RecordColumns(std::index_sequence<I...>) {
    return {Column<&SubgradeRecord::m_station>("station", "m"),
            // The first value is only stored; what it stands for is the host's.
            ElementColumn<&SubgradeRecord::Values, I>(kValueKeys[I], I == 0 ? "" : "m")...};
}
constexpr auto kRecordColumns = RecordColumns(std::make_index_sequence<SubgradeRecord::kValueCount>());

constexpr ContentBlock kContent[] = {StationRowsBlock<QLjDoc>("records", kRecordColumns)};

}  // namespace

const DocumentKind QLjDoc::classRecord{"QLjDoc",
                                       &QDocument::classRecord,
                                       [] { return std::make_unique<QLjDoc>(); },
                                       {.typeStrings = kTypeStrings,
                                        .currentVersion = 583,
                                        .signatures = kSignatures,
                                        .content = kContent,
                                        .fileName = "subgrade design file"}};

QLjDoc::QLjDoc() : StationCursorDocument<SubgradeRecord>(classRecord) {}

void QLjDoc::DeleteContents() {
    StationCursorDocument<SubgradeRecord>::DeleteContents();
    SetCursor(-1);
}

bool QLjDoc::Repair() {
    // A bubble sort moves a record exactly when two neighbours are out of order.
    const bool moves = NeedsRepair();
    Rows().Repair();
    return moves;
}

SubgradeRecord* QLjDoc::GetNextRecord() {
    if (!IsCursorValid() && !MoveFirst()) {
        SetCursor(-1);
        return nullptr;
    }
    SubgradeRecord* record = GetCursorRecord();
    if (!MoveNext()) SetCursor(-1);
    return record;
}

bool QLjDoc::FindRecord(const SubgradeRecord& key) {
    const QStation& s = key.m_station;
    const GrowArray<SubgradeRecord>& records = Rows().GetRows();
    const int count = records.GetSize();
    const auto matches = [&](int i) {
        return std::fabs(records[i].m_station.GetValue() - s.GetValue()) <= kSameStation;
    };
    int i = 0;
    bool forward = true;
    if (IsCursorValid()) {
        i = GetCursor();
        if (matches(i)) return true;
        forward = records[i].m_station < s;
    }
    for (; i >= 0 && i < count; i += forward ? 1 : -1) {
        if (matches(i)) {
            SetCursor(i);
            return true;
        }
        if (forward ? !(records[i].m_station < s) : !(records[i].m_station > s)) return false;
    }
    return false;
}

void QLjDoc::AddRecord(const SubgradeRecord& record) {
    if (FindRecord(record))
        *GetCursorRecord() = record;
    else
        Rows().GetRows().Add(record);
    SetModifiedFlag(true);
}

double QLjDoc::GetFirstPointElevation(const SubgradeRecord& r) {
    return r.Values[SubgradeRecord::kBaseElevation] + r.Values[SubgradeRecord::kFirstPoint];
}

double QLjDoc::GetMiddlePointElevation(const SubgradeRecord& r) {
    return r.Values[SubgradeRecord::kBaseElevation] + r.Values[SubgradeRecord::kMiddlePoint];
}

double QLjDoc::GetLastPointElevation(const SubgradeRecord& r) {
    return r.Values[SubgradeRecord::kBaseElevation] + r.Values[SubgradeRecord::kLastPoint];
}

double QLjDoc::GetWidthSumA(const SubgradeRecord& r) {
    return r.Values[2] + r.Values[3] + r.Values[4] + r.Values[5];
}

double QLjDoc::GetWidthSumB(const SubgradeRecord& r) {
    return r.Values[6] + r.Values[7] + r.Values[8] + r.Values[9];
}

SubgradeRecord& QLjDoc::MakeHeightsAbsolute(SubgradeRecord& r) {
    for (int i = SubgradeRecord::kFirstPoint; i <= SubgradeRecord::kLastPoint; ++i)
        r.Values[static_cast<std::size_t>(i)] += r.Values[SubgradeRecord::kBaseElevation];
    return r;
}

int QLjDoc::SerializeContent(DataArchive& ar) {
    if (ar.IsStoring()) {
        for (const SubgradeRecord& r : Rows().GetRows()) {
            CheckFinite(ar, r.m_station.GetValue(), "station of a subgrade record");
            ar << r.m_station << Precision(6);
            for (const double v : r.Values) WriteFinite(ar, v, "value of a subgrade record");
            ar << EndRecord;
        }
        return true;
    }
    SetCursor(-1);
    RowCollector<SubgradeRecord> collected(ar);
    while (!ar.AtEnd()) {
        SubgradeRecord& r = collected.Add();
        ar >> r.m_station;
        for (double& v : r.Values) v = ReadFinite(ar, "value");
        ar >> EndRecord;
    }
    collected.MoveTo(Rows().m_rows);
    return true;
}

}  // namespace qdat
