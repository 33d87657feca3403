// Growable array of values, the container documents keep their rows in.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace qdat {

// A contiguous array with a size, a capacity and a growth step. When it must
// grow and no step is set, it grows by size/8, at least 4 (and at most 1024
// up to 8192 elements), and never to less than the requested size. Elements are values:
// new ones are default-constructed, removed ones destroyed.
//
// The array also keeps track of what it handed out for writing, for caches
// built on its elements (the lookups of the documents): every non-const
// access counts as a change, since the caller may write through it, and a
// cache asks ChangedSince whether it may still be right. Writes through a
// reference kept from before the cache's last look are not seen.
template <class T>
class GrowArray {
public:
    // The array's state of changes, as a cache notes it when it is built.
    struct ChangeStamp {
        std::uint64_t accesses = 0;
        std::uint64_t reshapes = 0;
    };
    // Results of ChangedSince besides an element index.
    static constexpr int kUnchanged = -1;
    static constexpr int kAnyChange = -2;

    GrowArray() = default;
    // A copy starts its own account of changes; an assignment is a change of
    // every element to whoever watches the array assigned to.
    GrowArray(const GrowArray& other) : m_data(other.m_data), m_growBy(other.m_growBy) {}
    GrowArray(GrowArray&& other) noexcept : m_data(std::move(other.m_data)), m_growBy(other.m_growBy) {
        other.NoteReshape();
    }
    GrowArray& operator=(const GrowArray& other) {
        if (this != &other) {
            m_data = other.m_data;
            m_growBy = other.m_growBy;
            NoteReshape();
        }
        return *this;
    }
    GrowArray& operator=(GrowArray&& other) noexcept {
        if (this != &other) {
            m_data = std::move(other.m_data);
            m_growBy = other.m_growBy;
            NoteReshape();
            other.NoteReshape();
        }
        return *this;
    }

    ChangeStamp GetChangeStamp() const { return {m_accesses, m_reshapes}; }
    // What may have changed since stamp was taken: kUnchanged when nothing
    // was handed out for writing, the index of the one element that was (as
    // often as it was), or kAnyChange.
    int ChangedSince(const ChangeStamp& stamp) const {
        if (m_reshapes != stamp.reshapes) return kAnyChange;
        const std::uint64_t since = m_accesses - stamp.accesses;
        if (since == 0) return kUnchanged;
        return since <= m_sameElementRun ? m_lastElement : kAnyChange;
    }

    int GetSize() const { return static_cast<int>(m_data.size()); }
    bool IsEmpty() const { return m_data.empty(); }
    int GetUpperBound() const { return GetSize() - 1; }
    int GetCapacity() const { return static_cast<int>(m_data.capacity()); }

    // newSize elements; growBy replaces the growth step when not negative.
    void SetSize(int newSize, int growBy = -1) {
        NoteReshape();
        if (growBy >= 0) m_growBy = growBy;
        if (newSize < 0) newSize = 0;
        Reserve(newSize);
        m_data.resize(static_cast<std::size_t>(newSize));
    }
    void RemoveAll() {
        NoteReshape();
        std::vector<T>().swap(m_data);
    }
    // Takes over the elements of rows without copying them; the array's own
    // elements are dropped.
    void Adopt(std::vector<T>&& rows) {
        NoteReshape();
        m_data = std::move(rows);
    }
    void FreeExtra() { m_data.shrink_to_fit(); }

    T& operator[](int i) {
        NoteElement(i);
        return m_data[static_cast<std::size_t>(i)];
    }
    const T& operator[](int i) const { return m_data[static_cast<std::size_t>(i)]; }
    T& ElementAt(int i) {
        NoteElement(i);
        return m_data.at(static_cast<std::size_t>(i));
    }
    const T& GetAt(int i) const { return m_data.at(static_cast<std::size_t>(i)); }
    void SetAt(int i, const T& value) {
        NoteElement(i);
        m_data.at(static_cast<std::size_t>(i)) = value;
    }
    // Sets element i, growing the array when i is past the end. A negative
    // index, or one whose array would hold more than INT_MAX elements, throws
    // std::out_of_range. The value may be an element of the array itself.
    void SetAtGrow(int i, const T& value) {
        if (i < 0 || i == std::numeric_limits<int>::max())
            throw std::out_of_range("GrowArray::SetAtGrow: index " + std::to_string(i));
        if (i >= GetSize()) {
            T copy(value);  // value may lie in the storage that growing frees
            SetSize(i + 1);
            m_data[static_cast<std::size_t>(i)] = std::move(copy);
            return;
        }
        NoteElement(i);
        m_data[static_cast<std::size_t>(i)] = value;
    }

