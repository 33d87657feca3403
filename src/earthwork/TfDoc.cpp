#include <qdat/earthwork/TfDoc.h>

#include <cmath>
#include <initializer_list>
#include <string_view>
#include <utility>

#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/detail/FiniteValues.h>
#include <qdat/host/Resources.h>

namespace qdat {

namespace {

// Resource strings: the names of the quantity kinds, and the comment line
// written at the top of the table.
constexpr int kQuantityNames = 21;
constexpr int kTableComment = 259;

const std::string& BuiltinQuantityNames() {
    static const std::string names = [] {
        std::string text = "Station";
        for (int kind = 1; kind < EarthworkRow::kKindCount; ++kind)
            text += "|Quantity " + std::to_string(kind);
        return text;
    }();
    return names;
}

const ResourceTable kEarthworkStrings{
    {kQuantityNames, BuiltinQuantityNames().c_str()},
    {kTableComment, "Earthwork table: station, quantities 1 to 34, 59, 60, 35 to 58, 61, remark"},
};

constexpr TypeString kTypeStrings[] = {
    {111, 0x8004, "Earthwork|Earthwork table\nEarthwork\nEarthwork\nEarthwork files (*.tf)\n.tf"},
};

constexpr SignatureRule kSignatures[] = {
    {"RADUDAR5.86_TF_SHUJU", 586, 0, FormatFlag::LegacyLayout, SignatureUse::Written},
    {"RADUDAR5.84_TF_SHUJU", 584, 0, FormatFlag::LegacyLayout},
    {"RADUDAR5.83_TF_SHUJU", 583, 0, FormatFlag::LegacyLayout},
    {"RADUDAR5.8_TF_SHUJU", 580, 0, FormatFlag::LegacyLayout},
};
// Any other first line: a legacy file without signature, read from its start.
constexpr std::uint32_t kLegacyVersion = 400;

// The items of a record after the station, in file order: quantity kinds,
// the extra value of the oldest files, the remark.
constexpr std::int8_t kExtra = -1;
constexpr std::int8_t kRemark = -2;

struct RecordLayout {
    std::array<std::int8_t, 64> items{};
    int size = 0;

