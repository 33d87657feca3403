// Growable array of values, the container documents keep their rows in.
#pragma once

#include <algorithm>
#include <cstddef>
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
template <class T>
class GrowArray {
public:
    GrowArray() = default;

    int GetSize() const { return static_cast<int>(m_data.size()); }
    bool IsEmpty() const { return m_data.empty(); }
    int GetUpperBound() const { return GetSize() - 1; }
    int GetCapacity() const { return static_cast<int>(m_data.capacity()); }

    // newSize elements; growBy replaces the growth step when not negative.
    void SetSize(int newSize, int growBy = -1) {
        if (growBy >= 0) m_growBy = growBy;
        if (newSize < 0) newSize = 0;
        Reserve(newSize);
        m_data.resize(static_cast<std::size_t>(newSize));
    }
    void RemoveAll() { std::vector<T>().swap(m_data); }
    // Takes over the elements of rows without copying them; the array's own
    // elements are dropped.
    void Adopt(std::vector<T>&& rows) { m_data = std::move(rows); }
    void FreeExtra() { m_data.shrink_to_fit(); }

    T& operator[](int i) { return m_data[static_cast<std::size_t>(i)]; }
    const T& operator[](int i) const { return m_data[static_cast<std::size_t>(i)]; }
    T& ElementAt(int i) { return m_data.at(static_cast<std::size_t>(i)); }
    const T& GetAt(int i) const { return m_data.at(static_cast<std::size_t>(i)); }
    void SetAt(int i, const T& value) { m_data.at(static_cast<std::size_t>(i)) = value; }
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
        m_data[static_cast<std::size_t>(i)] = value;
    }

    // Add and InsertAt take a copy of the value before the array grows: the
    // value may be one of the array's own elements.
    int Add(const T& value) { return Add(T(value)); }
    int Add(T&& value) {
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
        const int last =
            static_cast<int>(std::min<long long>(GetSize(), static_cast<long long>(index) + count));
        m_data.erase(m_data.begin() + index, m_data.begin() + last);
    }

    T* GetData() { return m_data.data(); }
    const T* GetData() const { return m_data.data(); }
    auto begin() { return m_data.begin(); }
    auto end() { return m_data.end(); }
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

    std::vector<T> m_data;
    int m_growBy = 0;
};

}  // namespace qdat
