#include <qdat/profile/DmxFile.h>

#include <qdat/docbase/DataArchive.h>
#include <qdat/station/ChainTable.h>

namespace qdat {

namespace {

class DmxData : public StationCursorData<GroundPoint> {
public:
    std::optional<ChainTable> fileChainTable;
};

constexpr TypeString kTypeStrings[] = {
    {103, 0x8003,
     "Ground line|Profile ground line\nGround line\nGroundLine\nGround line files (*.dmx)\n.dmx"},
    {116, 0x8003,
     "Design ground line|Profile ground line, design\nDesign ground line\nGroundLine\nGround line files "
     "(*.dmx)\n.dmx"},
    {117, 0x8003,
     "Old ground line|Profile ground line, old road\nOld ground line\nGroundLine\nGround line files "
     "(*.dmx)\n.dmx"},
};

using namespace FormatFlag;
constexpr SignatureRule kSignatures[] = {
    {"RADUDAR5.83_DMX_SHUJU", 583, 0, LegacyLayout, SignatureUse::Written},
    {"RADUDAR5.8_DMX_SHUJU", 580, 0, LegacyLayout},
    // The 5.0 files are plain binary without header.
    {"QARO5.0_DMX", 500, LegacyLayout, FormBits},
    {"RADUDAR5.8_DMX_SHUJU_PPC", 580, LegacyLayout, 0},
    // The 5.0 layout is written with its signature inside the content.
    {"", 500, LegacyLayout, FormBits, SignatureUse::WrittenOnly},
};

constexpr ContentBlock kContent[] = {StationRowsBlock<DmxFile>("points", kGroundPointColumns)};

// The ground line is edited as three data types of the project (the ground
// line itself and two variants) that differ only in their numbers.
constexpr EditorType kEditorTypes[] = {
    {103, 3003, 9012, 9012},
    {116, 3003, 4, 9012},
    {117, 3003, 14, 9012},
};

}  // namespace

const DocumentKind DmxFile::classRecord{"DmxFile",
                                        &QDocument::classRecord,
                                        [] { return std::make_unique<DmxFile>(); },
                                        {.typeStrings = kTypeStrings,
                                         .currentVersion = 583,
                                         .signatures = kSignatures,
                                         .content = kContent,
                                         .editorTypes = kEditorTypes,
                                         .fileName = "profile ground-line file"}};

DmxFile::DmxFile() : GroundPointDocument(classRecord, std::make_unique<DmxData>()) {}

const std::optional<ChainTable>& DmxFile::GetFileChainTable() const {
    return DataAs<DmxData>().fileChainTable;
}

void DmxFile::DeleteContents() {
    DataAs<DmxData>().fileChainTable.reset();
    GroundPointDocument::DeleteContents();
}

bool DmxFile::WriteToFile(File& file) {
    FileChainTableScope scope(*this);
    return GroundPointDocument::WriteToFile(file);
}

int DmxFile::SerializeContent(DataArchive& ar) {
    if (ar.IsStoring()) {
        ar << StationAsText;
        if (ar.IsLegacyLayout()) {
            ar << kLegacyContentSignature;
            GetCurrentChainTable().StoreTo(ar);
            ar << static_cast<int>(GetPointCount());
        } else {
            GetCurrentChainTable().StoreAsComment(ar);
        }
        StoreGroundPoints(ar, GetPointArray(), true);
        return true;
    }

    ar >> StationAsText;
    if (ar.IsLegacyLayout()) {
        if (GetFileVersion() > 499) {
            // The document keeps the chain table the file carries. It also
            // becomes the current one when the file is read directly; a user's
            // open keeps the project's.
            ChainTable table;
            table.LoadFrom(ar);
            if (IsOpenComplete()) GetCurrentChainTable() = table;
            DataAs<DmxData>().fileChainTable = std::move(table);
        }
        if (GetFileVersion() <= 500) {
            int count = 0;  // the writer's point count; the points are read to the end
            ar >> count;
        }
    } else if (std::optional<ChainTable> stated = ChainTable::LoadFromComment(ar)) {
        // The station text was written under the table the file states.
        StatedChainTableScope scope(*stated);
        DataAs<DmxData>().fileChainTable = std::move(stated);
        LoadGroundPoints(ar, Rows());
        return true;
    }
    LoadGroundPoints(ar, Rows());
    return true;
}

}  // namespace qdat
