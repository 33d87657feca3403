#include <qdat/profile/QZKZDoc.h>

#include <cmath>
#include <string_view>

#include <qdat/docbase/DataArchive.h>

namespace qdat {

namespace {

// Section keywords, in the order they are written.
constexpr const char* kEndSection = "OD_CTRL";
constexpr const char* kGradePointSection = "BPD_CTRL";
constexpr const char* kElevationSection = "SJGC_CTRL";
constexpr const char* kStructureSection = "GZW_CTRL";
constexpr const char* kMinFillSection = "MINTG_CTRL";
// Every keyword ends so; a token containing it ends a section's element lines.
constexpr const char* kKeywordTail = "_CTRL";

template <class T>
T* ElementOrNull(GrowArray<T>& array, int index) {
    return index >= 0 && index < array.GetSize() ? &array[index] : nullptr;
}

// Values and stations are finite numbers: the archive refuses others both
// ways (a station always, a value read or written as Finite).
double ReadValue(DataArchive& ar) {
    double v = 0.0;
    ar >> Finite(v, "control value");
    return v;
}

QStation ReadStation(DataArchive& ar) {
    QStation s;
    ar >> s;
    return s;
}

void WriteValue(DataArchive& ar, double v) {
    ar << Finite(v, "control value");
}

void WriteStation(DataArchive& ar, const QStation& s) {
    ar << s;
}

ControlPoint ReadControlPoint(DataArchive& ar) {
    ControlPoint c;
    c.Station = ReadStation(ar);
    c.Value1 = ReadValue(ar);
    c.Value2 = ReadValue(ar);
    return c;
}

constexpr TypeString kTypeStrings[] = {
    {124, 0x8002,
     "Profile controls|Profile control file\nZkz\nProfile controls\nProfile control files (*.zkz)\n.zkz"},
};

// Every file counts as version 5.84, whatever its first line says, so a
// control file is never old; only the 5.84 signature is accepted.
constexpr SignatureRule kSignatures[] = {
    {"RADUDAR5.84_ZDM_CTRL", 584, FormatFlag::TextForm, FormatFlag::LegacyLayout, SignatureUse::Written},
};

constexpr ColumnDescription kEndColumns[] = {
    Column<&EndControls::StartStation>("startStation", "m"),
    Column<&EndControls::StartValue1>("startValue1", "", EndControls::kUnset),
    Column<&EndControls::StartValue2>("startValue2", "", EndControls::kUnset),
    Column<&EndControls::EndStation>("endStation", "m"),
    Column<&EndControls::EndValue1>("endValue1", "", EndControls::kUnset),
    Column<&EndControls::EndValue2>("endValue2", "", EndControls::kUnset),
};
constexpr ColumnDescription kPointColumns[] = {
    Column<&ControlPoint::Station>("station", "m"),
    Column<&ControlPoint::Value1>("value1"),
    Column<&ControlPoint::Value2>("value2"),
};
constexpr ColumnDescription kRangeColumns[] = {
    Column<&ControlRange::FromStation>("fromStation", "m"),
    Column<&ControlRange::Value1>("value1"),
    Column<&ControlRange::ToStation>("toStation", "m"),
    Column<&ControlRange::Value2>("value2"),
};
constexpr ColumnDescription kFillColumns[] = {
    Column<&FillRange::FromStation>("fromStation", "m"),
    Column<&FillRange::ToStation>("toStation", "m"),
    Column<&FillRange::Value>("value", "m"),
};

ProfileControls& ControlsOf(QDocument& doc) {
    return *static_cast<QZKZDoc&>(doc).GetControls();
}

// A list of the controls, named by the member that holds it.
template <auto List>
constexpr ContentBlock ControlList(const char* key, std::span<const ColumnDescription> columns) {
    ContentBlock block{key, columns};
    block.count = [](QDocument& doc) { return (ControlsOf(doc).*List).GetSize(); };
    block.row = [](QDocument& doc, int i) -> void* { return ElementOrNull(ControlsOf(doc).*List, i); };
    return block;
}

constexpr ContentBlock kContent[] = {
    {nullptr, kEndColumns, nullptr,
     [](QDocument& doc, int) -> void* { return static_cast<EndControls*>(&ControlsOf(doc)); }},
    ControlList<&ProfileControls::GradePointControls>("gradePointControls", kPointColumns),
    ControlList<&ProfileControls::ElevationControls>("elevationControls", kPointColumns),
    ControlList<&ProfileControls::StructureControls>("structureControls", kRangeColumns),
    ControlList<&ProfileControls::MinFillControls>("minFillControls", kFillColumns),
};

}  // namespace

// No current version: a control file is never treated as old.
const DocumentKind QZKZDoc::classRecord{
    "QZKZDoc",
    &QDocument::classRecord,
    [] { return std::make_unique<QZKZDoc>(); },
    {.typeStrings = kTypeStrings,
     .signatures = kSignatures,
     .unknownSignature = {{}, 584, FormatFlag::TextForm, FormatFlag::LegacyLayout, SignatureUse::Refused},
     .content = kContent,
     .textOnly = true,
     .fileName = "profile control file"}};

QZKZDoc::QZKZDoc() : QDocument(classRecord, std::make_unique<ProfileControls>()) {}

QZKZDoc::~QZKZDoc() = default;

void QZKZDoc::ResetControls() {
    ProfileControls& c = *GetControls();
    // The stations go back to 0 as well, so that a file without an "OD_CTRL"
    // section does not keep the stations of whatever was read before.
    static_cast<EndControls&>(c) = EndControls();
    c.GradePointControls.RemoveAll();
    c.ElevationControls.RemoveAll();
    c.StructureControls.RemoveAll();
    c.MinFillControls.RemoveAll();
}

void QZKZDoc::DeleteContents() {
    QDocument::DeleteContents();
    ResetControls();
}

ControlPoint* QZKZDoc::GetGradePointControl(int index) {
    return ElementOrNull(GetControls()->GradePointControls, index);
}

ControlPoint* QZKZDoc::GetElevationControl(int index) {
    return ElementOrNull(GetControls()->ElevationControls, index);
}

ControlRange* QZKZDoc::GetStructureControl(int index) {
    return ElementOrNull(GetControls()->StructureControls, index);
}

FillRange* QZKZDoc::GetMinFillControl(int index) {
    return ElementOrNull(GetControls()->MinFillControls, index);
}

int QZKZDoc::SerializeContent(DataArchive& ar) {
    if (ar.IsStoring())
        Store(ar);
    else
        Load(ar);
    return 1;
}

void QZKZDoc::Store(DataArchive& ar) {
    ProfileControls& c = *GetControls();
    ar << kEndSection << EndRecord;
    WriteStation(ar, c.StartStation);
    WriteValue(ar, c.StartValue1);
    WriteValue(ar, c.StartValue2);
    ar << EndRecord;
    WriteStation(ar, c.EndStation);
    WriteValue(ar, c.EndValue1);
    WriteValue(ar, c.EndValue2);
    ar << EndRecord;

    for (const auto& [keyword, points] : {std::pair{kGradePointSection, &c.GradePointControls},
                                          std::pair{kElevationSection, &c.ElevationControls}}) {
        if (points->IsEmpty()) continue;
        ar << keyword << EndRecord;
        for (const ControlPoint& p : *points) {
            WriteStation(ar, p.Station);
            WriteValue(ar, p.Value1);
            WriteValue(ar, p.Value2);
            ar << EndRecord;
        }
    }
    if (!c.StructureControls.IsEmpty()) {
        ar << kStructureSection << EndRecord;
        for (const ControlRange& r : c.StructureControls) {
            WriteStation(ar, r.FromStation);
            WriteValue(ar, r.Value1);
            WriteStation(ar, r.ToStation);
            WriteValue(ar, r.Value2);
            ar << EndRecord;
        }
    }
    if (!c.MinFillControls.IsEmpty()) {
        ar << kMinFillSection << EndRecord;
        for (const FillRange& r : c.MinFillControls) {
            WriteStation(ar, r.FromStation);
            WriteStation(ar, r.ToStation);
            WriteValue(ar, r.Value);
            ar << EndRecord;
        }
    }
}

// Sections come in any order and any number of times; each keyword line is
// followed by its element lines up to the next keyword or the end. A line that
// is no keyword where one is expected ends the reading with what was read.
void QZKZDoc::Load(DataArchive& ar) {
    ResetControls();
    ProfileControls& c = *GetControls();
    for (;;) {
        if (ar.NextTokenContains(kEndSection)) {
            ar >> EndRecord;
            c.StartStation = ReadStation(ar);
            c.StartValue1 = ReadValue(ar);
            c.StartValue2 = ReadValue(ar);
            ar >> EndRecord;
            c.EndStation = ReadStation(ar);
            c.EndValue1 = ReadValue(ar);
            c.EndValue2 = ReadValue(ar);
            ar >> EndRecord;
            continue;
        }
        enum { None, GradePoints, Elevations, Structures, MinFills } section = None;
        if (ar.NextTokenContains(kGradePointSection))
            section = GradePoints;
        else if (ar.NextTokenContains(kElevationSection))
            section = Elevations;
        else if (ar.NextTokenContains(kStructureSection))
            section = Structures;
        else if (ar.NextTokenContains(kMinFillSection))
            section = MinFills;
        if (section == None) {
            // A line that is no keyword ends the reading; what follows it is
            // kept on disk, not read.
            if (!ar.AtEnd()) NoteReadStoppedEarly(ar, "the sections before it");
            return;
        }

        ar >> EndRecord;
        while (!ar.AtEnd() && !ar.NextTokenContains(kKeywordTail)) {
            switch (section) {
                case GradePoints:
                    c.GradePointControls.Add(ReadControlPoint(ar));
                    break;
                case Elevations:
                    c.ElevationControls.Add(ReadControlPoint(ar));
                    break;
                case Structures: {
                    ControlRange r;
                    r.FromStation = ReadStation(ar);
                    r.Value1 = ReadValue(ar);
                    r.ToStation = ReadStation(ar);
                    r.Value2 = ReadValue(ar);
                    c.StructureControls.Add(r);
                    break;
                }
                case MinFills: {
                    FillRange r;
                    r.FromStation = ReadStation(ar);
                    r.ToStation = ReadStation(ar);
                    r.Value = ReadValue(ar);
                    c.MinFillControls.Add(r);
                    break;
                }
                case None:
                    break;
            }
            ar >> EndRecord;
        }
        if (ar.AtEnd()) return;
    }
}

}  // namespace qdat
