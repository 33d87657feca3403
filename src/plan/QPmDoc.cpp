// The plan element file: its kind and its content.
#include <qdat/plan/QPmDoc.h>

#include <algorithm>

#include <qdat/docbase/DataArchive.h>
#include <qdat/plan/detail/PlanStrings.h>
#include <qdat/station/ChainTable.h>

namespace qdat {

namespace {

constexpr TypeString kTypeStrings[] = {
    {plan_strings::kPlanElementFileType, 0x8001,
     "Plan elements|Plan element file\nPlan elements\nPlanElements\nPlan element files (*.pm)\n.pm"},
};

using namespace FormatFlag;
constexpr SignatureRule kSignatures[] = {
    {"RADUDAR5.83_PM_SHUJU_PM", 583, 0, LegacyLayout, SignatureUse::Written},
    {"RADUDAR5.8_PM_SHUJU_PM", 580, 0, LegacyLayout},
    {"RADUDAR5.8_PM_SHUJU_PM_PPC", 580, LegacyLayout, 0},
    // The first line of a legacy file without signature: the chain table's
    // schema number 4, cut off by the zero byte that follows it. The file is
    // read from its first byte, as binary without header.
    {"\x04", 0, LegacyLayout, FormBits, SignatureUse::Refused},
    // The legacy layout writes no signature.
    {"", 0, LegacyLayout, FormBits, SignatureUse::WrittenOnly},
};

constexpr ColumnDescription kHeaderColumns[] = {
    TextColumn<&PlanAlignment::Name>("name"),
    TextColumn<&PlanAlignment::Note>("note"),
    Column<&PlanAlignment::HeaderValue>("headerValue"),
    Column<&PlanAlignment::ElementCount>("elementCount"),
    Column<&PlanAlignment::Chained>("chained"),
    Column<&PlanAlignment::StartMode>("startMode"),
    Column<&PlanAlignment::StartStation>("startStation", "m"),
    Column<&PlanAlignment::StartAzimuth>("startAzimuth", "rad"),
    Column<&PlanAlignment::BackPointY>("backPointY", "m"),
    Column<&PlanAlignment::StartX>("startX", "m"),
    Column<&PlanAlignment::StartY>("startY", "m"),
    Column<&PlanAlignment::EndType>("endType"),
    Column<&PlanAlignment::EndValue1>("endValue1"),
    Column<&PlanAlignment::EndValue2>("endValue2"),
    Column<&PlanAlignment::EndValue3>("endValue3"),
    Column<&PlanAlignment::EndValue4>("endValue4"),
};

constexpr ColumnDescription kElementColumns[] = {
    Column<&PlanElement::Type>("type"),
    Column<&PlanElement::Turn>("turn"),
    Column<&PlanElement::Offset>("offset", "m"),
    Column<&PlanElement::LengthItem>("lengthItem", "m"),
    Column<&PlanElement::SpiralParam>("spiralParam", "m"),
    Column<&PlanElement::StartRadius>("startRadius", "m"),
    Column<&PlanElement::EndRadius>("endRadius", "m"),
    Column<&PlanElement::StartX>("startX", "m"),
    Column<&PlanElement::StartY>("startY", "m"),
    Column<&PlanElement::TangentPointX>("tangentPointX", "m"),
    Column<&PlanElement::TangentPointY>("tangentPointY", "m"),
    Column<&PlanElement::EndX>("endX", "m"),
    Column<&PlanElement::EndY>("endY", "m"),
    Column<&PlanElement::CentreX>("centreX", "m"),
    Column<&PlanElement::CentreY>("centreY", "m"),
    Column<&PlanElement::StartStation>("startStation", "m"),
    Column<&PlanElement::EndStation>("endStation", "m"),
    Column<&PlanElement::StartAzimuth>("startAzimuth", "rad"),
    Column<&PlanElement::EndAzimuth>("endAzimuth", "rad"),
};

const PlanAlignment& AlignmentOf(QDocument& doc) {
    return static_cast<QPmDoc&>(doc).GetAlignment();
}

// The elements the file holds: the main ones, then those the end type asks for.
int StoredCount(const PlanAlignment& a) {
    const int total = a.GetTotalElementCount();
    return total < 0 || total > a.GetElements().GetSize() ? 0 : total;
}
int MainCount(const PlanAlignment& a) {
    return std::min(std::max(a.ElementCount, 0), StoredCount(a));
}

// Rows are read through the const array, so that showing them does not mark
// the alignment's lookup index for rebuilding; nothing edits them this way.
void* ElementRow(const PlanAlignment& a, int index, int first, int count) {
    if (index < 0 || index >= count) return nullptr;
    return const_cast<PlanElement*>(&a.GetElements()[first + index]);
}

constexpr ContentBlock kContent[] = {
    {nullptr, kHeaderColumns, nullptr,
     [](QDocument& doc, int) -> void* { return &static_cast<QPmDoc&>(doc).GetAlignment(); }},
    {"elements", kElementColumns, [](QDocument& doc) { return MainCount(AlignmentOf(doc)); },
     [](QDocument& doc, int i) { return ElementRow(AlignmentOf(doc), i, 0, MainCount(AlignmentOf(doc))); }},
    {"endElements", kElementColumns,
     [](QDocument& doc) { return StoredCount(AlignmentOf(doc)) - MainCount(AlignmentOf(doc)); },
     [](QDocument& doc, int i) {
         const PlanAlignment& a = AlignmentOf(doc);
         return ElementRow(a, i, MainCount(a), StoredCount(a) - MainCount(a));
     }},
};

}  // namespace

const DocumentKind QPmDoc::classRecord{"QPmDoc",
                                       &QDocument::classRecord,
                                       [] { return std::make_unique<QPmDoc>(); },
                                       {.typeStrings = kTypeStrings,
                                        .currentVersion = 583,
                                        .signatures = kSignatures,
                                        .content = kContent,
                                        .fileName = "plan element file"}};

QPmDoc::QPmDoc() : QDocument(classRecord, std::make_unique<QPmData>()) {}

void QPmDoc::DeleteContents() {
    GetAlignment().RemoveAllElements();
    DataAs<QPmData>().FileChainTable.reset();
}

bool QPmDoc::WriteToFile(File& file) {
    FileChainTableScope scope(*this);
    return QDocument::WriteToFile(file);
}

int QPmDoc::SerializeContent(DataArchive& ar) {
    if (ar.IsStoring()) {
        if (ar.IsLegacyLayout()) GetCurrentChainTable().StoreTo(ar);
        ar << StationAsNumber;
        GetAlignment().Serialize(ar);
        return true;
    }
    // Read into a fresh alignment so that a file that fails half-way leaves
    // nothing of itself behind. The chain table of a legacy file is kept with
    // the document; the current one stays as it is.
    std::optional<ChainTable> fileTable;
    if (ar.IsLegacyLayout()) {
        fileTable.emplace();
        fileTable->LoadFrom(ar);
    }
    ar >> StationAsNumber;
    PlanAlignment alignment;
    alignment.Serialize(ar);
    GetAlignment() = std::move(alignment);
    DataAs<QPmData>().FileChainTable = std::move(fileTable);
    return true;
}

}  // namespace qdat
