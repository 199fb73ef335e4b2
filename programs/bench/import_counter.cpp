#include "bench/import_counter.h"

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
    if (!module)
        return false;
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!directory.VirtualAddress)
        return false;
    for (auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); import->Name;
         ++import) {
        const char* library = reinterpret_cast<const char*>(base + import->Name);
        if (!import->OriginalFirstThunk)
            continue;
        auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            for (const Counted& counted : kCounted) {
                if (_stricmp(library, counted.Library) != 0 ||
                    std::strcmp(reinterpret_cast<const char*>(byName->Name), counted.Name) != 0)
                    continue;
                void** slot = reinterpret_cast<void**>(&slots->u1.Function);
                if (*counted.Original)
                    return false;
                *counted.Original = *slot;
                patches_.push_back({slot, *slot});
                Write(slot, counted.Replacement);
            }
        }
    }
    return !patches_.empty();
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
