// Replaces one function a loaded module imports by name, in that module's own import table only,
// and puts the original back when it goes: how a host sees what a module asks of the system (the
// file its save dialog returned, the libraries it loads) without reading windows afterwards.
#pragma once

#include <windows.h>

#include <functional>

namespace standin {

// Calls visit with the library, the function's name and its slot for every function the module
// imports by name; stops when visit returns false. False when the module has no import table.
bool ForEachImport(HMODULE module,
                   const std::function<bool(const char* library, const char* function, void** slot)>& visit);

class ImportPatch {
public:
    // Does nothing when the module does not import library!function by name; Installed says.
    ImportPatch(HMODULE module, const char* library, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool Installed() const { return slot_ != nullptr; }
    // The function the module imported, for the replacement to call.
    void* Original() const { return original_; }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

}  // namespace standin
