// The failure values that the portable parts raise. On Windows they are the platform's HRESULTs;
// elsewhere the same 32-bit values under the same names.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>
// Fixed at 32 bits, as on Windows: a long is 64 bits on 64-bit Linux, where failure codes would be
// positive and pass for success.
typedef std::int32_t HRESULT;
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define E_UNEXPECTED ((HRESULT)0x8000FFFFL)
#define S_OK ((HRESULT)0L)
#endif

static_assert(sizeof(HRESULT) == 4, "HRESULT is a 32-bit signed value everywhere");
static_assert(static_cast<HRESULT>(E_OUTOFMEMORY) < 0, "failure codes are negative");

// Raises a failure as a bare HRESULT, the form the method frame turns into error information.
[[noreturn]] inline void Raise(HRESULT hr)
{
    throw hr;
}
