// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Replaces the global operator new and delete of the test program that
// includes it (include it in exactly one file of a program) to follow what
// loading allocates: the largest single request, the bytes in use and their
// peak. Sizes in use are the allocator's usable sizes. The largest request
// also covers malloc, calloc and realloc, which Qt's containers use (a
// QString of a length claimed by a file is allocated there).

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

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer owns malloc and tells a hook of every allocation.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                                         void (*free_hook)(const volatile void*));
namespace allocation_tracker {
inline void OnMalloc(const volatile void*, size_t size)
{
    RaiseTo(g_largest, size);
}
inline void OnFree(const volatile void*)
{}
static const int g_hooksInstalled = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
}   // namespace allocation_tracker
#else
// The program's own malloc, calloc and realloc take precedence over the C
// library's for every caller in the process (Qt's included); they note the
// size and leave the work to the C library's entry points. free stays the
// C library's.
extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* p, size_t size);
extern "C" void* malloc(size_t size) noexcept
{
    allocation_tracker::RaiseTo(allocation_tracker::g_largest, size);
    return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size) noexcept
{
    size_t bytes = 0;
    if (!__builtin_mul_overflow(count, size, &bytes))
        allocation_tracker::RaiseTo(allocation_tracker::g_largest, bytes);
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* p, size_t size) noexcept
{
    allocation_tracker::RaiseTo(allocation_tracker::g_largest, size);
    return __libc_realloc(p, size);
}
#endif

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
