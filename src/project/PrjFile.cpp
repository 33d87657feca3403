#include "project/PrjFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sstream>

#include "docbase/ArchiveEnvelope.h"
#include "docbase/TextRecords.h"
#include "host/HostFile.h"
#include "host/HostUi.h"
#include "host/Resources.h"
#include "project/ProjectPaths.h"
#include "project/detail/ProjectStrings.h"

namespace qdat {

namespace {

using Keys = SettingKeyRegistry;
namespace strings = project_strings;

// ---------------------------------------------------------------------------
// The kind

constexpr TypeString kTypeStrings[] = {
    // The project file stands for no data type of a project: group 0.
    {strings::kProjectFileType, 0, "Project|Design project\nProject\nProject\nProject files (*.prj)\n.prj"},
};

constexpr SignatureRule kSignatures[] = {
    {"RADUDAR6.00_PRJ_SHUJU", 600, 0, 0, SignatureUse::Written},
    {"RADUDAR5.83_PRJ_SHUJU", 583},
    {"RADUDAR5.8_PRJ_SHUJU", 580},
    {"QARO_CAD_PRJ_VERSION_55", 500},
};

ProjectData& DataOf(QDocument& doc) {
    return static_cast<ProjectData&>(doc.Data());
}

// The entries that name a file, as the content's list of files.
int FileCount(QDocument& doc) {
    const auto& entries = DataOf(doc).entries;
    return static_cast<int>(std::count_if(entries.begin(), entries.end(),
                                          [](const ProjectFileEntry& e) { return !e.storedPath.empty(); }));
}
void* FileRow(QDocument& doc, int index) {
    for (ProjectFileEntry& e : DataOf(doc).entries)
        if (!e.storedPath.empty() && index-- == 0) return &e;
    return nullptr;
}
int SettingCount(QDocument& doc) {
    const auto& values = DataOf(doc).globals;
    return static_cast<int>(
        std::count_if(values.begin(), values.end(), [](const SettingValue& v) { return !v.value.empty(); }));
}
void* SettingRow(QDocument& doc, int index) {
    for (SettingValue& v : DataOf(doc).globals)
        if (!v.value.empty() && index-- == 0) return &v;
    return nullptr;
}

constexpr ColumnDescription kFileColumns[] = {
    Column<&ProjectFileEntry::typeId>("typeId"),
    TextColumn<&ProjectFileEntry::storedPath>("path"),
};
constexpr ColumnDescription kSettingColumns[] = {
    Column<&SettingValue::keyId>("key"),
    TextColumn<&SettingValue::value>("value"),
};
constexpr ContentBlock kContent[] = {
    {"files", kFileColumns, FileCount, FileRow},
    {"settings", kSettingColumns, SettingCount, SettingRow},
};

// ---------------------------------------------------------------------------
// Text helpers

// Blanks around keys and values; a carriage return too (files of other
// systems end their lines with more than one).
constexpr std::string_view kBlanks = " \t\r";

std::string_view TrimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

// What a line can hold at its ends: the text form drops blanks and commas
// there, and a line may end in more than one carriage return.
std::string_view TrimLineEnds(std::string_view s) {
    constexpr std::string_view kEnds = " \t\r,";
    const auto first = s.find_first_not_of(kEnds);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kEnds) - first + 1);
}

// A value as a line can end with it.
std::string TrimValue(std::string_view s) {
    s = TrimBlanks(s);
    const auto last = s.find_last_not_of(" \t\r,");
    return std::string(last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1));
}

std::string_view TrimRightBlanks(std::string_view s) {
    const auto last = s.find_last_not_of(kBlanks);
    return last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1);
}

// Whether a project file can hold text as a value: the file is read line by
// line, and a line holding "[" is a section's header.
bool IsWritableValue(std::string_view text) {
    return text.find_first_of(std::string_view("[\n\0", 3)) == std::string_view::npos;
}

// A name as it can stand after a number in a line: no "[", "=" or line
// break, and no digit or blank in front (it would read as part of the number).
std::string WritableName(std::string text) {
    text.erase(
        std::remove_if(text.begin(), text.end(),
                       [](char c) { return c == '[' || c == '=' || c == '\n' || c == '\r' || c == '\0'; }),
        text.end());
    const auto start = text.find_first_not_of("0123456789 \t");
    return start == std::string::npos ? std::string() : text.substr(start);
}

// A whole number in text: an optional minus and up to twelve digits.
bool ParseWhole(std::string_view text, long long& value) {
    text = TrimBlanks(text);
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    if (text.empty() || text.size() > 12) return false;
    long long v = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        v = v * 10 + (c - '0');
    }
    value = negative ? -v : v;
    return true;
}

// A 32-bit key or value as written either signed or unsigned.
bool ParseWord(std::string_view text, std::uint32_t& word) {
    long long v = 0;
    if (!ParseWhole(text, v) || v < -2147483648LL || v > 4294967295LL) return false;
    word = static_cast<std::uint32_t>(v);
    return true;
}

std::string ShowLine(const ProjectLine& line) {
    return line.hasValue ? line.key + " = " + line.value : line.key;
}

// Keys of the fingerprint of the entry of type t in the integer and real maps.
std::uint32_t FirstFingerprintKey(std::uint32_t t) {
    return t * 65536u + 65535u;
}
std::uint32_t SecondFingerprintKey(std::uint32_t t) {
    return 0x7FFF0000u + t;
}

std::uint32_t Word(const Fingerprint& f, int i) {
    return static_cast<std::uint32_t>(f[4 * i]) | (static_cast<std::uint32_t>(f[4 * i + 1]) << 8) |
           (static_cast<std::uint32_t>(f[4 * i + 2]) << 16) |
           (static_cast<std::uint32_t>(f[4 * i + 3]) << 24);
}

void SetWord(Fingerprint& f, int i, std::uint32_t w) {
    for (int b = 0; b < 4; ++b) f[4 * i + b] = static_cast<std::uint8_t>(w >> (8 * b));
}

// The sections of a project file.
enum Section : long {
    kFiles = 1,
    kGlobals = 2,
    kChainBreaks = 3,
    kFirstSegment = 4,
    kLastSegment = 12,
    kIntegers = 101,
    kReals = 102,
    kTexts = 103,
};

bool IsKnownSection(long section) {
    return (section >= kFiles && section <= kLastSegment) || (section >= kIntegers && section <= kTexts);
}

int SectionNameId(long section) {
    switch (section) {
        case kFiles:
            return strings::kFilesSection;
        case kGlobals:
            return strings::kGlobalSection;
        case kChainBreaks:
            return strings::kChainTableSection;
        case kIntegers:
            return strings::kIntegerSection;
        case kReals:
            return strings::kRealSection;
        case kTexts:
            return strings::kTextSection;
        default:
            return section == kFirstSegment ? strings::kFirstSegmentSection
                                            : strings::kMoreSegmentSections + static_cast<int>(section) - 5;
    }
}