    // Add and InsertAt take a copy of the value before the array grows: the
    // value may be one of the array's own elements.
    int Add(const T& value) { return Add(T(value)); }
    int Add(T&& value) {
        NoteReshape();
        Reserve(GetSize() + 1);
        m_data.push_back(std::move(value));
        return GetSize() - 1;
    }
    // Inserts count copies of value at index; an index past the end grows the
    // array first. A negative index or count does nothing; an array that would
    // hold more than INT_MAX elements throws std::out_of_range.
    void InsertAt(int index, const T& value, int count = 1) {
        if (index < 0 || count <= 0) return;
        const long long end = static_cast<long long>(std::max(index, GetSize())) + count;
        if (end > std::numeric_limits<int>::max())
            throw std::out_of_range("GrowArray::InsertAt: index " + std::to_string(index) + " and count " +
                                    std::to_string(count));
        NoteReshape();
        T copy(value);
        if (index >= GetSize()) {
            SetSize(static_cast<int>(end));
            std::fill(m_data.begin() + index, m_data.end(), copy);
            return;
        }
        Reserve(GetSize() + count);
        m_data.insert(m_data.begin() + index, static_cast<std::size_t>(count), copy);
    }
    void RemoveAt(int index, int count = 1) {
        if (index < 0 || count <= 0 || index >= GetSize()) return;
        NoteReshape();
        const int last =
            static_cast<int>(std::min<long long>(GetSize(), static_cast<long long>(index) + count));
        m_data.erase(m_data.begin() + index, m_data.begin() + last);
    }

    // Non-const access to the whole array counts as a change of every element.
    T* GetData() {
        NoteReshape();
        return m_data.data();
    }
    const T* GetData() const { return m_data.data(); }
    auto begin() {
        NoteReshape();
        return m_data.begin();
    }
    auto end() {
        NoteReshape();
        return m_data.end();
    }
    auto begin() const { return m_data.begin(); }
    auto end() const { return m_data.end(); }

    bool operator==(const GrowArray& other) const { return m_data == other.m_data; }

private:
    void Reserve(int needed) {
        const std::size_t want = static_cast<std::size_t>(needed);
        if (want <= m_data.capacity()) return;
        std::size_t step = static_cast<std::size_t>(m_growBy);
        // Without a set step: size/8, at least 4 and at most 1024 while the
        // array is small. Past 8192 elements the step stays size/8, so that
        // adding rows one by one costs linear time on large files instead of
        // copying the whole array every 1024 rows.
        if (step == 0)
            step =
                std::max<std::size_t>(std::clamp<std::size_t>(m_data.size() / 8, 4, 1024), m_data.size() / 8);
        m_data.reserve(std::max(want, m_data.size() + step));
    }

    void NoteReshape() {
        ++m_accesses;
        ++m_reshapes;
        m_sameElementRun = 0;
    }
    void NoteElement(int i) {
        ++m_accesses;
        if (i == m_lastElement && m_sameElementRun > 0) {
            ++m_sameElementRun;
        } else {
            m_lastElement = i;
            m_sameElementRun = 1;
        }
    }

    std::vector<T> m_data;
    int m_growBy = 0;
    // Changes: every non-const access, those that may touch any element, and
    // the element that the latest run of single-element accesses went to.
    std::uint64_t m_accesses = 0;
    std::uint64_t m_reshapes = 0;
    std::uint64_t m_sameElementRun = 0;
    int m_lastElement = kUnchanged;
};

}  // namespace qdat
