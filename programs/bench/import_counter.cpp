#include "bench/import_counter.h"

#include "standin/import_patch.h"

#include <oleauto.h>

#include <cstring>

namespace {

long long heapAllocations = 0;
long long stringAllocations = 0;

using Malloc = void*(__cdecl*)(size_t);
using Calloc = void*(__cdecl*)(size_t, size_t);
using Realloc = void*(__cdecl*)(void*, size_t);
using AllocString = BSTR(WINAPI*)(const OLECHAR*);
using AllocStringLen = BSTR(WINAPI*)(const OLECHAR*, UINT);
using AllocStringByteLen = BSTR(WINAPI*)(LPCSTR, UINT);

Malloc originalMalloc = nullptr;
Calloc originalCalloc = nullptr;
Realloc originalRealloc = nullptr;
AllocString originalAllocString = nullptr;
AllocStringLen originalAllocStringLen = nullptr;
AllocStringByteLen originalAllocStringByteLen = nullptr;

void* __cdecl CountingMalloc(size_t size)
{
    ++heapAllocations;
    return originalMalloc(size);
}

void* __cdecl CountingCalloc(size_t count, size_t size)
{
    ++heapAllocations;
    return originalCalloc(count, size);
}

void* __cdecl CountingRealloc(void* block, size_t size)
{
    ++heapAllocations;
    return originalRealloc(block, size);
}

BSTR WINAPI CountingAllocString(const OLECHAR* text)
{
    ++stringAllocations;
    return originalAllocString(text);
}

BSTR WINAPI CountingAllocStringLen(const OLECHAR* text, UINT length)
{
    ++stringAllocations;
    return originalAllocStringLen(text, length);
}

BSTR WINAPI CountingAllocStringByteLen(LPCSTR text, UINT length)
{
    ++stringAllocations;
    return originalAllocStringByteLen(text, length);
}

struct Counted {
    const char* Library;
    const char* Name;
    void* Replacement;
    void** Original;
};

const Counted kCounted[] = {
    {"msvcrt.dll", "malloc", reinterpret_cast<void*>(&CountingMalloc), reinterpret_cast<void**>(&originalMalloc)},
    {"msvcrt.dll", "calloc", reinterpret_cast<void*>(&CountingCalloc), reinterpret_cast<void**>(&originalCalloc)},
    {"msvcrt.dll", "realloc", reinterpret_cast<void*>(&CountingRealloc), reinterpret_cast<void**>(&originalRealloc)},
    {"oleaut32.dll", "SysAllocString", reinterpret_cast<void*>(&CountingAllocString),
     reinterpret_cast<void**>(&originalAllocString)},
    {"oleaut32.dll", "SysAllocStringLen", reinterpret_cast<void*>(&CountingAllocStringLen),
     reinterpret_cast<void**>(&originalAllocStringLen)},
    {"oleaut32.dll", "SysAllocStringByteLen", reinterpret_cast<void*>(&CountingAllocStringByteLen),
     reinterpret_cast<void**>(&originalAllocStringByteLen)},
};

void Write(void** slot, void* value)
{
    DWORD previous = 0;
    if (VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &previous)) {
        *slot = value;
        VirtualProtect(slot, sizeof *slot, previous, &previous);
    }
}

}  // namespace

ImportCounter::~ImportCounter()
{
    for (const Patch& patch : patches_)
        Write(patch.Slot, patch.Original);
    if (!patches_.empty()) {
        for (const Counted& counted : kCounted)
            *counted.Original = nullptr;
    }
}

bool ImportCounter::Install(HMODULE module)
{
    bool twice = false;
    standin::ForEachImport(module, [&](const char* library, const char* name, void** slot) {
        for (const Counted& counted : kCounted) {
            if (_stricmp(library, counted.Library) != 0 || std::strcmp(name, counted.Name) != 0)
                continue;
            if (*counted.Original) {
                twice = true;
                return false;
            }
            *counted.Original = *slot;
            patches_.push_back({slot, *slot});
            Write(slot, counted.Replacement);
        }
        return true;
    });
    return !twice && !patches_.empty();
}

long long ImportCounter::HeapAllocations()
{
    return heapAllocations;
}

long long ImportCounter::StringAllocations()
{
    return stringAllocations;
}

void ImportCounter::Reset()
{
    heapAllocations = 0;
    stringAllocations = 0;
}