// A section's name as its header writes it: with "[", so that it reads as one.
std::string SectionName(long section) {
    std::string name = LoadResourceString(SectionNameId(section));
    name.erase(
        std::remove_if(name.begin(), name.end(), [](char c) { return c == '\n' || c == '\r' || c == '\0'; }),
        name.end());
    return name.find('[') == std::string::npos ? "[" + name + "]" : name;
}

// The section a header line starts; 0 for none this project knows.
long SectionOfHeader(const std::string& line) {
    if (std::isdigit(static_cast<unsigned char>(line.back()))) {
        // The number after the first "]", whatever stands before it.
        const auto close = line.find(']');
        if (close == std::string::npos) return 0;
        std::string_view rest = TrimBlanks(std::string_view(line).substr(close + 1));
        long long number = 0;
        if (rest.empty() || rest[0] == '-' || !ParseWhole(rest, number)) return 0;
        return IsKnownSection(static_cast<long>(number)) ? static_cast<long>(number) : 0;
    }
    for (long section : {1L, 2L, 3L, 4L, 5L, 6L, 7L, 8L, 9L, 10L, 11L, 12L, 101L, 102L, 103L})
        if (line == SectionName(section)) return section;
    return 0;
}

// The leading digits of a key text as its number (0 when none, a number too
// large for any key as 0xFFFFFFFF), and the text after them.
std::uint32_t KeyNumber(std::string_view key, std::string_view& rest) {
    std::size_t digits = 0;
    std::uint64_t number = 0;
    while (digits < key.size() && std::isdigit(static_cast<unsigned char>(key[digits]))) {
        number =
            std::min<std::uint64_t>(number * 10 + static_cast<std::uint64_t>(key[digits] - '0'), 0xFFFFFFFFu);
        ++digits;
    }
    rest = key.substr(digits);
    return static_cast<std::uint32_t>(number);
}

// A stored value of a key with a list of choices, "index|text", as the text
// of the choice; a value of another form stays as it is.
std::string ValueAsRead(const SettingKey& key, const std::string& value) {
    if (!key.provider || key.id == 207 || key.id == 208) return value;
    if (value.empty() || !std::isdigit(static_cast<unsigned char>(value[0]))) return value;
    const auto bar = value.find('|');
    long long index = 0;
    std::string text;
    if (bar == std::string::npos || !ParseWhole(std::string_view(value).substr(0, bar), index) ||
        index > 2147483647LL || !key.provider->GetChoiceText(static_cast<int>(index), text))
        return value;
    return text;
}

std::string ValueAsWritten(const SettingKey& key, const std::string& value) {
    int index = 0;
    if (!key.provider || key.id == 207 || key.id == 208 || !key.provider->FindChoice(value, index))
        return value;
    return std::to_string(index) + "|" + value;
}

std::vector<SettingValue> ValuesOfKeys(bool perSegment) {
    std::vector<SettingValue> values;
    for (const SettingKey& key : Keys::Get().All()) {
        if (key.IsPerSegment() != perSegment) continue;
        if (!perSegment && (key.id == Keys::kChainPrefix || key.id == Keys::kStartStation ||
                            key.id == Keys::kEndStation || Keys::IsBreakKey(key.id)))
            continue;
        values.push_back({key.id, {}});
    }
    return values;
}

template <class Values>
auto FindValue(Values& values, std::uint32_t key) -> decltype(&values[0]) {
    const auto at = std::lower_bound(values.begin(), values.end(), key,
                                     [](const SettingValue& v, std::uint32_t k) { return v.keyId < k; });
    return at != values.end() && at->keyId == key ? &*at : nullptr;
}

template <class Entries>
auto FindEntryIn(Entries& entries, std::uint32_t typeId) -> decltype(&entries[0]) {
    const auto at = std::lower_bound(entries.begin(), entries.end(), typeId,
                                     [](const ProjectFileEntry& e, std::uint32_t t) { return e.typeId < t; });
    return at != entries.end() && at->typeId == typeId ? &*at : nullptr;
}

// Each listener that announces the bit, with its interface.
template <class Visit>
void ForListeners(DocumentData& data, std::uint32_t bit, Visit visit) {
    for (auto pos = data.Listeners.GetHeadPosition(); pos;) {
        DocumentListener* listener = data.Listeners.GetNext(pos);
        if (listener->GetInterfaceVersion() & bit)
            if (!visit(*listener)) return;
    }
}

}  // namespace

const DocumentKind PrjFile::classRecord{"PrjFile",
                                        &QDocument::classRecord,
                                        [] { return std::make_unique<PrjFile>(); },
                                        {.typeStrings = kTypeStrings,
                                         .currentVersion = kCurrentVersion,
                                         .signatures = kSignatures,
                                         .content = kContent,
                                         .textOnly = true,
                                         .fileName = "project file"}};

// ---------------------------------------------------------------------------
// The data block

void ProjectData::Saved(const std::string& path) {
    for (ProjectFileEntry& entry : entries) {
        QDocument* doc = entry.document.get();
        if (!doc || !doc->IsModified()) continue;
        const std::string name = doc->HasFilePath() ? doc->GetPathName() : doc->GetTitle();
        if (AskYesNo(FormatResource(strings::kSaveEntryDocument, name.c_str()))) doc->SaveWithPrompt();
    }
    DocumentData::Saved(path);
}

void ProjectData::Opened(const std::string& path) {
    if (FileVersion < CurrentVersion) m_project.UpgradeOnOpen();
    DocumentData::Opened(path);
}

bool ProjectData::IsContentModified() const {
    return std::any_of(entries.begin(), entries.end(),
                       [](const ProjectFileEntry& e) { return e.document && e.document->IsModified(); });
}

// ---------------------------------------------------------------------------
// Construction and contents

PrjFile::PrjFile() : QDocument(classRecord, std::make_unique<ProjectData>(*this)) {
    ResetContent();
}

PrjFile::~PrjFile() = default;

void PrjFile::ResetContent() {
    ProjectData& d = Project();
    d.entries.clear();
    for (const DataType* type : DataTypeRegistry::Get().All()) {
        ProjectFileEntry entry;
        entry.type = type;
        entry.typeId = type->GetId();
        d.entries.push_back(std::move(entry));
    }
    d.unknownFiles.clear();
    d.globals = ValuesOfKeys(false);
    d.unknownGlobals.clear();
    d.segments.clear();
    d.chainTable = ChainTable();
    for (auto& lines : d.unknownMapLines) lines.clear();
    EnsureSegment(0);
}

