#include "core/module_lock.h"

namespace {
volatile LONG lockCount = 0;
}

namespace module_lock {

void Lock() noexcept
{
    InterlockedIncrement(&lockCount);
}

void Unlock() noexcept
{
    InterlockedDecrement(&lockCount);
}

LONG Count() noexcept
{
    return lockCount;
}

}  // namespace module_lock
