#pragma once
// An allocator whose resize leaves new elements uninitialised, for picture-sized buffers that
// are about to be overwritten whole: they are not zero-filled first. Elements constructed with
// arguments are constructed as usual.

#include <memory>
#include <new>
#include <utility>

template <typename T>
struct PXiUninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = PXiUninitialisedAllocator<U>;
    };
    PXiUninitialisedAllocator() = default;
    template <typename U>
    PXiUninitialisedAllocator(const PXiUninitialisedAllocator<U>&) {}
    template <typename U>
    void construct(U* p) {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
