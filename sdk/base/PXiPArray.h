#ifndef PXSDK_PXIPARRAY_H
#define PXSDK_PXIPARRAY_H

#include <vector>

/* A small array of pointers to T, not owning them. */
template <typename T>
class PXiPArray {
public:
    void append(T* item) { items_.push_back(item); }
    int find(const T* item) const {
        for (int i = 0; i < size(); ++i)
            if (items_[i] == item) return i;
        return -1;
    }
    void clear() { items_.clear(); }
    int size() const { return static_cast<int>(items_.size()); }
    T* operator[](int i) const { return items_[i]; }
    typename std::vector<T*>::const_iterator begin() const { return items_.begin(); }
    typename std::vector<T*>::const_iterator end() const { return items_.end(); }

private:
    std::vector<T*> items_;
};

#endif
