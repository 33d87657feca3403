// An index of records by their names, which come from resource texts: made
// again whenever the texts may have changed (a language file loaded, a table
// registered) or the records did.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <qdat/host/Resources.h>

namespace qdat {

template <class T>
class NameIndex {
public:
    // The record named name among records (pointers), named by nameOf; null
    // when none has the name. Names compare byte by byte.
    template <class NameOf>
    const T* Find(std::string_view name, const std::vector<const T*>& records, NameOf nameOf) {
        if (m_generation != ResourceGeneration() || m_records.size() != records.size()) {
            std::vector<std::pair<std::string, const T*>> named;
            named.reserve(records.size());
            for (const T* record : records) named.emplace_back(nameOf(*record), record);
            std::stable_sort(named.begin(), named.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            m_names.clear();
            m_records.clear();
            for (auto& [text, record] : named) {
                m_names.push_back(std::move(text));
                m_records.push_back(record);
            }
            m_generation = ResourceGeneration();  // taking the texts may have chosen the language
        }
        const auto at = std::lower_bound(m_names.begin(), m_names.end(), name);
        return at != m_names.end() && *at == name ? m_records[static_cast<std::size_t>(at - m_names.begin())]
                                                  : nullptr;
    }

    void Invalidate() { m_records.clear(); }

private:
    std::vector<std::string> m_names;  // sorted
    std::vector<const T*> m_records;   // in the order of m_names
    std::uint64_t m_generation = 0;
};

}  // namespace qdat