void PrjFile::DeleteContents() {
    // The maps keep their entries: other parts of the host put them there.
    ResetContent();
    ApplyProjectSettings();
}

// ---------------------------------------------------------------------------
// Opening and saving

bool PrjFile::OpenProject(const std::string& path) {
    ArmOldVersionNotice(true);
    m_openUpgrade = ProjectUpgradeReport();
    if (!OnOpenDocument(path)) return false;
    // A folder that cannot be entered leaves the current one: the project is open all the same.
    const std::string folder = GetProjectDir();
    if (!folder.empty()) [[maybe_unused]]
        const int moved = ::chdir(folder.c_str());
    return true;
}

bool PrjFile::ReadProject(const std::string& path) {
    if (!ReadDocumentFile(*this, path)) return false;
    SetFilePath(path);
    SetModifiedFlag(false);
    return true;
}

bool PrjFile::SaveProjectAs(const std::string& path) {
    return !path.empty() && OnSaveDocument(path);
}

bool PrjFile::SaveProject() {
    return HasFilePath() && OnSaveDocument(GetPathName());
}

std::string PrjFile::GetProjectPath() const {
    return m_pathName;
}

std::string PrjFile::GetProjectDir() const {
    return ProjectFolderOf(m_pathName);
}

// ---------------------------------------------------------------------------
// Data files

ProjectFileEntry* PrjFile::EntryOf(std::uint32_t typeId) {
    return FindEntryIn(Project().entries, typeId);
}

const ProjectFileEntry* PrjFile::FindEntry(std::uint32_t typeId) const {
    return FindEntryIn(Project().entries, typeId);
}

std::string PrjFile::GetEntryPath(std::uint32_t typeId) const {
    const ProjectFileEntry* entry = FindEntry(typeId);
    return entry ? ResolveStoredPath(GetProjectDir(), entry->storedPath) : std::string();
}

std::string PrjFile::GetStoredEntryPath(std::uint32_t typeId) const {
    const ProjectFileEntry* entry = FindEntry(typeId);
    return entry ? entry->storedPath : std::string();
}

bool PrjFile::SetEntryPath(std::uint32_t typeId, const std::string& path) {
    ProjectFileEntry* entry = EntryOf(typeId);
    if (!entry || !IsWritableValue(path)) return false;
    const std::string trimmed = TrimValue(path);
    std::string effective;
    if (trimmed.empty() || (trimmed[0] != '/' && !IsWindowsDrivePath(trimmed))) {
        entry->storedPath = trimmed;
        effective = ResolveStoredPath(GetProjectDir(), trimmed);
    } else {
        entry->storedPath = IsWindowsDrivePath(trimmed) ? trimmed : MakeStoredPath(GetProjectDir(), trimmed);
        effective = trimmed;
    }
    if (QDocument* doc = entry->document.get()) {
        if (effective.empty()) {
            doc->OnCloseDocument();
            doc->OnNewDocument();
        } else if (!SameResolvedPath(doc->GetPathName(), effective)) {
            doc->OnCloseDocument();
            doc->OnOpenDocument(effective);
        }
    }
    SetModifiedFlag(true);
    ForListeners(Data(), DocumentListener::kAnnouncesEntryPath, [typeId](DocumentListener& l) {
        l.OnEntryPathChanged(static_cast<int>(typeId));
        return true;
    });
    return true;
}

void PrjFile::OnEntrySaved(int entryId, const std::string& path) {
    const ProjectFileEntry* entry = FindEntry(static_cast<std::uint32_t>(entryId));
    if (entry && SameResolvedPath(GetEntryPath(entry->typeId), path)) {
        SetModifiedFlag(true);  // the file's fingerprint changed with it
        return;
    }
    SetEntryPath(static_cast<std::uint32_t>(entryId), path);
}

bool PrjFile::IsEntryFileUnchanged(std::uint32_t typeId) {
    const ProjectFileEntry* entry = FindEntry(typeId);
    if (!entry || entry->storedPath.empty()) return false;
    const std::string path = GetEntryPath(typeId);
    Fingerprint now{};
    if (!ResolvedFileExists(path) || !ComputeFileFingerprint(path, now)) return false;
    return now == entry->fingerprint;
}

QDocument* PrjFile::GetEntryDocument(std::uint32_t typeId) {
    ProjectFileEntry* entry = EntryOf(typeId);
    if (!entry) return nullptr;
    if (entry->document) return entry->document.get();
    entry->document = entry->type->CreateDocument();
    QDocument* doc = entry->document.get();
    if (!doc) return nullptr;
    doc->Data().OwnerProject = this;
    doc->Data().ProjectEntryId = static_cast<std::int32_t>(typeId);
    const std::string path = GetEntryPath(typeId);
    if (path.empty()) {
        doc->OnNewDocument();
    } else if (IsWindowsDrivePath(path)) {
        // A file of another computer: the document stays empty.
        ShowError(FormatResource(strings::kDrivePathNotHere, path.c_str()));
        doc->OnNewDocument();
    } else {
        doc->OnOpenDocument(path);
    }
    return doc;
}

std::vector<std::string> PrjFile::GetExistingFiles() const {
    std::vector<std::string> files;
    const auto add = [&files](const std::string& path) {
        if (!ResolvedFileExists(path)) return;
        for (const std::string& known : files)
            if (SameResolvedPath(known, path)) return;
        files.push_back(path);
    };
    for (const ProjectFileEntry& entry : Project().entries) add(GetEntryPath(entry.typeId));
    for (const ProjectLine& line : Project().unknownFiles)
        add(ResolveStoredPath(GetProjectDir(), line.value));
    return files;
}

// ---------------------------------------------------------------------------
// Settings

SettingValue* PrjFile::GlobalValueOf(std::uint32_t key) {
    return FindValue(Project().globals, key);
}

SettingValue* PrjFile::SegmentValueOf(int segment, std::uint32_t key) {
    auto& segments = Project().segments;
    if (segment < 0 || segment >= static_cast<int>(segments.size())) return nullptr;
    return FindValue(segments[static_cast<std::size_t>(segment)].values, key);
}

const SettingValue* PrjFile::SegmentValueOf(int segment, std::uint32_t key) const {
    const ProjectSegment* s = GetSegment(segment);
    return s ? FindValue(s->values, key) : nullptr;
}

const ProjectSegment* PrjFile::GetSegment(int segment) const {
    const auto& segments = Project().segments;
    return segment >= 0 && segment < static_cast<int>(segments.size())
               ? &segments[static_cast<std::size_t>(segment)]
               : nullptr;
}

