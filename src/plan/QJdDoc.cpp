// The intersection-point file: its kind and its content.
#include <qdat/plan/QJdDoc.h>

#include <qdat/docbase/DataArchive.h>
#include <qdat/plan/detail/PlanStrings.h>

namespace qdat {

namespace {

constexpr TypeString kTypeStrings[] = {
    {plan_strings::kIntersectionFileType, 0x8001,
     "Intersection points|Intersection-point file\nIntersection "
     "points\nIntersectionPoints\nIntersection-point "
     "files (*.jd)\n.jd"},
};

// Files from this version on carry a chain table in the legacy layout.
constexpr std::uint32_t kFirstChainTableVersion = 500;

using namespace FormatFlag;
constexpr SignatureRule kSignatures[] = {
    {"RADUDAR5.83_PM_SHUJU_JD", 583, 0, LegacyLayout, SignatureUse::Written},
    {"RADUDAR5.8_PM_SHUJU_JD", 580, 0, LegacyLayout},
    {"RADUDAR5.8_PM_SHUJU_JD_PPC", 580, LegacyLayout, 0},
    {"RADUDAR4.9_PM_SHUJU_JD", 500, 0, LegacyLayout},
    {"RADUDAR_PM_SHUJU_JD", 400, 0, LegacyLayout},
    // The old binary files, without header: the signature is the first
    // string of the content.
    {"RADUDAR5.0_PM_SHUJU_JD_BYTE", 500, LegacyLayout, FormBits},
    {"RADUDAR_PM_SHUJU_JD_BYTE", 400, LegacyLayout, FormBits},
    // The legacy layout is written with its signature inside the content.
    {"", 500, LegacyLayout, FormBits, SignatureUse::WrittenOnly},
};

constexpr ColumnDescription kHeaderColumns[] = {
    Column<&JdList::StartStation>("startStation", "m"),
};

constexpr ColumnDescription kPointColumns[] = {
    TextColumn<&JdPoint::Name>("name"),
    Column<&JdPoint::CalcMode>("calcMode"),
    Column<&JdPoint::CurveType>("curveType"),
    Column<&JdPoint::X>("x", "m"),
    Column<&JdPoint::Y>("y", "m"),
    Column<&JdPoint::Radius>("radius", "m"),
    Column<&JdPoint::SpiralStartRadius>("spiralStartRadius", "m"),
    Column<&JdPoint::SpiralEndRadius>("spiralEndRadius", "m"),
    Column<&JdPoint::SpiralLength1>("spiralLength1", "m"),
    Column<&JdPoint::SpiralLength2>("spiralLength2", "m"),
    Column<&JdPoint::SpiralParam1>("spiralParam1", "m"),
    Column<&JdPoint::SpiralParam2>("spiralParam2", "m"),
    Column<&JdPoint::Tangent1>("tangent1", "m"),
    Column<&JdPoint::Tangent2>("tangent2", "m"),
    Column<&JdPoint::ExternalDistance>("externalDistance", "m"),
    Column<&JdPoint::CurveLength>("curveLength", "m"),
    Column<&JdPoint::ArcLength>("arcLength", "m"),
    Column<&JdPoint::StraightLength>("straightLength", "m"),
    Column<&JdPoint::LegLength>("legLength", "m"),
    Column<&JdPoint::Azimuth>("azimuth", "rad"),
    Column<&JdPoint::Deflection>("deflection", "rad"),
    Column<&JdPoint::StationJD>("stationJD", "m"),
    Column<&JdPoint::StationTS>("stationTS", "m"),
    Column<&JdPoint::StationSC>("stationSC", "m"),
    Column<&JdPoint::StationMid>("stationMid", "m"),
    Column<&JdPoint::StationCS>("stationCS", "m"),
    Column<&JdPoint::StationST>("stationST", "m"),
};

JdList& ListOf(QDocument& doc) {
    return static_cast<QJdDoc&>(doc).GetList();
}

constexpr ContentBlock kContent[] = {
    {nullptr, kHeaderColumns, nullptr, [](QDocument& doc, int) -> void* { return &ListOf(doc); }},
    {"points", kPointColumns, [](QDocument& doc) { return ListOf(doc).Points.GetSize(); },
     [](QDocument& doc, int i) -> void* {
         GrowArray<JdPoint>& points = ListOf(doc).Points;
         return i >= 0 && i < points.GetSize() ? &points[i] : nullptr;
     }},
};

}  // namespace

const DocumentKind QJdDoc::classRecord{"QJdDoc",
                                       &QDocument::classRecord,
                                       [] { return std::make_unique<QJdDoc>(); },
                                       {.typeStrings = kTypeStrings,
                                        .currentVersion = 583,
                                        .signatures = kSignatures,
                                        .content = kContent,
                                        .fileName = "intersection-point file"}};

QJdDoc::QJdDoc() : QDocument(classRecord, std::make_unique<QJdData>()) {}

void QJdDoc::DeleteContents() {
    GetList() = JdList();
    DataAs<QJdData>().FileChainTable.reset();
}

bool QJdDoc::WriteToFile(File& file) {
    FileChainTableScope scope(*this);
    return QDocument::WriteToFile(file);
}

int QJdDoc::SerializeContent(DataArchive& ar) {
    if (ar.IsStoring()) {
        ar << StationAsNumber;
        if (ar.IsLegacyLayout()) {
            ar << kLegacyContentSignature;
            GetCurrentChainTable().StoreTo(ar);
        }
        GetList().Serialize(ar);
        return true;
    }
    // Read into a fresh list, so that a file that fails half-way leaves
    // nothing of itself behind. The chain table of an old file is kept with
    // the document; the current one stays as it is.
    ar >> StationAsNumber;
    std::optional<ChainTable> fileTable;
    if (ar.IsLegacyLayout() && GetFileVersion() >= kFirstChainTableVersion) {
        fileTable.emplace();
        fileTable->LoadFrom(ar);
    }
    JdList list;
    list.Serialize(ar);
    // Points after those the count gives are points all the same.
    if (!ar.AtEnd())
        NoteReadStoppedEarly(ar, "the " + std::to_string(list.Points.GetSize()) + " points its count gives");
    GetList() = std::move(list);
    DataAs<QJdData>().FileChainTable = std::move(fileTable);
    return true;
}

}  // namespace qdat
