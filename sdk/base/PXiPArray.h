#pragma once

#include <vector>

// A small array of pointers to T, not owning them.
template <typename T>
class PXiPArray {
public:
    void append(T* item) { m_items.push_back(item); }
    int find(const T* item) const {
        for (int i = 0; i < size(); ++i)
            if (m_items[i] == item) return i;
        return -1;
    }
    void clear() { m_items.clear(); }
    int size() const { return static_cast<int>(m_items.size()); }
    T* operator[](int i) const { return m_items[i]; }
    typename std::vector<T*>::const_iterator begin() const { return m_items.begin(); }
    typename std::vector<T*>::const_iterator end() const { return m_items.end(); }

private:
    std::vector<T*> m_items;
};