bool PrjFile::EnsureSegment(int segment) {
    if (segment < 0 || segment >= kMaxSegments) return false;
    auto& segments = Project().segments;
    while (static_cast<int>(segments.size()) <= segment) segments.push_back({ValuesOfKeys(true), {}});
    return true;
}

std::string PrjFile::GetSetting(std::uint32_t key) {
    const ProjectData& d = Project();
    if (key == Keys::kChainPrefix) return d.chainTable.GetPrefix();
    if (key == Keys::kStartStation) return GetSegmentSetting(0, Keys::kSegmentStart);
    if (key == Keys::kEndStation) {
        for (int s = kMaxSegments - 1; s >= 0; --s) {
            const std::string end = GetSegmentSetting(s, Keys::kSegmentEnd);
            if (!end.empty()) return end;
        }
        return {};
    }
    if (SettingValue* value = GlobalValueOf(key)) {
        if (key == Keys::kProjectName && value->value.empty()) {
            // A project without a name is called after its file.
            const std::string title = FileTitleOf(m_pathName);
            value->value = title.substr(0, title.rfind('.'));
        }
        return value->value;
    }
    return GetSegmentSetting(0, key);
}

std::string PrjFile::GetSegmentSetting(int segment, std::uint32_t key) const {
    const SettingValue* value = SegmentValueOf(segment, key);
    return value ? value->value : std::string();
}

std::string PrjFile::GetSettingAtStation(const QStation& station, std::uint32_t key) const {
    for (int i = 0; i < kMaxSegments; ++i) {
        QStation start, end;
        if (!GetSegmentRange(i, start, end)) return i == 0 ? GetSegmentSetting(0, key) : std::string();
        // The segment's start is not compared: segments follow each other.
        if (station.GetValue() < end.GetValue() + 0.001) return GetSegmentSetting(i, key);
    }
    return {};
}

bool PrjFile::ChangeSetting(int segment, std::uint32_t key, const std::string& newValue,
                            const SettingText* source) {
    const std::string value = TrimValue(newValue);
    if (!IsWritableValue(value)) return false;
    SettingValue* target = nullptr;
    if (key != Keys::kChainPrefix) {
        target = segment < 0 ? GlobalValueOf(key) : nullptr;
        if (!target) target = SegmentValueOf(segment < 0 ? 0 : segment, key);
        if (!target) return false;
        if (segment < 0 && !GlobalValueOf(key)) segment = 0;
    }
    bool allowed = true;
    ForListeners(Data(), DocumentListener::kAnnouncesSettings, [&](DocumentListener& l) {
        allowed = source ? l.CanChangeSettingFrom(segment, static_cast<int>(key), source)
                         : l.CanChangeSetting(segment, static_cast<int>(key), value);
        return allowed;
    });
    if (!allowed) return false;
    std::string old;
    if (target) {
        old = target->value;
        target->value = value;
    } else {
        old = Project().chainTable.GetPrefix();
        Project().chainTable.SetPrefix(value);
    }
    SetModifiedFlag(true);
    ForListeners(Data(), DocumentListener::kAnnouncesSettings, [&](DocumentListener& l) {
        l.SettingChanged(segment, static_cast<int>(key), old);
        return true;
    });
    return true;
}

bool PrjFile::SetSetting(std::uint32_t key, const std::string& value) {
    return ChangeSetting(-1, key, value, nullptr);
}

bool PrjFile::SetSegmentSetting(int segment, std::uint32_t key, const std::string& value) {
    if (!SegmentValueOf(segment, key)) return false;
    return ChangeSetting(segment, key, value, nullptr);
}

bool PrjFile::SetSettingFrom(std::uint32_t key, const SettingText& value) {
    return ChangeSetting(-1, key, value.GetText(), &value);
}

bool PrjFile::SetSegmentSettingFrom(int segment, std::uint32_t key, const SettingText& value) {
    if (!SegmentValueOf(segment, key)) return false;
    return ChangeSetting(segment, key, value.GetText(), &value);
}

bool PrjFile::GetSegmentRange(int segment, QStation& start, QStation& end) const {
    const std::string startText = GetSegmentSetting(segment, Keys::kSegmentStart);
    const std::string endText = GetSegmentSetting(segment, Keys::kSegmentEnd);
    double a = 0.0, b = 0.0;
    if (startText.empty() || endText.empty() || !Project().chainTable.ParseStake(startText, a) ||
        !Project().chainTable.ParseStake(endText, b))
        return false;
    start = a;
    end = b;
    return true;
}

bool PrjFile::SetSegmentRange(int segment, const QStation& start, const QStation& end) {
    if (!std::isfinite(start.GetValue()) || !std::isfinite(end.GetValue()) || !EnsureSegment(segment))
        return false;
    SegmentValueOf(segment, Keys::kSegmentStart)->value =
        Project().chainTable.FormatStakeForFile(start.GetValue());
    SegmentValueOf(segment, Keys::kSegmentEnd)->value =
        Project().chainTable.FormatStakeForFile(end.GetValue());
    SetModifiedFlag(true);
    return true;
}

bool PrjFile::GetStartStation(QStation& station) const {
    double value = 0.0;
    const std::string text = GetSegmentSetting(0, Keys::kSegmentStart);
    if (text.empty() || !Project().chainTable.ParseStake(text, value)) return false;
    station = value;
    return true;
}

bool PrjFile::GetEndStation(QStation& station) const {
    for (int s = kMaxSegments - 1; s >= 0; --s) {
        double value = 0.0;
        const std::string text = GetSegmentSetting(s, Keys::kSegmentEnd);
        if (!text.empty() && Project().chainTable.ParseStake(text, value)) {
            station = value;
            return true;
        }
    }
    return false;
}

void PrjFile::ClearSegments() {
    Project().segments.clear();
    EnsureSegment(0);
    SetModifiedFlag(true);
}

void PrjFile::ApplyProjectSettings() const {
    GetCurrentChainTable() = Project().chainTable;
    const SettingValue* precision = FindValue(Project().globals, Keys::kStationPrecision);
    SetStationPrecision(precision && !precision->value.empty()
                            ? precision->value
                            : LoadResourceString(strings::kDefaultStationPrecision));
}

// ---------------------------------------------------------------------------
// Maps

bool PrjFile::SetInt(std::uint32_t key, std::int32_t value) {
    if (!Project().ints.Set(key, value)) return true;
    SetModifiedFlag(true);
    return true;
}

bool PrjFile::GetInt(std::uint32_t key, std::int32_t& value) const {
    return Project().ints.Get(key, value);
}

bool PrjFile::SetReal(std::uint32_t key, double value) {
    if (!std::isfinite(value)) return false;
    if (Project().reals.Set(key, value)) SetModifiedFlag(true);
    return true;
}

