#pragma once
// Replaces the global operator new and delete of the test program that
// includes it (include it in exactly one file of a program) to follow what
// loading allocates: the largest single request, the bytes in use and their
// peak. Sizes in use are the allocator's usable sizes.

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace allocation_tracker {

inline std::atomic<size_t> g_largest{0};   // largest single request
inline std::atomic<size_t> g_inUse{0};     // bytes held now
inline std::atomic<size_t> g_peak{0};      // most bytes held at once

inline void RaiseTo(std::atomic<size_t>& mark, size_t value)
{
    size_t seen = mark.load(std::memory_order_relaxed);
    while (value > seen && !mark.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
    }
}

inline void* Allocate(size_t size)
{
    RaiseTo(g_largest, size);
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr)
        throw std::bad_alloc();
    const size_t usable = malloc_usable_size(p);
    RaiseTo(g_peak, g_inUse.fetch_add(usable, std::memory_order_relaxed) + usable);
    return p;
}

inline void Release(void* p) noexcept
{
    if (p == nullptr)
        return;
    g_inUse.fetch_sub(malloc_usable_size(p), std::memory_order_relaxed);
    std::free(p);
}

}   // namespace allocation_tracker

void* operator new(size_t size)
{
    return allocation_tracker::Allocate(size);
}
void* operator new[](size_t size)
{
    return allocation_tracker::Allocate(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    try {
        return allocation_tracker::Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t& t) noexcept
{
    return operator new(size, t);
}
void operator delete(void* p) noexcept
{
    allocation_tracker::Release(p);
}
void operator delete[](void* p) noexcept
{
    allocation_tracker::Release(p);
}
void operator delete(void* p, size_t) noexcept
{
    allocation_tracker::Release(p);
}
void operator delete[](void* p, size_t) noexcept
{
    allocation_tracker::Release(p);
}