    // Runs of kinds (first, last), or a single item as (item, item).
    constexpr RecordLayout(std::initializer_list<std::pair<int, int>> runs) {
        for (const auto& [first, last] : runs)
            for (int k = first; k <= last; ++k)
                items[static_cast<std::size_t>(size++)] = static_cast<std::int8_t>(k);
    }
    constexpr const std::int8_t* begin() const { return items.data(); }
    constexpr const std::int8_t* end() const { return items.data() + size; }
};

constexpr RecordLayout kLayout586{{1, 34}, {59, 60}, {35, 58}, {61, 61}, {kRemark, kRemark}};
constexpr RecordLayout kLayout584{{1, 34}, {59, 60}, {35, 58}};
constexpr RecordLayout kLayout400{{1, 34}};
constexpr RecordLayout kLayout300{{1, 13}, {22, 34}};
constexpr RecordLayout kLayout100{{1, 2}, {kExtra, kExtra}, {3, 13}, {22, 27}};
constexpr RecordLayout kLayout0{{1, 2}, {kExtra, kExtra}, {3, 3}, {8, 9}, {12, 13}};

const RecordLayout& LayoutOf(std::uint32_t version) {
    if (version >= 586) return kLayout586;
    if (version >= 584) return kLayout584;
    if (version >= 400 || version == 200) return kLayout400;
    if (version >= 300) return kLayout300;
    if (version >= 100) return kLayout100;
    return kLayout0;
}

// A legacy file says its version only by the number of values on a line:
// the station and the items of its layout. (Counts of 11 and 21 tokens have
// been taken for versions 100 and 200, but those layouts hold 21 and 35
// tokens: a file of either would have every line read wrongly. Version 200
// shares the 35 tokens of the 1-34 layout, which reads it the same.)
std::uint32_t LegacyVersionOf(int tokens) {
    for (const std::uint32_t version : {0u, 100u, 300u, kLegacyVersion})
        if (LayoutOf(version).size + 1 == tokens) return version;
    return ~0u;
}

constexpr NumberedKeys<EarthworkRow::kKindCount> kQuantityKeys("quantity", 0);

template <std::size_t Kind>
constexpr ColumnDescription QuantityColumn() {
    if constexpr (Kind == EarthworkRow::kIntegerKind)
        return Column<&EarthworkRow::IntegerQuantity>(kQuantityKeys[Kind]);
    else
        return ElementColumn<&EarthworkRow::Quantities, Kind>(kQuantityKeys[Kind]);
}

template <std::size_t... I>
constexpr std::array<ColumnDescription, sizeof...(I) + 2> RowColumns(std::index_sequence<I...>) {
    return {Column<&EarthworkRow::m_station>("station", "m"), QuantityColumn<I + 1>()...,
            TextColumn<&EarthworkRow::Remark>("remark")};
}
constexpr auto kRowColumns = RowColumns(std::make_index_sequence<EarthworkRow::kKindCount - 1>());

constexpr ContentBlock kContent[] = {StationRowsBlock<TfDoc>("rows", kRowColumns)};

}  // namespace

const DocumentKind TfDoc::classRecord{
    "TfDoc",
    &QDocument::classRecord,
    [] { return std::make_unique<TfDoc>(); },
    {.typeStrings = kTypeStrings,
     .currentVersion = 586,
     .signatures = kSignatures,
     .unknownSignature = {{}, kLegacyVersion, 0, FormatFlag::LegacyLayout, SignatureUse::Refused},
     .content = kContent,
     .fileName = "earthwork file"}};

double EarthworkRow::GetQuantity(unsigned kind) const {
    if (kind == kStationKind) return m_station.GetValue();
    if (kind == kIntegerKind) return IntegerQuantity;
    if (kind < static_cast<unsigned>(kKindCount)) return Quantities[kind];
    return 0.0;
}

TfDoc::TfDoc() : StationCursorDocument<EarthworkRow>(classRecord) {}

void TfDoc::DeleteContents() {
    StationCursorDocument<EarthworkRow>::DeleteContents();
    ResetCursor();
}

double TfDoc::GetQuantity(unsigned kind) {
    const EarthworkRow* row = Rows().GetCurrent();
    return row ? row->GetQuantity(kind) : 0.0;
}

std::string TfDoc::GetQuantityName(unsigned kind) {
    std::string_view names = ResourceText(kQuantityNames);
    for (unsigned i = 0; i < kind; ++i) {
        const auto bar = names.find('|');
        if (bar == std::string_view::npos) return {};
        names.remove_prefix(bar + 1);
    }
    return std::string(names.substr(0, names.find('|')));
}

int TfDoc::GetQuantityType(unsigned kind) {
    return kind == EarthworkRow::kStationKind ? 1 : kind == EarthworkRow::kIntegerKind ? 2 : 0;
}

bool TfDoc::ReadNext(EarthworkRow& row) {
    if (!IsCursorValid() && !MoveFirst()) {
        ResetCursor();
        return false;
    }
    row = *Rows().GetCurrent();
    if (MoveNext()) return true;
    ResetCursor();
    return false;
}

// Forward from the cursor to the row at the station or the first row after
// it; then back from just past that row to the row at the station or the
// first row before it.
bool TfDoc::SearchStation(const QStation& station, Bracket& found) {
    const GrowArray<EarthworkRow>& rows = Rows().GetRows();
    const int count = rows.GetSize();
    found = Bracket();
    if (count == 0) return false;
    int i = IsCursorValid() ? GetCursor() : 0;
    for (; i < count; ++i) {
        if (rows[i].m_station == station) {
            SetCursor(found.equal = i);
            return true;
        }
        if (rows[i].m_station > station) break;
    }
    if (i == count) {
        ResetCursor();
        return false;
    }
    found.after = i;
    for (i = std::min(i + 1, count - 1); i >= 0; --i) {
        if (rows[i].m_station == station) {
            found = Bracket();
            SetCursor(found.equal = i);
            return true;
        }
        if (rows[i].m_station > station) {
            found.after = i;
        } else {
            SetCursor(found.before = i);
            return true;
        }
    }
    found = Bracket();
    ResetCursor();
    return false;
}

bool TfDoc::FindRow(const QStation& station, EarthworkRow& row) {
    Bracket found;
    if (!SearchStation(station, found) || found.equal < 0) return false;
    row = *GetRowAt(found.equal);
    return true;
}

bool TfDoc::InterpolateAt(const QStation& station, double& value8, double& value9) {
    Bracket found;
    if (!SearchStation(station, found)) return false;
    const auto absolute = [](const EarthworkRow& row, unsigned kind) {
        return std::fabs(row.GetQuantity(kind));
    };
    if (found.equal >= 0) {
        const EarthworkRow& row = *GetRowAt(found.equal);
        value8 = absolute(row, kFirstInterpolatedKind);
        value9 = absolute(row, kSecondInterpolatedKind);
        return true;
    }
    const EarthworkRow& before = *GetRowAt(found.before);
    const EarthworkRow& after = *GetRowAt(found.after);
    // The two stations differ by at least twice the tolerance: the one lies
    // below the station and the other above it.
    const double sb = before.m_station.GetValue();
    const double t = (station.GetValue() - sb) / (after.m_station.GetValue() - sb);
    const auto between = [&](unsigned kind) {
        const double qb = absolute(before, kind);
        return qb + t * (absolute(after, kind) - qb);
    };
    value8 = between(kFirstInterpolatedKind);
    value9 = between(kSecondInterpolatedKind);
    return true;
}

bool TfDoc::Repair() {
    ResetCursor();
    if (GetRowCount() < 2) return false;
    // Sorting and dropping the first of two equal neighbours, until neither
    // changes anything: dropping a row can bring two rows together that the
    // tolerance orders differently.
    GrowArray<EarthworkRow>& rows = Rows().GetRows();
    for (;;) {
        Rows().Repair();
        int kept = 0;
        for (int i = 0; i < rows.GetSize(); ++i) {
            if (i + 1 < rows.GetSize() && rows[i].m_station == rows[i + 1].m_station) continue;
            if (kept != i) rows[kept] = std::move(rows[i]);
            ++kept;
        }
        const bool removed = kept < rows.GetSize();
        rows.SetSize(kept);
        if (!removed || !Rows().NeedsRepair()) break;
    }
    return true;
}

int TfDoc::SerializeContent(DataArchive& ar) {
    if (ar.IsStoring())
        Store(ar);
    else
        Load(ar);
    return true;
}

void TfDoc::Store(DataArchive& ar) {
    ar << StationAsText;
    ar << BeginComment << ResourceText(kTableComment) << EndComment;
    for (const EarthworkRow& row : Rows().GetRows()) {
        CheckFinite(ar, row.m_station.GetValue(), "station of an earthwork row");
        ar << Width(15) << row.m_station << Width(10) << Precision(3);
        for (const std::int8_t item : kLayout586) {
            if (item == kRemark)
                ar << row.Remark;
            else if (item == EarthworkRow::kIntegerKind)
                ar << row.IntegerQuantity;
            else
                WriteFinite(ar, row.Quantities[static_cast<std::size_t>(item)],
                            "quantity of an earthwork row");
        }
        ar << EndRecord;
    }
}

void TfDoc::Load(DataArchive& ar) {
    ar >> StationAsText;
    ResetCursor();
    if (GetFileVersion() == kLegacyVersion && !ar.AtEnd()) {
        const int tokens = ar.IsTextForm() ? ar.CountTokens() : 0;
        const std::uint32_t version = LegacyVersionOf(tokens);
        if (version == ~0u)
            ar.ThrowError(QArchiveException::BadFormat,
                          "an earthwork file without signature holds 9, 21, 27 or 35 values a line, not " +
                              std::to_string(tokens));
        SetFileVersion(version);
    }
    const RecordLayout& layout = LayoutOf(GetFileVersion());
    RowCollector<EarthworkRow> collected(ar);
    while (!ar.AtEnd()) {
        EarthworkRow& row = collected.Add();
        ar >> row.m_station;
        for (const std::int8_t item : layout) {
            if (item == kRemark)
                ar >> row.Remark;
            else if (item == kExtra)
                row.ExtraValue = ReadFinite(ar, "value");
            else if (item == EarthworkRow::kIntegerKind)
                ar >> row.IntegerQuantity;
            else
                row.Quantities[static_cast<std::size_t>(item)] = ReadFinite(ar, "quantity");
        }
        ar >> EndRecord;
    }
    collected.MoveTo(Rows().m_rows);
}

}  // namespace qdat