bool PrjFile::GetReal(std::uint32_t key, double& value) const {
    return Project().reals.Get(key, value);
}

bool PrjFile::SetText(std::int32_t key, const std::string& text) {
    const std::string value = TrimValue(text);
    if (!IsWritableValue(value)) return false;
    if (Project().texts.Set(key, value)) SetModifiedFlag(true);
    return true;
}

bool PrjFile::GetText(std::int32_t key, std::string& text) const {
    return Project().texts.Get(key, text);
}

// ---------------------------------------------------------------------------
// The project file's text

int PrjFile::SerializeContent(DataArchive& ar) {
    if (ar.IsStoring())
        WriteContent(ar);
    else
        ReadContent(ar);
    return 1;
}

void PrjFile::ReadContent(DataArchive& ar) {
    if (!ar.IsTextForm()) ar.ThrowError(QArchiveException::BadFormat, "a project file is text");
    if (GetFileVersion() == 0)
        ar.ThrowError(QArchiveException::BadFormat, "the first line is no project signature");
    ProjectData& d = Project();
    auto& types = DataTypeRegistry::Get();
    auto& keys = Keys::Get();
    long section = kGlobals;
    for (; !ar.GetRecord().empty(); ar.NextRecord()) {
        // A line that is blank, or a comment of the text form, once its ends
        // are trimmed is no line of the project.
        const std::string record(TrimLineEnds(ar.GetRecord()));
        if (TextRecords::IsCommentRecord(record)) continue;
        if (record.find('[') != std::string::npos) {
            section = SectionOfHeader(record);
            if (section >= kFirstSegment && section <= kLastSegment)
                EnsureSegment(static_cast<int>(section - kFirstSegment));
            if (section != 0) continue;
            // A section of a later version: what came before it is kept,
            // and the file is not written over without asking.
            NoteReadStoppedEarly(ar, "the sections before the one at this line");
            return;
        }
        ProjectLine line;
        const auto eq = record.find('=');
        line.hasValue = eq != std::string::npos;
        line.key = std::string(TrimRightBlanks(std::string_view(record).substr(0, eq)));
        if (line.hasValue) line.value = std::string(TrimBlanks(std::string_view(record).substr(eq + 1)));
        std::string_view keyText;
        const std::uint32_t number = KeyNumber(line.key, keyText);

        if (section == kFiles) {
            const DataType* type = number            ? types.Find(number)
                                   : keyText.empty() ? nullptr
                                                     : types.FindByName(std::string(TrimBlanks(keyText)));
            ProjectFileEntry* entry = type ? EntryOf(type->GetId()) : nullptr;
            if (entry)
                entry->storedPath = line.value;
            else
                d.unknownFiles.push_back(std::move(line));
            continue;
        }
        if (section >= kIntegers) {
            const std::size_t map = static_cast<std::size_t>(section - kIntegers);
            std::uint32_t key = 0, word = 0;
            double real = 0.0;
            std::size_t used = 0;
            bool taken = line.hasValue && ParseWord(line.key, key);
            if (taken && section == kIntegers) {
                taken = ParseWord(line.value, word);
                if (taken) d.ints.SetAsRead(key, static_cast<std::int32_t>(word));
            } else if (taken && section == kReals) {
                taken = line.value.find_first_not_of("-0123456789.") == std::string::npos &&
                        ScanDouble(line.value, real, &used) && used == line.value.size() &&
                        std::isfinite(real);
                if (taken) d.reals.SetAsRead(key, real);
            } else if (taken) {
                d.texts.SetAsRead(static_cast<std::int32_t>(key), line.value);
            }
            if (!taken) d.unknownMapLines[map].push_back(std::move(line));
            continue;
        }

        // Sections of settings: the global one, the chain table's and the segments'.
        const int segment = section >= kFirstSegment ? static_cast<int>(section - kFirstSegment) : -1;
        std::vector<ProjectLine>& unknown =
            segment >= 0 ? d.segments[static_cast<std::size_t>(segment)].unknownLines : d.unknownGlobals;
        const SettingKey* key = number            ? keys.Find(number)
                                : keyText.empty() ? nullptr
                                                  : keys.FindByName(std::string(TrimBlanks(keyText)));
        if (!key) {
            unknown.push_back(std::move(line));
        } else if (key->IsPerSegment()) {
            SegmentValueOf(segment >= 0 ? segment : 0, key->id)->value = ValueAsRead(*key, line.value);
        } else if (key->id == Keys::kChainPrefix) {
            d.chainTable.SetPrefix(line.value);
        } else if (Keys::IsBreakKey(key->id)) {
            ChainBreak brk, written;
            if (!brk.ParseText(line.value)) {
                unknown.push_back(std::move(line));
                continue;
            }
            // A break that is written as no break at all is none.
            if (!written.ParseText(brk.GetText()) || written.Length() == 0.0) continue;
            try {
                d.chainTable.AddBreak(brk.Before, brk.After);
            } catch (const QDLException& e) {
                ar.ThrowError(QArchiveException::BadFormat, e.GetErrorMessage());
            }
        } else if (SettingValue* value = GlobalValueOf(key->id)) {
            value->value = ValueAsRead(*key, line.value);
        } else {
            d.unknownGlobals.push_back(std::move(line));
        }
    }
    RestoreFingerprints();
}

void PrjFile::RestoreFingerprints() {
    ProjectData& d = Project();
    for (ProjectFileEntry& entry : d.entries) {
        std::int32_t w0 = 0, w1 = 0;
        double w2 = 0.0, w3 = 0.0;
        const std::uint32_t k1 = FirstFingerprintKey(entry.typeId), k2 = SecondFingerprintKey(entry.typeId);
        if (!d.ints.Get(k1, w0) || !d.ints.Get(k2, w1) || !d.reals.Get(k1, w2) || !d.reals.Get(k2, w3))
            continue;
        const auto isWord = [](double v) { return v >= 0.0 && v <= 4294967295.0 && v == std::floor(v); };
        if (!isWord(w2) || !isWord(w3)) continue;
        SetWord(entry.fingerprint, 0, static_cast<std::uint32_t>(w0));
        SetWord(entry.fingerprint, 1, static_cast<std::uint32_t>(w1));
        SetWord(entry.fingerprint, 2, static_cast<std::uint32_t>(w2));
        SetWord(entry.fingerprint, 3, static_cast<std::uint32_t>(w3));
    }
}

