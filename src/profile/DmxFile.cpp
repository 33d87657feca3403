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
