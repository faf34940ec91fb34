#include "CountedAllocation.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::size_t> g_live{0};
std::atomic<std::size_t> g_peak{0};

// Each block carries its size in front, so that any delete can count it.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Allocate(std::size_t size)
{
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (!block)
        throw std::bad_alloc();
    *reinterpret_cast<std::size_t*>(block) = size;
    const std::size_t live = g_live.fetch_add(size) + size;
    std::size_t peak = g_peak.load();
    while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
    }
    return block + kHeader;
}

void Release(void* pointer) noexcept
{
    if (!pointer)
        return;
    auto* block = static_cast<unsigned char*>(pointer) - kHeader;
    g_live.fetch_sub(*reinterpret_cast<std::size_t*>(block));
    std::free(block);
}
} // namespace

namespace counted {
std::size_t Live()
{
    return g_live.load();
}

void ResetPeak()
{
    g_peak.store(g_live.load());
}

std::size_t Peak()
{
    return g_peak.load();
}
} // namespace counted

void* operator new(std::size_t size)
{
    return Allocate(size);
}

void* operator new[](std::size_t size)
{
    return Allocate(size);
}

void operator delete(void* pointer) noexcept
{
    Release(pointer);
}

void operator delete[](void* pointer) noexcept
{
    Release(pointer);
}

void operator delete(void* pointer, std::size_t) noexcept
{
    Release(pointer);
}

void operator delete[](void* pointer, std::size_t) noexcept
{
    Release(pointer);
}
