// Counts the heap allocations a loaded module makes: its imports of the C runtime's malloc, calloc
// and realloc (operator new comes through malloc) and of OLE Automation's SysAllocString family are
// pointed at counting stand-ins for as long as the counter lives.
#pragma once

#include <windows.h>

#include <vector>

class ImportCounter {
public:
    ImportCounter() = default;
    ~ImportCounter();
    ImportCounter(const ImportCounter&) = delete;
    ImportCounter& operator=(const ImportCounter&) = delete;

    // False when the module imports none of the counted functions (or one is counted already).
    bool Install(HMODULE module);

    static long long HeapAllocations();    // malloc, calloc, realloc
    static long long StringAllocations();  // SysAllocString, SysAllocStringLen, SysAllocStringByteLen
    static void Reset();

private:
    struct Patch {
        void** Slot;
        void* Original;
    };
    std::vector<Patch> patches_;
};
