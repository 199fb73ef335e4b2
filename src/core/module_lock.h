// The module's lock count: live objects, class objects held by clients and LockServer calls.
#pragma once

#include <windows.h>

namespace module_lock {

void Lock() noexcept;
void Unlock() noexcept;
LONG Count() noexcept;

}  // namespace module_lock
