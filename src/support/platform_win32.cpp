#include "support/platform.h"

#include <windows.h>
#include <mbstring.h>
#include <oleauto.h>

#include "support/pinned_date.h"

namespace platform {

// CP_ACP, not CP_THREAD_ACP: the narrow system calls (files, registry, window texts, resources)
// read narrow text in the process's code page, whatever locale the host gives its thread.
int WideToAnsi(const WideChar* text, int len, char* out, int outSize, bool* lossy)
{
    if (!lossy)
        return WideCharToMultiByte(CP_ACP, 0, text, len, out, outSize, nullptr, nullptr);
    *lossy = false;
    // A process whose ANSI code page is UTF-8 holds every character (and the call refuses the
    // default-character flag there).
    if (GetACP() == CP_UTF8)
        return WideCharToMultiByte(CP_UTF8, 0, text, len, out, outSize, nullptr, nullptr);
    BOOL usedDefault = FALSE;
    const int written =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, len, out, outSize, nullptr, &usedDefault);
    *lossy = usedDefault != FALSE;
    return written;
}

int AnsiToWide(const char* text, int len, WideChar* out, int outSize)
{
    return MultiByteToWideChar(CP_ACP, 0, text, len, out, outSize);
}

int Utf8ToWide(const char* text, int len, WideChar* out, int outSize, bool strict)
{
    return MultiByteToWideChar(CP_UTF8, strict ? MB_ERR_INVALID_CHARS : 0, text, len, out, outSize);
}

int WideToUtf8(const WideChar* text, int len, char* out, int outSize)
{
    return WideCharToMultiByte(CP_UTF8, 0, text, len, out, outSize, nullptr, nullptr);
}

int MbCompareNoCase(const char* left, const char* right)
{
    return _mbsicmp(reinterpret_cast<const unsigned char*>(left), reinterpret_cast<const unsigned char*>(right));
}

const char* MbFindLastChar(const char* text, unsigned int character)
{
    return reinterpret_cast<const char*>(_mbsrchr(reinterpret_cast<const unsigned char*>(text), character));
}

bool CalendarDateToOleDate(int year, int month, int day, double* date)
{
    // SYSTEMTIME holds 16-bit fields: anything wider would wrap into another, valid date.
    if (year < 0 || year > 9999 || month < 0 || month > 12 || day < 0 || day > 31)
        return false;
    SYSTEMTIME time = {};
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    return SystemTimeToVariantTime(&time, date) != FALSE;
}

void LocalToday(int* year, int* month, int* day)
{
    char pinned[16] = {};
    const DWORD length = GetEnvironmentVariableA("BRENMARK_TODAY", pinned, sizeof pinned);
    if (length > 0 && length < sizeof pinned && ParsePinnedDate(pinned, year, month, day))
        return;
    SYSTEMTIME local = {};
    GetLocalTime(&local);
    *year = local.wYear;
    *month = local.wMonth;
    *day = local.wDay;
}

void DebugOutput(const char* text)
{
    OutputDebugStringA(text);
}

int LoadResourceString(void* moduleInstance, unsigned int id, char* out, int outSize)
{
    return LoadStringA(static_cast<HINSTANCE>(moduleInstance), id, out, outSize);
}

void* ResourceModule()
{
    // The module that holds this code: the DLL in production, the test program in unit tests.
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ResourceModule), &module);
    return module;
}

}  // namespace platform
