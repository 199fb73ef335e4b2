// The failure values that the portable parts raise. On Windows they are the platform's HRESULTs;
// elsewhere the same 32-bit values under the same names.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>
typedef long HRESULT;
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define E_UNEXPECTED ((HRESULT)0x8000FFFFL)
#define S_OK ((HRESULT)0L)
#endif

// Raises a failure as a bare HRESULT, the form the method frame turns into error information.
[[noreturn]] inline void Raise(HRESULT hr)
{
    throw hr;
}
