#include <qdat/section/HDMFlie.h>

#include <algorithm>
#include <optional>
#include <string>

#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/detail/FiniteValues.h>
#include <qdat/section/SectionDataType.h>

namespace qdat {

namespace {

class HdmData : public StationCursorData<CrossSection> {
public:
    std::optional<ChainTable> fileChainTable;
};

// The project registers the file under two data types, the ground sections
// and those of the design group; 105 is also the document-type string.
constexpr TypeString kTypeStrings[] = {
    {105, 0x8003,
     "Cross sections|Cross-section ground lines\nCross sections\nCrossSections\nCross-section files "
     "(*.hdm)\n.hdm"},
    {118, 0x8004,
     "Section ground lines|Cross-section ground lines, design group\nCross sections\nCrossSections\n"
     "Cross-section files (*.hdm)\n.hdm"},
};

// Every row but the NZS one clears the NZS variant: a document the host set
// up for writing that form must not read a file with point counts as one
// without them.
using namespace FormatFlag;
constexpr SignatureRule kSignatures[] = {
    {"RADUDAR5.83_HDM_SHUJU", 583, 0, LegacyLayout | NzsVariant, SignatureUse::Written},
    {"RADUDAR5.83_HDM_SHUJU_NZS", 583, NzsVariant, LegacyLayout, SignatureUse::Written},
    {"RADUDAR5.8_HDM_SHUJU", 580, 0, LegacyLayout | NzsVariant},
    {"RADUDAR5.8_HDM_SHUJU_PPC", 580, LegacyLayout, NzsVariant},
    // The 5.0 and 4.6 files are plain binary without header.
    {"QARO5.0_HDM", 500, LegacyLayout, FormBits | NzsVariant},
    {"QARO4.6_HDM", 400, LegacyLayout, FormBits | NzsVariant},
    // The 5.0 layout is written with its signature inside the content.
    {"", 500, LegacyLayout, FormBits, SignatureUse::WrittenOnly},
};

constexpr ColumnDescription kSectionColumns[] = {Column<&CrossSection::m_station>("station", "m")};
constexpr ColumnDescription kPointColumns[] = {
    Column<&SectionPoint::Horizontal>("horizontal", "m"),
    Column<&SectionPoint::Vertical>("vertical", "m"),
};

template <std::vector<SectionPoint> CrossSection::*Side>
constexpr RowList SideList(const char* key) {
    RowList list{key, kPointColumns};
    list.count = [](const void* row) {
        return static_cast<int>((static_cast<const CrossSection*>(row)->*Side).size());
    };
    list.item = [](const void* row, int index) -> const void* {
        const auto& points = static_cast<const CrossSection*>(row)->*Side;
        return index >= 0 && static_cast<std::size_t>(index) < points.size()
                   ? &points[static_cast<std::size_t>(index)]
                   : nullptr;
    };
    return list;
}
constexpr RowList kSideLists[] = {SideList<&CrossSection::LeftGround>("leftGround"),
                                  SideList<&CrossSection::RightGround>("rightGround")};

StationCursor<CrossSection>& SectionsOf(QDocument& doc) {
    return static_cast<HDMFlie&>(doc).Sections();
}

constexpr ContentBlock SectionsBlock() {
    ContentBlock block{"sections", kSectionColumns};
    block.count = [](QDocument& doc) { return SectionsOf(doc).GetCount(); };
    block.row = [](QDocument& doc, int index) -> void* { return SectionsOf(doc).GetAt(index); };
    block.insertAt = [](QDocument& doc, int index) {
        return static_cast<HDMFlie&>(doc).InsertSections(index);
    };
    block.removeAt = [](QDocument& doc, int index) {
        return static_cast<HDMFlie&>(doc).DeleteSection(index);
    };
    block.rowLists = kSideLists;
    return block;
}
constexpr ContentBlock kContent[] = {SectionsBlock()};

// Two data types of the project edit the sections; both descriptors also
// reach the points of each side.
constexpr EditorType kEditorTypes[] = {
    {105, 3003, 9015, 9015, 0, &SectionDataType::Make},
    {118, 3004, 134, 9015, 0, &SectionDataType::Make},
};

// The sides of a text file in the NZS form carry no point count: the tokens
// of the line give it. The binary forms have no lines to count, so there a
// side keeps its count in the NZS form too; the legacy layout had no NZS form.
bool SidesAreCounted(const DataArchive& ar) {
    return !ar.IsNzsVariant() || !ar.IsTextForm() || ar.IsLegacyLayout();
}

// The fewest bytes one point takes: two one-character tokens and their
// separators in text, two doubles (with their tags) in the binary forms.
constexpr std::int64_t kMinTextPointBytes = 4;
constexpr std::int64_t kMinBinaryPointBytes = 16;
constexpr std::int64_t kMinTaggedPointBytes = 18;

// Room for count points, no more than the input can still hold.
std::size_t PointRoom(const DataArchive& ar, std::int64_t count) {
    std::int64_t room = 1024;
    if (ar.IsTextForm()) {
        room = (static_cast<std::int64_t>(ar.GetRecord().size()) + 1) / kMinTextPointBytes;
    } else if (const std::int64_t remaining = ar.RemainingBytes(); remaining >= 0) {
        room = remaining / (ar.IsTaggedForm() ? kMinTaggedPointBytes : kMinBinaryPointBytes);
    }
    return static_cast<std::size_t>(std::max<std::int64_t>(0, std::min(count, room)));
}

void ReadSide(DataArchive& ar, std::vector<SectionPoint>& points, bool counted) {
    std::int64_t count = 0;
    if (counted) {
        std::int32_t n = 0;
        ar >> n;
        if (n < 0) ar.ThrowError(QArchiveException::BadFormat, "a point count of 0 or more expected");
        count = n;
    } else {
        // An odd last token belongs to no point.
        count = ar.CountTokens() / 2;
    }
    points.reserve(PointRoom(ar, count));
    for (std::int64_t i = 0; i < count; ++i) {
        SectionPoint& p = points.emplace_back();
        p.Horizontal = ReadFinite(ar, "horizontal component");
        p.Vertical = ReadFinite(ar, "vertical component");
    }
    // A side without points has the one point (0, 0).
    if (points.empty()) points.emplace_back();
    ar >> EndRecord;
}

void ReadSection(DataArchive& ar, CrossSection& section, bool counted) {
    ar >> section.m_station >> EndRecord;
    ReadSide(ar, section.LeftGround, counted);
    ReadSide(ar, section.RightGround, counted);
}

// A side without points is written as the point (0, 0) it reads back as: a
// file written, read and written again is the same, and in the NZS form an
// empty line would not be read at all.
void WriteSide(DataArchive& ar, const std::vector<SectionPoint>& points, bool counted) {
    static const std::vector<SectionPoint> kNoPoints{SectionPoint()};
    const std::vector<SectionPoint>& written = points.empty() ? kNoPoints : points;
    if (counted) ar << static_cast<std::int32_t>(written.size());
    for (const SectionPoint& p : written) {
        WriteFinite(ar, p.Horizontal, "horizontal component of a section point");
        WriteFinite(ar, p.Vertical, "vertical component of a section point");
    }
    ar << EndRecord;
}

}  // namespace

const DocumentKind HDMFlie::classRecord{
    "HDMFlie",
    &QDocument::classRecord,
    [] { return std::make_unique<HDMFlie>(); },
    {.typeStrings = kTypeStrings,
     .currentVersion = 583,
     .signatures = kSignatures,
     .unknownSignature = {{}, 0, 0, FormatFlag::LegacyLayout | FormatFlag::NzsVariant, SignatureUse::Refused},
     .content = kContent,
     .editorTypes = kEditorTypes,
     .fileName = "cross-section ground-line file"}};

HDMFlie::HDMFlie() : QDocument(classRecord, std::make_unique<HdmData>()) {}

StationCursor<CrossSection>& HDMFlie::Sections() {
    return DataAs<HdmData>().rows;
}
const StationCursor<CrossSection>& HDMFlie::Sections() const {
    return DataAs<HdmData>().rows;
}

const std::optional<ChainTable>& HDMFlie::GetFileChainTable() const {
    return DataAs<HdmData>().fileChainTable;
}

void HDMFlie::DeleteContents() {
    QDocument::DeleteContents();
    Sections().Clear();
    Sections().SetCursor(-1);
    DataAs<HdmData>().fileChainTable.reset();
}

bool HDMFlie::WriteToFile(File& file) {
    FileChainTableScope scope(*this);
    return QDocument::WriteToFile(file);
}

bool HDMFlie::NeedsRepair() {
    return Sections().NeedsRepair();
}

bool HDMFlie::Repair() {
    return Sections().Repair();
}

bool HDMFlie::InsertSections(int index, int count) {
    if (index < 0 || index > GetSectionCount() || count < 1) return false;
    GetSectionArray().InsertAt(index, CrossSection(), count);
    SetModifiedFlag(true);
    return true;
}

bool HDMFlie::DeleteSection(int index) {
    if (!Sections().RemoveAt(index)) return false;
    SetModifiedFlag(true);
    return true;
}

bool HDMFlie::MoveFirst() {
    if (GetSectionCount() == 0) return false;
    SetCursor(0);
    return true;
}

bool HDMFlie::MoveNext() {
    SetCursor(GetCursor() + 1);
    return GetCursor() < GetSectionCount();
}

bool HDMFlie::MovePrevious() {
    if (GetSectionCount() == 0 || GetCursor() <= 0) return false;
    SetCursor(GetCursor() - 1);
    return true;
}

bool HDMFlie::SeekStation(const QStation& station) {
    const int count = GetSectionCount();
    if (count == 0) return false;
    int cursor = GetCursor();
    if (cursor < 0 || cursor >= count) cursor = 0;
    const GrowArray<CrossSection>& sections = GetSectionArray();
    if (!(sections[cursor].m_station > station)) {
        while (cursor < count && sections[cursor].m_station < station) ++cursor;
    } else {
        while (cursor >= 0 && sections[cursor].m_station > station) --cursor;
    }
    if (cursor < 0 || cursor >= count) {
        SetCursor(-1);
        return false;
    }
    SetCursor(cursor);
    return sections[cursor].m_station == station;
}

int HDMFlie::SerializeContent(DataArchive& ar) {
    if (ar.IsStoring())
        Store(ar);
    else
        Load(ar);
    return true;
}

void HDMFlie::Store(DataArchive& ar) {
    ar << StationAsText;
    const GrowArray<CrossSection>& sections = GetSectionArray();
    if (ar.IsLegacyLayout()) {
        ar << kLegacyContentSignature;
        GetCurrentChainTable().StoreTo(ar);
        ar << static_cast<std::int32_t>(sections.GetSize());
    } else {
        GetCurrentChainTable().StoreAsComment(ar);
    }
    const bool counted = SidesAreCounted(ar);
    for (const CrossSection& section : sections) {
        CheckFinite(ar, section.m_station.GetValue(), "station of a section");
        ar << section.m_station << EndRecord;
        WriteSide(ar, section.LeftGround, counted);
        WriteSide(ar, section.RightGround, counted);
        ar << EndRecord;  // an empty line between sections
    }
}

// Reading stops at the first damage and keeps the sections read completely
// before it; the section it stopped in is dropped. Only a failure of the
// file itself (a read error of the system) fails the whole read.
void HDMFlie::Load(DataArchive& ar) {
    HdmData& data = DataAs<HdmData>();
    ar >> StationAsText;
    std::int32_t declared = -1;
    if (ar.IsLegacyLayout()) {
        if (GetFileVersion() >= 500) {
            // The document keeps the chain table the file carries. It also
            // becomes the current one when the file is read directly; a user's
            // open keeps the project's.
            ChainTable table;
            table.LoadFrom(ar);
            if (IsOpenComplete()) GetCurrentChainTable() = table;
            data.fileChainTable = std::move(table);
        }
        // The writer's section count; the sections are read to the end.
        if (GetFileVersion() < 580) ar >> declared;
    }
    // The station text was written under the table the file states, if any.
    std::optional<StatedChainTableScope> stated;
    if (!ar.IsLegacyLayout()) {
        if (std::optional<ChainTable> table = ChainTable::LoadFromComment(ar)) {
            stated.emplace(*table);
            data.fileChainTable = std::move(table);
        }
    }

    const bool counted = SidesAreCounted(ar);
    RowCollector<CrossSection> collected(ar);
    bool stopped = false;
    try {
        while (!ar.AtEnd()) {
            CrossSection section;
            ReadSection(ar, section, counted);
            collected.Add() = std::move(section);
        }
    } catch (const QArchiveException& e) {
        if (e.m_cause == QArchiveException::ReadFailed || e.m_cause == QArchiveException::WriteFailed) throw;
        stopped = true;
    } catch (const QDLException&) {
        stopped = true;  // station text the chain table does not know
    }
    const int kept = collected.GetCount();
    collected.MoveTo(data.rows.m_rows);
    if (stopped) {
        std::string what = declared >= 0
                               ? std::to_string(kept) + " of " + std::to_string(declared) + " sections"
                           : kept == 0 ? "no sections"
                           : kept == 1 ? "the points of the first section"
                                       : "the first " + std::to_string(kept) + " sections";
        NoteReadStoppedEarly(ar, what);
    }
}

}  // namespace qdat