void PrjFile::RecordFingerprints() {
    ProjectData& d = Project();
    // Only a project with a folder finds its files: one being read from
    // memory, or never saved, keeps the fingerprints it has.
    const bool located = !GetProjectDir().empty();
    for (ProjectFileEntry& entry : d.entries) {
        const std::string path = GetEntryPath(entry.typeId);
        if (located && ResolvedFileExists(path)) ComputeFileFingerprint(path, entry.fingerprint);
        const std::uint32_t k1 = FirstFingerprintKey(entry.typeId), k2 = SecondFingerprintKey(entry.typeId);
        d.ints.Set(k1, static_cast<std::int32_t>(Word(entry.fingerprint, 0)));
        d.ints.Set(k2, static_cast<std::int32_t>(Word(entry.fingerprint, 1)));
        d.reals.Set(k1, static_cast<double>(Word(entry.fingerprint, 2)));
        d.reals.Set(k2, static_cast<double>(Word(entry.fingerprint, 3)));
    }
}

void PrjFile::WriteContent(DataArchive& ar) {
    ProjectData& d = Project();
    RecordFingerprints();
    const auto line = [&ar](const std::string& text) {
        if (!IsWritableValue(text))
            ar.ThrowError(QArchiveException::GenericError,
                          "a project file cannot hold the line \"" + text.substr(0, 60) + "\"");
        ar.SetRecord(text);
        ar.NextRecord();
    };
    const auto header = [&ar](long section) {
        ar.SetRecord(SectionName(section) + std::to_string(section));
        ar.NextRecord();
    };
    const auto keyLine = [&line](std::uint32_t id, const std::string& name, const std::string& value) {
        line(std::to_string(id) + WritableName(name) + " = " + value);
    };
    const auto setting = [&keyLine](const SettingValue& v) {
        if (v.value.empty()) return;
        const SettingKey* key = Keys::Get().Find(v.keyId);
        keyLine(v.keyId, key ? key->GetName() : std::string(), key ? ValueAsWritten(*key, v.value) : v.value);
    };

    header(kFiles);
    for (const ProjectFileEntry& entry : d.entries)
        if (!entry.storedPath.empty()) keyLine(entry.typeId, entry.type->GetName(), entry.storedPath);
    for (const ProjectLine& l : d.unknownFiles) line(ShowLine(l));

    header(kGlobals);
    for (const SettingValue& v : d.globals) setting(v);
    for (const ProjectLine& l : d.unknownGlobals) line(ShowLine(l));
    if (!d.chainTable.GetPrefix().empty())
        keyLine(Keys::kChainPrefix, Keys::Get().Find(Keys::kChainPrefix)->GetName(),
                d.chainTable.GetPrefix());

    if (d.chainTable.GetBreakCount() > Keys::kLastBreak - Keys::kFirstBreak + 1)
        ar.ThrowError(QArchiveException::GenericError, "a project holds at most 25 chain breaks");
    if (!d.chainTable.IsEmpty()) {
        header(kChainBreaks);
        for (int i = 0; i < d.chainTable.GetBreakCount(); ++i) {
            const std::uint32_t id = Keys::kFirstBreak + static_cast<std::uint32_t>(i);
            keyLine(id, Keys::Get().Find(id)->GetName(), d.chainTable.GetBreak(i).GetText());
        }
    }

    for (std::size_t s = 0; s < d.segments.size(); ++s) {
        header(kFirstSegment + static_cast<long>(s));
        for (const SettingValue& v : d.segments[s].values) setting(v);
        for (const ProjectLine& l : d.segments[s].unknownLines) line(ShowLine(l));
    }

    // Keys of the maps are written as 32-bit signed numbers, as they always were.
    header(kIntegers);
    d.ints.ForEach([&](std::uint32_t key, std::int32_t value) {
        line(std::to_string(static_cast<std::int32_t>(key)) + " = " + std::to_string(value));
    });
    for (const ProjectLine& l : d.unknownMapLines[0]) line(ShowLine(l));
    header(kReals);
    d.reals.ForEach([&](std::uint32_t key, double value) {
        line(std::to_string(static_cast<std::int32_t>(key)) + " = " + FormatFixed(value, 6));
    });
    for (const ProjectLine& l : d.unknownMapLines[1]) line(ShowLine(l));
    // Every text is written after its key: a text written before a small key
    // (the old form) could not be told from the key when it ended in a digit.
    header(kTexts);
    d.texts.ForEach(
        [&](std::int32_t key, const std::string& text) { line(std::to_string(key) + " = " + text); });
    for (const ProjectLine& l : d.unknownMapLines[2]) line(ShowLine(l));
}

// ---------------------------------------------------------------------------
// Backup

namespace {

// Why a file outside the project folder was not read into the backup or written by the upgrade.
constexpr const char* kOutsideFolder = "it lies outside the project folder (--include-outside takes it)";

std::string LocalTimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[64];
    return std::strftime(text, sizeof text, "(%Y-%m-%d-%H%M%S)", &local) ? text : "";
}

// The first cabinet of a set whose name is not taken yet: a second backup
// within the same second must not replace the first.
std::string FreeCabinetName(const std::string& wanted) {
    std::error_code ec;
    if (!std::filesystem::exists(wanted, ec)) return wanted;
    const std::string stem = wanted.substr(0, wanted.size() - 4);  // without ".cab"
    for (int n = 2;; ++n) {
        const std::string candidate = stem + "-" + std::to_string(n) + ".cab";
        if (!std::filesystem::exists(candidate, ec)) return candidate;
    }
}

// A project name as one file name in the project folder: the name is the
// user's free text ("Road A/B bypass", even "../elsewhere"), and neither a
// folder separator, a character Windows refuses in a file name, a control
// character nor a leading dot (a hidden file, or a way up) may reach the
// cabinet's path. Cut to leave room for the time stamp within a file name's
// 255 bytes, at a character's start.
std::string BackupNameOf(const std::string& projectName) {
    std::string name;
    for (const char c : projectName) {
        const auto u = static_cast<unsigned char>(c);
        const bool unsafe = u < 0x20 || u == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr;
        name += unsafe ? '_' : c;
    }
    name.erase(0, std::min(name.find_first_not_of(". \t"), name.size()));
    constexpr std::size_t kLongest = 200;
    if (name.size() > kLongest) {
        std::size_t cut = kLongest;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return name;
}

}  // namespace

std::string PrjFile::GetDefaultBackupName() {
    return GetProjectDir() + BackupNameOf(GetSetting(Keys::kProjectName)) + LocalTimeStamp() + ".cab";
}

bool PrjFile::BackupProject(const std::string& target, ProjectBackupResult* result,
                            const CabinetOptions& options) {
    return MakeBackup(target, result, options, true);
}

