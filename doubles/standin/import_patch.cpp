#include "standin/import_patch.h"

#include <cstring>

namespace standin {

namespace {

void WriteSlot(void** slot, void* value)
{
    DWORD previous = 0;
    if (VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &previous)) {
        *slot = value;
        VirtualProtect(slot, sizeof *slot, previous, &previous);
    }
}

}  // namespace

bool ForEachImport(HMODULE module,
                   const std::function<bool(const char* library, const char* function, void** slot)>& visit)
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
        if (!import->OriginalFirstThunk)
            continue;
        const char* library = reinterpret_cast<const char*>(base + import->Name);
        auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (!visit(library, reinterpret_cast<const char*>(byName->Name),
                       reinterpret_cast<void**>(&slots->u1.Function)))
                return true;
        }
    }
    return true;
}

ImportPatch::ImportPatch(HMODULE module, const char* library, const char* function, void* replacement)
{
    ForEachImport(module, [&](const char* importedFrom, const char* name, void** slot) {
        if (_stricmp(importedFrom, library) != 0 || std::strcmp(name, function) != 0)
            return true;
        slot_ = slot;
        original_ = *slot_;
        WriteSlot(slot_, replacement);
        return false;
    });
}

ImportPatch::~ImportPatch()
{
    if (slot_)
        WriteSlot(slot_, original_);
}

}  // namespace standin
