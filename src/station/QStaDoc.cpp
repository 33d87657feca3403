#include <qdat/station/QStaDoc.h>

#include <charconv>
#include <string>
#include <utility>

#include <qdat/docbase/DataArchive.h>

namespace qdat {

namespace {

constexpr TypeString kTypeStrings[] = {
    {109, 0x8002, "Station list|Station list\nStation list\nStations\nStation list files (*.sta)\n.sta"},
};

constexpr SignatureRule kSignatures[] = {
    {"RADUDAR5.84_STA_SHUJU", 584, 0, FormatFlag::LegacyLayout, SignatureUse::Written},
    {"RADUDAR5.83_STA_SHUJU", 583, 0, FormatFlag::LegacyLayout},
    {"RADUDAR5.8_STA_SHUJU", 580, 0, FormatFlag::LegacyLayout},
};

constexpr ColumnDescription kEntryColumns[] = {
    Column<&StationEntry::m_station>("station", "m"),
    Column<&StationEntry::m_nNumber>("number"),
};

constexpr ContentBlock kContent[] = {StationRowsBlock<QStaDoc>("entries", kEntryColumns)};

constexpr EditorType kEditorTypes[] = {{109, 3002, 9017, 9017}};

// Entry numbers are unsigned 32-bit. In text form each is its whole number,
// digits only: a sign, a fraction or trailing text is no number of an entry,
// and one out of range must not wrap to another.
void StoreNumber(DataArchive& ar, std::uint32_t number) {
    if (ar.IsTextForm())
        ar.AppendToken(std::to_string(number));
    else
        ar << static_cast<unsigned long>(number);
}

std::uint32_t LoadNumber(DataArchive& ar) {
    if (!ar.IsTextForm()) {
        unsigned long number = 0;
        ar >> number;
        return static_cast<std::uint32_t>(number);
    }
    const std::string_view token = ar.NextTokenView();
    std::uint32_t number = 0;
    const char* last = token.data() + token.size();
    const auto [end, error] = std::from_chars(token.data(), last, number);
    if (token.empty() || error != std::errc() || end != last)
        ar.ThrowError(QArchiveException::BadFormat,
                      "an entry number from 0 to 4294967295 expected, found \"" + std::string(token) + "\"");
    return number;
}

}  // namespace

const DocumentKind QStaDoc::classRecord{"QStaDoc",
                                        &QDocument::classRecord,
                                        [] { return std::make_unique<QStaDoc>(); },
                                        {.typeStrings = kTypeStrings,
                                         .currentVersion = 584,
                                         .signatures = kSignatures,
                                         .content = kContent,
                                         .editorTypes = kEditorTypes,
                                         .fileName = "station list file"}};

QStaDoc::QStaDoc() : StationCursorDocument<StationEntry>(classRecord) {}

int QStaDoc::SerializeContent(DataArchive& ar) {
    StationCursor<StationEntry>& rows = Rows();
    if (ar.IsStoring()) {
        ar << StationAsText;
        for (const StationEntry& entry : std::as_const(rows).GetRows()) {
            ar << entry.m_station;
            StoreNumber(ar, entry.m_nNumber);
            ar << EndRecord;
        }
        return true;
    }

    ar >> StationAsText;
    const bool numbered = GetFileVersion() > 583;
    RowCollector<StationEntry> collected(ar);
    while (!ar.AtEnd()) {
        StationEntry& entry = collected.Add();
        ar >> entry.m_station;
        if (numbered) {
            entry.m_nNumber = LoadNumber(ar);
        } else {
            // Lists before 5.84 hold stations only: number them in file order.
            entry.m_nNumber = static_cast<std::uint32_t>(collected.GetCount());
        }
        ar >> EndRecord;
    }
    collected.MoveTo(rows.GetRows());
    return true;
}

void QStaDoc::FillStations(const QStation& target, int step) {
    const StationEntry* last = GetLastEntry();
    if (!last || target <= last->m_station || step <= 0) return;
    std::vector<FillStation> stations;
    StationsToFill(last->m_station, target, step, stations);
    std::uint32_t number = last->m_nNumber;
    for (const FillStation& s : stations) AddEntry(s.station, ++number);
}

bool QStaDoc::StationsToFill(const QStation& last, const QStation& target, double step,
                             std::vector<FillStation>& out, std::size_t limit) {
    out.clear();
    double s = step;
    QStation previous = last;
    QStation q = last.NextRoundStation(s);
    while (q < target) {
        const bool atBreak = s == 0.0;
        // The next round station of a last entry that sits on a break is
        // that break again.
        if (q > previous) {
            if (out.size() >= limit) return false;
            out.push_back({q, atBreak});
            previous = q;
        }
        if (atBreak) {  // go on in the stationing after the break
            s = step;
            q += 0.0001;
        }
        const QStation next = q.NextRoundStation(s);
        // Far out, where a step is lost in the double's precision, the next
        // round station could equal this one and the loop would never end.
        if (!(next.GetValue() > q.GetValue())) break;
        q = next;
    }
    if (target > previous) {
        if (out.size() >= limit) return false;
        out.push_back({target, false});
    }
    return true;
}

}  // namespace qdat
