// The project's settings: global values, the station segments with values
// of their own, the project's chain table, and the host's numbered values.
#include <algorithm>
#include <cmath>

#include <qdat/host/HostFile.h>
#include <qdat/host/Resources.h>
#include <qdat/project/PrjFile.h>
#include <qdat/project/detail/PrjFileShared.h>
#include <qdat/project/detail/ProjectStrings.h>

namespace qdat {

namespace {

using Keys = SettingKeyRegistry;
using namespace prj_file;
namespace strings = project_strings;

template <class Values>
auto FindValue(Values& values, std::uint32_t key) -> decltype(&values[0]) {
    const auto at = std::lower_bound(values.begin(), values.end(), key,
                                     [](const SettingValue& v, std::uint32_t k) { return v.keyId < k; });
    return at != values.end() && at->keyId == key ? &*at : nullptr;
}

}  // namespace

std::vector<SettingValue> prj_file::ValuesOfKeys(bool perSegment) {
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

}  // namespace qdat
