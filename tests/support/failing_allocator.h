// A test program's own allocator, which a test can make fail: the module code linked into the
// program allocates through it. Include it in exactly one source file of a test program.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

namespace failing_allocator {
// Allocations still granted before every later one fails; negative: no limit.
inline std::atomic<long> granted{-1};
}  // namespace failing_allocator

void* operator new(std::size_t size)
{
    long left = failing_allocator::granted.load();
    while (left > 0 && !failing_allocator::granted.compare_exchange_weak(left, left - 1)) {
    }
    if (left == 0)
        throw std::bad_alloc();
    if (void* block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
// Not inlined: the compiler would otherwise pair the caller's new with this free and warn.
[[gnu::noinline]] void operator delete(void* block) noexcept
{
    std::free(block);
}
[[gnu::noinline]] void operator delete[](void* block) noexcept
{
    std::free(block);
}
[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}
[[gnu::noinline]] void operator delete[](void* block, std::size_t) noexcept
{
    std::free(block);
}

// While it lives, the first `grant` allocations succeed and every later one fails (by default all).
class AllocationsFail {
public:
    explicit AllocationsFail(long grant = 0) { failing_allocator::granted = grant; }
    ~AllocationsFail() { failing_allocator::granted = -1; }
    AllocationsFail(const AllocationsFail&) = delete;
    AllocationsFail& operator=(const AllocationsFail&) = delete;
    // Whether the limit was reached, so that some allocation was refused.
    static bool Refused() { return failing_allocator::granted.load() == 0; }
};
