// ProjectMap: one of the project's maps of numbered values (integers, reals,
// texts) that other parts of the host keep in the project file. A hash table
// of 17 buckets, bucket (key >> 4) mod 17, written in hash order: bucket 0 to
// 16, and within a bucket the most recently added entry first.
//
// Entries read from a file keep the order of the file within their bucket,
// so that a project read and written again is written the same.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <vector>

namespace qdat {

template <class Key, class Value>
class ProjectMap {
public:
    static constexpr std::size_t kBuckets = 17;

    // Sets key to value; false, with nothing changed, when the key already
    // holds that value. A new key is put first in its bucket.
    bool Set(Key key, const Value& value) {
        if (Value* held = Find(key)) {
            if (*held == value) return false;
            *held = value;
            return true;
        }
        m_order[BucketOf(key)].push_front(Add(key, value));
        return true;
    }

    // Sets key to value as read from a file: a new key goes after the keys
    // of its bucket read before it.
    void SetAsRead(Key key, const Value& value) {
        if (Value* held = Find(key)) {
            *held = value;
            return;
        }
        m_order[BucketOf(key)].push_back(Add(key, value));
    }

    bool Get(Key key, Value& value) const {
        const auto it = m_index.find(key);
        if (it == m_index.end()) return false;
        value = m_entries[it->second].value;
        return true;
    }

    // Every entry in the order it is written.
    void ForEach(const std::function<void(Key, const Value&)>& visit) const {
        for (const auto& bucket : m_order)
            for (const std::size_t at : bucket) visit(m_entries[at].key, m_entries[at].value);
    }

    std::size_t Size() const { return m_entries.size(); }

private:
    struct Entry {
        Key key;
        Value value;
    };

    static std::size_t BucketOf(Key key) { return (static_cast<std::uint32_t>(key) >> 4) % kBuckets; }

    // A project holds hundreds of thousands of entries in a few buckets: a
    // key is found through an ordered index, never by walking its bucket,
    // and a bucket takes new keys at either end in constant time.
    Value* Find(Key key) {
        const auto it = m_index.find(key);
        return it == m_index.end() ? nullptr : &m_entries[it->second].value;
    }

    std::size_t Add(Key key, const Value& value) {
        m_entries.push_back(Entry{key, value});
        m_index.emplace(key, m_entries.size() - 1);
        return m_entries.size() - 1;
    }

    std::vector<Entry> m_entries;                           // in the order they were added
    std::array<std::deque<std::size_t>, kBuckets> m_order;  // each bucket in written order
    std::map<Key, std::size_t> m_index;                     // key -> its entry
};

}  // namespace qdat
