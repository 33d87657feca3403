// The project file's text: its sections, their "key = value" lines, and the
// lines the project does not understand, kept and written back.
#include <algorithm>
#include <cctype>
#include <cmath>

#include <qdat/docbase/detail/NumberText.h>
#include <qdat/docbase/detail/TextRecords.h>
#include <qdat/host/Resources.h>
#include <qdat/project/PrjFile.h>
#include <qdat/project/ProjectPaths.h>
#include <qdat/project/detail/PrjFileShared.h>
#include <qdat/project/detail/ProjectStrings.h>

namespace qdat {

namespace {

using Keys = SettingKeyRegistry;
using namespace prj_file;
namespace strings = project_strings;

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

std::string_view TrimRightBlanks(std::string_view s) {
    const auto last = s.find_last_not_of(kBlanks);
    return last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1);
}

}  // namespace

std::string prj_file::TrimValue(std::string_view s) {
    s = TrimBlanks(s);
    const auto last = s.find_last_not_of(" \t\r,");
    return std::string(last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1));
}

bool prj_file::IsWritableValue(std::string_view text) {
    return text.find_first_of(std::string_view("[\n\0", 3)) == std::string_view::npos;
}

namespace {

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

}  // namespace

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

}  // namespace qdat
