// The setting keys of a project: numbered keys of global values, of the
// values of each station segment and of the project's chain breaks, each
// with a name (a resource text) under which project files may also give it.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <qdat/host/Export.h>
#include <qdat/project/NameIndex.h>

namespace qdat {

// A list of choices a setting's value is taken from (supplied by the host's
// list controls). A stored value "index|text" selects the entry of the index.
class QDAT_API ChoiceProvider {
public:
    virtual ~ChoiceProvider() = default;
    // The text of the entry of index; false when there is none.
    virtual bool GetChoiceText(int index, std::string& text) const = 0;
    // The index of the entry whose text is text; false when none has it.
    virtual bool FindChoice(const std::string& text, int& index) const = 0;
};

struct QDAT_API SettingKey {
    static constexpr std::uint16_t kPerSegment = 0x8000;

    std::uint16_t id;
    std::uint16_t flags;  // bit 15: a per-segment key; the low bits: the key's group
    int nameId;           // resource text of the key's name
    const ChoiceProvider* provider = nullptr;

    bool IsPerSegment() const { return (flags & kPerSegment) != 0; }
    std::string GetName() const;
};

class QDAT_API SettingKeyRegistry {
public:
    // Keys of the project's own rules.
    static constexpr std::uint16_t kProjectName = 201;
    static constexpr std::uint16_t kChainPrefix = 203;
    static constexpr std::uint16_t kStationPrecision = 204;
    static constexpr std::uint16_t kStartStation = 212;  // derived from the segments
    static constexpr std::uint16_t kEndStation = 213;    // derived from the segments
    static constexpr std::uint16_t kSegmentStart = 301;
    static constexpr std::uint16_t kSegmentEnd = 302;
    static constexpr std::uint16_t kFirstBreak = 401;
    static constexpr std::uint16_t kLastBreak = 425;

    static SettingKeyRegistry& Get();

    // Every key, by id.
    const std::vector<SettingKey>& All() const { return m_keys; }
    // Binary search by id; null when the key is not registered.
    const SettingKey* Find(std::uint32_t id) const;
    // Search by name (byte order); null when no key has the name.
    const SettingKey* FindByName(std::string_view name);

    // Gives a key a list of choices (null takes it away); false for an unknown key.
    bool SetChoiceProvider(std::uint16_t id, const ChoiceProvider* provider);

    // The name of a key group (0x7001 to 0x7003, 0xF001 to 0xF004).
    static std::string GroupName(std::uint16_t flags);

    static bool IsBreakKey(std::uint32_t id) { return id >= kFirstBreak && id <= kLastBreak; }

private:
    SettingKeyRegistry();

    std::vector<SettingKey> m_keys;  // by id, never resized after construction
    std::vector<const SettingKey*> m_byId;
    NameIndex<SettingKey> m_names;
    std::mutex m_lock;  // over the name index and the choice providers
};

}  // namespace qdat