bool PrjFile::MakeBackup(const std::string& target, ProjectBackupResult* result,
                         const CabinetOptions& options, bool tellFailure) {
    ProjectBackupResult local;
    ProjectBackupResult& r = result ? *result : local;
    r = ProjectBackupResult();
    std::string path = target;
    if (path.empty()) {
        const SettingValue* name = GlobalValueOf(Keys::kProjectName);
        path = FreeCabinetName(GetProjectDir() + BackupNameOf(name ? name->value : std::string()) +
                               LocalTimeStamp() + ".cab");
    }
    // The cabinet takes the target's folder and name; its extension is ".cab" whatever the target's.
    const std::filesystem::path target_(path);
    const std::string folder = target_.parent_path().string();
    const std::string base = target_.stem().string();
    const std::string first =
        (folder.empty() ? std::string() : folder + "/") + CabinetWriter::CabinetName(base, 0);

    CabinetWriter writer(folder, base, options);
    if (!HasFilePath()) {
        r.error = "the project has no file yet";
    } else if (writer.AddFile(GetProjectPath())) {
        for (const std::string& file : FilesToPack(r.leftOut))
            if (!SameResolvedPath(file, GetProjectPath()) && !writer.AddFile(file)) break;
        writer.Finish();
    }
    if (r.error.empty()) r.error = writer.GetError();
    if (!r.error.empty()) {
        if (tellFailure) ShowError(FormatResource(strings::kBackupFailed, first.c_str(), r.error.c_str()));
        return false;
    }
    r.cabinets = writer.GetCabinetPaths();
    r.entries = writer.GetEntries();
    CurrentUi().ShowMessage(FormatResource(strings::kBackupDone, r.cabinets.front().c_str()),
                            MessageKind::Information, MessageButtons::Ok);
    if (!r.leftOut.empty()) {
        std::string list;
        for (const auto& [file, why] : r.leftOut) list += file + ": " + why + "\n";
        CurrentUi().ShowMessage(FormatResource(strings::kBackupLeftOut, list.c_str()), MessageKind::Warning,
                                MessageButtons::Ok);
    }
    return true;
}

std::vector<std::string> PrjFile::FilesToPack(std::vector<ProjectFileNote>& leftOut) const {
    // The files of the data types are the project's own, wherever they
    // lie; a line no data type knows may name any file at all.
    std::vector<std::string> files;
    const auto add = [&files](const std::string& path) {
        if (!ResolvedFileExists(path)) return false;
        for (const std::string& known : files)
            if (SameResolvedPath(known, path)) return false;
        return true;
    };
    for (const ProjectFileEntry& entry : Project().entries) {
        const std::string path = GetEntryPath(entry.typeId);
        if (add(path)) files.push_back(path);
    }
    for (const ProjectLine& line : Project().unknownFiles) {
        const std::string path = ResolveStoredPath(GetProjectDir(), line.value);
        if (!add(path)) continue;
        if (m_outsideFolder || LiesInsideFolder(GetProjectDir(), path))
            files.push_back(path);
        else if (std::none_of(leftOut.begin(), leftOut.end(),
                              [&](const ProjectFileNote& n) { return SameResolvedPath(n.first, path); }))
            leftOut.emplace_back(path, kOutsideFolder);
    }
    return files;
}

// ---------------------------------------------------------------------------
// Upgrade

namespace {

// Passes the user's interface through, and keeps the last error shown; while
// quiet, errors are only kept.
class ErrorKeeper : public ForwardingUi {
public:
    using ForwardingUi::ForwardingUi;
    MessageAnswer ShowMessage(const std::string& text, MessageKind kind, MessageButtons buttons) override {
        if (kind == MessageKind::Error && buttons == MessageButtons::Ok) {
            lastError = text;
            if (quiet) return MessageAnswer::Ok;
        }
        return ForwardingUi::ShowMessage(text, kind, buttons);
    }

    std::string Take(const std::string& otherwise) {
        std::string text = lastError.empty() ? otherwise : lastError;
        lastError.clear();
        return text;
    }

    bool quiet = false;
    std::string lastError;
};

std::string ReadWholeFile(const std::string& path) {
    File file;
    file.Open(path, File::ModeRead);
    std::string bytes(static_cast<std::size_t>(file.GetLength()), '\0');
    bytes.resize(file.Read(bytes.data(), bytes.size()));
    return bytes;
}

// Whether the file begins as a file of the document's kind: with a
// signature of its kind, or as an old layout without one that the kind reads
// as such. A kind that reads any file from its first byte (the ditch-bottom
// file) would otherwise take a plain table of numbers for one of its own,
// and the upgrade would write a signature in front of it.
bool ReadsAsItsKind(const QDocument& doc, const std::string& path) {
    const DocumentKind* kind = doc.GetKind();
    if (!kind) return false;
    try {
        File file;
        file.Open(path, File::ModeRead);
        const SignatureRule& rule = kind->RuleFor(NormalizeSignature(ReadArchiveEnvelope(file).signature));
        return &rule != &kind->Description().unknownSignature || rule.fileVersion != 0;
    } catch (const std::exception&) {
        return false;  // changed since it was read: not this upgrade's to write
    }
}

std::string BreaksText(const ChainTable& table) {
    if (table.IsEmpty()) return "none";
    std::string text;
    for (int i = 0; i < table.GetBreakCount(); ++i) {
        std::ostringstream one;
        one.precision(15);
        one << table.GetBreak(i).Before << " = " << table.GetBreak(i).After;
        text += (i ? ", " : "") + one.str();
    }
    return text;
}

// Why a file that carries a chain table of its own is not written under the
// project's: its stations would be written as text of the project's chains,
// and its own breaks lost. Empty when it carries none, or the project's.
std::string OwnChainTableDiffers(const QDocument& doc, const ChainTable& project) {
    const auto* carrier = dynamic_cast<const ChainTableCarrier*>(&doc);
    if (!carrier || !carrier->GetFileChainTable() || carrier->GetFileChainTable()->IsEmpty()) return {};
    ChainTable own = *carrier->GetFileChainTable();
    own.SetPrefix(project.GetPrefix());  // old files keep no prefix: only the breaks count
    if (own == project) return {};
    return "it carries chain breaks of its own (" + BreaksText(own) + ") other than the project's (" +
           BreaksText(project) + ")";
}

// Whether the user may write the file: a read-only file stays as it is, also
// for a user whom the system would let write it.
bool MayBeWritten(const std::string& path) {
    struct stat st;
    return ::access(path.c_str(), W_OK) == 0 && ::stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) != 0;
}

// The file as the open pipeline would write it back: in text form, current version.
bool WrittenText(QDocument& doc, std::string& text) {
    doc.SetTextForm(true);
    doc.SetTaggedForm(false);
    doc.SetScrambledForm(false);
    doc.SetLegacyLayout(false);
    MemoryFile out(std::string(), "upgrade");
    if (!doc.WriteToFile(out)) return false;
    text = out.Bytes();
    return true;
}

}  // namespace

