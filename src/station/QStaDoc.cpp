#include "station/QStaDoc.h"

#include "docbase/DataArchive.h"
#include "docbase/DocDataType.h"
#include "host/NamedInterfaces.h"
#include "host/Resources.h"

namespace qdat {

namespace {

// Document-type string (see DmxFile.cpp for the shape of these texts).
const ResourceTable kResources{
    {109, "Station list|Station list\nStation list\nStations\nStation list files (*.sta)\n.sta"},
};

const ColumnDescription kEntryColumns[] = {
    {"station", ColumnDescription::Kind::Station,
     +[](const void* row) { return static_cast<const StationEntry*>(row)->m_station.GetValue(); },
     +[](void* row, double v) { static_cast<StationEntry*>(row)->m_station = v; }},
    {"number", ColumnDescription::Kind::Unsigned,
     +[](const void* row) { return static_cast<double>(static_cast<const StationEntry*>(row)->m_nNumber); },
     +[](void* row, double v) {
         static_cast<StationEntry*>(row)->m_nNumber = v > 0 && v < 4294967296.0 ? static_cast<std::uint32_t>(v) : 0;
     }},
};

using StaDataType = StationRowsDataType<QStaDoc>;

const RegistrationNode* const kDataType = RegisterFactory(kDocDataTypeInterface, [] {
    return std::make_unique<StaDataType>(StaDataType::Numbers{109, 3002, 9017, 9017}, kEntryColumns, 2);
});

}  // namespace

const RuntimeClass QStaDoc::classRecord{"QStaDoc", &QDocument::classRecord,
                                        [] { return std::make_unique<QStaDoc>(); }};

QStaDoc::QStaDoc() { SetCurrentVersion(kCurrentVersion); }

bool QStaDoc::ParseSignature(const std::string& signature) {
    const std::string sig = SignatureForComparing(signature);
    SetLegacyLayout(false);
    if (sig == kSignature) {
        SetFileVersion(584);
    } else if (sig == kSignature583) {
        SetFileVersion(583);
    } else if (sig == kSignature580) {
        SetFileVersion(580);
    } else {
        SetFileVersion(0);
        return false;
    }
    return true;
}

std::string QStaDoc::GetTypeString() { return LoadResourceString(109); }

int QStaDoc::SerializeContent(DataArchive& ar) {
    StationCursor<StationEntry>& rows = Rows();
    if (ar.IsStoring()) {
        ar << StationAsText;
        for (const StationEntry& entry : rows.GetRows())
            ar << entry.m_station << static_cast<unsigned long>(entry.m_nNumber) << EndRecord;
        return true;
    }

    ar >> StationAsText;
    const bool numbered = GetFileVersion() > 583;
    RowCollector<StationEntry> collected(ar);
    while (!ar.AtEnd()) {
        StationEntry& entry = collected.Add();
        ar >> entry.m_station;
        if (numbered) {
            unsigned long number = 0;
            ar >> number;
            entry.m_nNumber = static_cast<std::uint32_t>(number);
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

    int s = step;
    QStation q = last->m_station.NextRoundStation(s);
    std::uint32_t number = last->m_nNumber;
    while (q < target) {
        AddEntry(q, ++number);
        if (s == 0) {  // q is a chain break: go on in the stationing after it
            s = step;
            q += 0.0001;
        }
        const QStation next = q.NextRoundStation(s);
        // Far out, where a step is lost in the double's precision, the next
        // round station could equal this one and the loop would never end.
        if (!(next.GetValue() > q.GetValue())) break;
        q = next;
    }
    AddEntry(target, ++number);
}

}  // namespace qdat
