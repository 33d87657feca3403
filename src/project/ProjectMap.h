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
#include <functional>
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
        auto& bucket = m_buckets[BucketOf(key)];
        bucket.insert(bucket.begin(), Entry{key, value});
        return true;
    }

    // Sets key to value as read from a file: a new key goes after the keys
    // of its bucket read before it.
    void SetAsRead(Key key, const Value& value) {
        if (Value* held = Find(key)) {
            *held = value;
            return;
        }
        m_buckets[BucketOf(key)].push_back(Entry{key, value});
    }

    bool Get(Key key, Value& value) const {
        for (const Entry& e : m_buckets[BucketOf(key)]) {
            if (e.key == key) {
                value = e.value;
                return true;
            }
        }
        return false;
    }

    // Every entry in the order it is written.
    void ForEach(const std::function<void(Key, const Value&)>& visit) const {
        for (const auto& bucket : m_buckets)
            for (const Entry& e : bucket) visit(e.key, e.value);
    }

    std::size_t Size() const {
        std::size_t n = 0;
        for (const auto& bucket : m_buckets) n += bucket.size();
        return n;
    }

private:
    struct Entry {
        Key key;
        Value value;
    };

    static std::size_t BucketOf(Key key) { return (static_cast<std::uint32_t>(key) >> 4) % kBuckets; }

    Value* Find(Key key) {
        for (Entry& e : m_buckets[BucketOf(key)])
            if (e.key == key) return &e.value;
        return nullptr;
    }

    std::array<std::vector<Entry>, kBuckets> m_buckets;
};

}  // namespace qdat
