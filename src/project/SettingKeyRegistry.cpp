#include <qdat/project/SettingKeyRegistry.h>

#include <algorithm>

#include <qdat/host/Resources.h>
#include <qdat/project/detail/ProjectStrings.h>

namespace qdat {

namespace {

struct KeyRange {
    std::uint16_t first, last, flags;
};

// The keys the library registers, by range, in id order.
constexpr KeyRange kKeyRanges[] = {
    {201, 213, 0x7001},  // global: project name, chain prefix, station precision, derived stations
    {251, 255, 0x7002},  // global
    {301, 305, 0xF001},  // per segment: its start and end stations first
    {306, 310, 0xF002},  // per segment
    {311, 313, 0xF003},  // per segment
    {314, 316, 0xF004},  // per segment
    {401, 425, 0x7003},  // the chain breaks of the project's chain table, in order
};

// Built when the library loads, with the other registries.
const bool kBuiltAtLoad = (SettingKeyRegistry::Get(), true);

}  // namespace

std::string SettingKey::GetName() const {
    return LoadResourceString(nameId);
}

SettingKeyRegistry& SettingKeyRegistry::Get() {
    static SettingKeyRegistry registry;
    return registry;
}

SettingKeyRegistry::SettingKeyRegistry() {
    for (const KeyRange& range : kKeyRanges) {
        for (std::uint16_t id = range.first; id <= range.last; ++id) {
            // Numbers 212 and 213 are taken by other texts.
            const int nameId = id == kStartStation ? project_strings::kStartStationKeyName
                               : id == kEndStation ? project_strings::kEndStationKeyName
                                                   : id;
            m_keys.push_back({id, range.flags, nameId});
        }
    }
    for (const SettingKey& key : m_keys) m_byId.push_back(&key);
}

const SettingKey* SettingKeyRegistry::Find(std::uint32_t id) const {
    const auto at = std::lower_bound(m_keys.begin(), m_keys.end(), id,
                                     [](const SettingKey& k, std::uint32_t key) { return k.id < key; });
    return at != m_keys.end() && at->id == id ? &*at : nullptr;
}

const SettingKey* SettingKeyRegistry::FindByName(std::string_view name) {
    const std::lock_guard lock(m_lock);
    return m_names.Find(name, m_byId, [](const SettingKey& k) { return k.GetName(); });
}

bool SettingKeyRegistry::SetChoiceProvider(std::uint16_t id, const ChoiceProvider* provider) {
    const std::lock_guard lock(m_lock);
    for (SettingKey& key : m_keys) {
        if (key.id != id) continue;
        key.provider = provider;
        return true;
    }
    return false;
}

std::string SettingKeyRegistry::GroupName(std::uint16_t flags) {
    switch (flags) {
        case 0x7001:
            return LoadResourceString(project_strings::kGlobalGroupName);
        case 0x7002:
            return LoadResourceString(project_strings::kMoreGlobalGroupName);
        case 0x7003:
            return LoadResourceString(project_strings::kChainTableSection);
        case 0xF001:
        case 0xF002:
        case 0xF003:
        case 0xF004:
            return LoadResourceString(project_strings::kFirstSegmentGroupName + (flags - 0xF001));
        default:
            return {};
    }
}

}  // namespace qdat