bool PrjFile::UpgradeDataFiles(ProjectUpgradeReport& r) {
    ErrorKeeper keeper(CurrentUi());
    ScopedUi scoped(keeper);
    struct Work {
        std::string path;
        const DataType* type;
    };
    std::vector<Work> work;
    std::vector<std::string> seen;
    // Which files writing in the current version would change. Reading here
    // changes nothing and asks nothing.
    keeper.quiet = true;
    for (const ProjectFileEntry& entry : Project().entries) {
        const std::string path = GetEntryPath(entry.typeId);
        if (path.empty()) continue;
        if (std::any_of(seen.begin(), seen.end(),
                        [&](const std::string& p) { return SameResolvedPath(p, path); }))
            continue;
        seen.push_back(path);
        if (IsOtherThanRegularFile(path)) {
            // A pipe would hold the read up for ever; a device is no data file.
            r.leftAlone.emplace_back(path, "it is not a regular file");
            continue;
        }
        if (!ResolvedFileExists(path)) {
            r.missing.push_back(path);
            continue;
        }
        std::unique_ptr<QDocument> doc = entry.type->CreateDocument();
        if (!doc) {
            r.leftAlone.emplace_back(path,
                                     "no document class " + entry.type->GetClassName() + " reads it here");
            continue;
        }
        const bool read = ReadDocumentFile(*doc, path);
        // A file read on its own makes the chain table it carries the current
        // one; the next file is read, and every file written, under the project's.
        GetCurrentChainTable() = Project().chainTable;
        if (!read) {
            r.leftAlone.emplace_back(path, keeper.Take("it cannot be read"));
            continue;
        }
        if (doc->WasReadPartly()) {
            r.leftAlone.emplace_back(path, doc->GetPartialReadNote());
            continue;
        }
        if (!ReadsAsItsKind(*doc, path)) {
            r.leftAlone.emplace_back(
                path, "it does not begin with a signature of its kind (" + entry.type->GetName() + ")");
            continue;
        }
        if (const std::string differs = OwnChainTableDiffers(*doc, Project().chainTable); !differs.empty()) {
            r.leftAlone.emplace_back(path, differs);
            continue;
        }
        std::string text;
        try {
            if (!WrittenText(*doc, text)) throw std::runtime_error("it cannot be written");
            if (text == ReadWholeFile(path)) {
                r.current.push_back(path);
                continue;
            }
        } catch (const std::exception& e) {
            r.leftAlone.emplace_back(path, e.what());
            continue;
        }
        if (!m_outsideFolder && !LiesInsideFolder(GetProjectDir(), path)) {
            r.leftAlone.emplace_back(path, kOutsideFolder);
            continue;
        }
        if (!MayBeWritten(path)) {
            r.leftAlone.emplace_back(path, "it may not be written");
            continue;
        }
        work.push_back({path, entry.type});
    }
    keeper.quiet = false;
    if (work.empty() && GetFileVersion() >= GetCurrentVersion()) return true;

    ProjectBackupResult backup;
    if (!MakeBackup(std::string(), &backup, CabinetOptions(), false)) {
        r.failure = "the backup before the upgrade failed: " + backup.error;
        return false;
    }
    r.backup = backup.cabinets.front();
    r.backupLeftOut = backup.leftOut;
    for (const Work& w : work) {
        std::unique_ptr<QDocument> doc = w.type->CreateDocument();
        keeper.lastError.clear();
        if (!doc->OnOpenDocument(w.path)) {
            r.leftAlone.emplace_back(w.path, keeper.Take("it cannot be opened"));
        } else if (doc->WasReadPartly()) {
            r.leftAlone.emplace_back(w.path, doc->GetPartialReadNote());
        } else if (!doc->OnSaveDocument(w.path)) {
            r.leftAlone.emplace_back(w.path, keeper.Take("it cannot be written"));
        } else {
            r.upgraded.push_back(w.path);
        }
    }
    return true;
}

bool PrjFile::RefuseUpgradeOfPartialRead(ProjectUpgradeReport& r) {
    // The settings after the point where the read stopped are unknown: the
    // files would be written with another station precision or chain table
    // than the project's.
    if (!WasReadPartly()) return false;
    r.failure = "the project file was read only in part: " + GetPartialReadNote();
    TellUpgradeResult(r, false, false);
    return true;
}

void PrjFile::TellUpgradeResult(const ProjectUpgradeReport& r, bool upgraded, bool tellDone) {
    if (!upgraded) {
        ShowError(FormatResource(strings::kUpgradeNotStarted, r.failure.c_str()));
        return;
    }
    if (!r.leftAlone.empty()) {
        std::string list;
        for (const auto& [path, why] : r.leftAlone) list += path + ": " + why + "\n";
        CurrentUi().ShowMessage(FormatResource(strings::kUpgradeLeftAlone, list.c_str()),
                                MessageKind::Warning, MessageButtons::Ok);
    }
    if (tellDone)
        CurrentUi().ShowMessage(LoadResourceString(strings::kUpgradeDone), MessageKind::Information,
                                MessageButtons::Ok);
}

void PrjFile::UpgradeOnOpen() {
    m_openUpgrade = ProjectUpgradeReport();
    if (RefuseUpgradeOfPartialRead(m_openUpgrade)) return;
    // The files are written as the project reads them: with its chain table
    // and its station precision (fewer decimals would cut its stations).
    const ChainTable remembered = GetCurrentChainTable();
    const int precision = GetStationPrecision();
    ApplyProjectSettings();
    const bool upgraded = UpgradeDataFiles(m_openUpgrade);
    GetCurrentChainTable() = remembered;
    SetStationPrecisionValue(precision);
    // Without a backup the project stays as it is on disk, old, so that the
    // upgrade is offered again when it is next opened.
    if (!upgraded) SetModifiedFlag(false);
    TellUpgradeResult(m_openUpgrade, upgraded, false);
}

bool PrjFile::UpgradeProjectFiles(ProjectUpgradeReport* report) {
    ProjectUpgradeReport local;
    ProjectUpgradeReport& r = report ? *report : local;
    r = ProjectUpgradeReport();
    if (RefuseUpgradeOfPartialRead(r)) return false;
    ApplyProjectSettings();
    const bool upgraded = UpgradeDataFiles(r);
    // Saved after the data files, so that its fingerprints are theirs.
    if (upgraded && HasFilePath() &&
        (IsModified() || !r.upgraded.empty() || GetFileVersion() < GetCurrentVersion()))
        SaveProject();
    TellUpgradeResult(r, upgraded, true);
    return upgraded && r.leftAlone.empty();
}

}  // namespace qdat
