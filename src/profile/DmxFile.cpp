#include "profile/DmxFile.h"

#include <cmath>

#include "docbase/DataArchive.h"
#include "docbase/DocDataType.h"
#include "host/NamedInterfaces.h"
#include "host/Resources.h"
#include "station/ChainTable.h"

namespace qdat {

namespace {

// Document-type strings: window title, document name, new-file name, filter
// name and extension, separated by line feeds. The project's data-type
// registry reads the same texts as "name|..." with the extension after the
// last dot, so each begins with the short name and ends with the extension.
const ResourceTable kResources{
    {103, "Ground line|Profile ground line\nGround line\nGroundLine\nGround line files (*.dmx)\n.dmx"},
    {116, "Design ground line|Profile ground line, design\nDesign ground line\nGroundLine\nGround line files (*.dmx)\n.dmx"},
    {117, "Old ground line|Profile ground line, old road\nOld ground line\nGroundLine\nGround line files (*.dmx)\n.dmx"},
};

const ColumnDescription kGroundColumns[] = {
    {"station", ColumnDescription::Kind::Station,
     +[](const void* row) { return static_cast<const GroundPoint*>(row)->m_station.GetValue(); },
     +[](void* row, double v) { static_cast<GroundPoint*>(row)->m_station = v; }},
    {"elevation", ColumnDescription::Kind::Double,
     +[](const void* row) { return static_cast<const GroundPoint*>(row)->m_elevation; },
     +[](void* row, double v) { static_cast<GroundPoint*>(row)->m_elevation = v; }},
};

using DmxDataType = StationRowsDataType<DmxFile>;

const RegistrationNode* RegisterGroundLineType(DmxDataType::Numbers numbers) {
    return RegisterFactory(kDocDataTypeInterface, [numbers] {
        return std::make_unique<DmxDataType>(numbers, kGroundColumns, 2);
    });
}

// The ground line is edited as three data types of the project (the ground
// line itself and two variants) that differ only in their numbers.
const RegistrationNode* const kDataTypes[] = {
    RegisterGroundLineType({103, 3003, 9012, 9012}),
    RegisterGroundLineType({116, 3003, 4, 9012}),
    RegisterGroundLineType({117, 3003, 14, 9012}),
};

}  // namespace

const RuntimeClass DmxFile::classRecord{"DmxFile", &QDocument::classRecord,
                                        [] { return std::make_unique<DmxFile>(); }};

namespace {
// Whether a token contains "NULL" in any case, the marker of a point without
// elevation.
bool ContainsNull(std::string_view token) {
    // Clearing bit 5 upper-cases ASCII letters and maps no other byte onto them.
    const auto is = [](char c, char upper) { return (static_cast<unsigned char>(c) & 0xDF) == upper; };
    for (std::size_t i = 0; i + 4 <= token.size(); ++i)
        if (is(token[i], 'N') && is(token[i + 1], 'U') && is(token[i + 2], 'L') && is(token[i + 3], 'L')) return true;
    return false;
}
}  // namespace

void LoadGroundPoints(DataArchive& ar, StationCursor<GroundPoint>& rows) {
    RowCollector<GroundPoint> collected(ar);
    const bool text = ar.IsTextForm();
    while (!ar.AtEnd()) {
        GroundPoint& point = collected.Add();
        point.m_elevation = GroundPoint::NoElevation;
        ar >> point.m_station;
        if (text) {
            // After the station: nothing, a token containing "NULL", or the
            // elevation. The first two make a point without elevation.
            const std::string_view token = ar.NextTokenView();
            // A token that is a finite number through and through holds no
            // "NULL"; only other tokens need the search.
            double elevation = 0.0;
            std::size_t used = 0;
            if (DataArchive::ScanDouble(token, elevation, &used) && used == token.size() && std::isfinite(elevation))
                point.m_elevation = elevation;
            else if (!token.empty() && !ContainsNull(token) && !DataArchive::ScanDouble(token, point.m_elevation))
                ar.ThrowError(QArchiveException::BadFormat,
                              "an elevation expected, found \"" + std::string(token) + "\"");
            ar >> EndRecord;
        } else {
            // Binary forms have no records to count; every point is a pair.
            if (ar.AtEnd()) ar.ThrowError(QArchiveException::EndOfFile, "an elevation after the last station");
            ar >> point.m_elevation;
        }
    }
    collected.MoveTo(rows.m_rows);
}

void StoreGroundPoints(DataArchive& ar, const GrowArray<GroundPoint>& points, bool groundLineRules) {
    const bool text = ar.IsTextForm();
    bool lastWithout = false;  // the last point written had no elevation
    bool sixDecimals = false;  // set once, before the first elevation; it stays
    for (const GroundPoint& point : points) {
        if (groundLineRules && point.m_station == 0.0 && point.m_elevation == 0.0) continue;
        if (point.HasElevation()) {
            ar << point.m_station;
            if (groundLineRules && !sixDecimals) {
                ar << Precision(6);
                sixDecimals = true;
            }
            ar << point.m_elevation << EndRecord;
            lastWithout = false;
        } else if (!lastWithout) {
            ar << point.m_station;
            // In the binary forms a reader cannot tell a lone station from the
            // next point's, so the marker elevation is written with it.
            if (!text) ar << point.m_elevation;
            ar << EndRecord;
            lastWithout = true;
        }
    }
}

DmxFile::DmxFile() { SetCurrentVersion(kCurrentVersion); }

std::string DmxFile::GetSignature() { return IsLegacyLayout() ? std::string() : kSignature; }

bool DmxFile::ParseSignature(const std::string& signature) {
    const std::string sig = SignatureForComparing(signature);
    if (sig == kSignature) {
        SetFileVersion(583);
        SetLegacyLayout(false);
    } else if (sig == kSignature580) {
        SetFileVersion(580);
        SetLegacyLayout(false);
    } else if (sig == kSignatureLegacy) {
        // The 5.0 files are plain binary without header.
        SetFileVersion(500);
        SetTextForm(false);
        SetTaggedForm(false);
        SetScrambledForm(false);
        SetLegacyLayout(true);
    } else if (sig == kSignaturePpc) {
        SetFileVersion(580);
        SetLegacyLayout(true);
    } else {
        SetFileVersion(0);
        SetLegacyLayout(false);
        return false;
    }
    return true;
}

std::string DmxFile::GetTypeString() { return LoadResourceString(103); }

int DmxFile::SerializeContent(DataArchive& ar) {
    if (ar.IsStoring()) {
        ar << StationAsText;
        if (ar.IsLegacyLayout()) {
            ar << kLegacyContentSignature;
            GetCurrentChainTable().StoreTo(ar);
            ar << static_cast<int>(GetPointCount());
        }
        StoreGroundPoints(ar, GetPointArray(), true);
        return true;
    }

    ar >> StationAsText;
    if (ar.IsLegacyLayout()) {
        if (GetFileVersion() > 499) {
            // The chain table of a legacy file becomes the current one when
            // the file is read directly; a user's open keeps the project's.
            ChainTable table;
            table.LoadFrom(ar);
            if (IsOpenComplete()) GetCurrentChainTable() = table;
        }
        if (GetFileVersion() <= 500) {
            int count = 0;  // the writer's point count; the points are read to the end
            ar >> count;
        }
    }
    LoadGroundPoints(ar, Rows());
    return true;
}

}  // namespace qdat
