#pragma once
// The core's growable array. Element access checks the index and throws
// FArrayException instead of touching memory outside the elements.

#include <utility>
#include <vector>

#include "foundation/FException.h"

// Message of every out-of-range access.
inline constexpr const char* kFArrayIndexMessage = "Index out of range.";

template <typename T>
class FArray {
public:
    FArray() = default;

    T& operator[](int index)
    {
        CheckIndex(index);
        return m_Elements[static_cast<size_t>(index)];
    }
    const T& operator[](int index) const
    {
        CheckIndex(index);
        return m_Elements[static_cast<size_t>(index)];
    }

    int GetCount() const { return static_cast<int>(m_Elements.size()); }

    void Append(const T& element) { m_Elements.push_back(element); }
    void Append(T&& element) { m_Elements.push_back(std::move(element)); }

    // An index at or beyond the count appends; a negative index is refused.
    void InsertAt(int index, const T& element)
    {
        if (index < 0)
            throw FArrayException(kFArrayIndexMessage);
        if (index >= GetCount())
            m_Elements.push_back(element);
        else
            m_Elements.insert(m_Elements.begin() + index, element);
    }

    void RemoveAt(int index)
    {
        CheckIndex(index);
        m_Elements.erase(m_Elements.begin() + index);
    }

    void AppendAll(const FArray& other)
    {
        // Counted first, so appending an array to itself doubles it once.
        const int count = other.GetCount();
        m_Elements.reserve(m_Elements.size() + static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            m_Elements.push_back(other[i]);
    }

    void RemoveAll() { m_Elements.clear(); }

    // For range-for over the elements.
    auto begin() { return m_Elements.begin(); }
    auto end() { return m_Elements.end(); }
    auto begin() const { return m_Elements.begin(); }
    auto end() const { return m_Elements.end(); }

private:
    void CheckIndex(int index) const
    {
        if (index < 0 || index >= GetCount())
            throw FArrayException(kFArrayIndexMessage);
    }

    std::vector<T> m_Elements;
};
