// The module's entry points: load and unload, class objects, self-registration.
#include <windows.h>
#include <comcat.h>

#include <mutex>
#include <string>

#include "core/com_ptr.h"
#include "core/dispatch.h"
#include "core/method_frame.h"
#include "core/module_lock.h"
#include "core/module_path.h"
#include "core/reg_key.h"
#include "TolvarBrenmarkLintrove.h"
#include "module/object_map.h"
#include "module/registrar.h"
#include "support/text_conversion.h"

namespace {

HINSTANCE moduleInstance = nullptr;
// Guards the cached class objects: two threads may ask for the first one at once.
std::mutex classObjectLock;

HRESULT RegisterCategory(const ObjectMapEntry& entry, bool registering)
{
    if (!entry.ImplementedCategory)
        return S_OK;
    ComPtr<ICatRegister> categories;
    HRESULT hr = CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatRegister,
                                  categories.PutVoid());
    if (FAILED(hr))
        return hr;
    CATID category = *entry.ImplementedCategory;
    return registering ? categories->RegisterClassImplCategories(*entry.ClassId, 1, &category)
                       : categories->UnRegisterClassImplCategories(*entry.ClassId, 1, &category);
}

// After the categories are gone, their container keys go too when nothing is left under them.
void RemoveEmptyCategoryKeys(const CLSID& classId)
{
    wchar_t guid[40] = {};
    StringFromGUID2(classId, guid, 40);
    const std::string classKey = "CLSID\\" + AnsiFromWide(guid);
    RegKey key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, classKey.c_str(), 0, KEY_READ | KEY_WRITE, key.Put()) != ERROR_SUCCESS)
        return;
    for (const char* name : {"Required Categories", "Implemented Categories"}) {
        DWORD subkeys = 0;
        {
            RegKey sub;
            if (RegOpenKeyExA(key.Get(), name, 0, KEY_READ, sub.Put()) != ERROR_SUCCESS)
                continue;
            RegQueryInfoKeyA(sub.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr);
        }
        if (subkeys == 0)
            RegDeleteKeyA(key.Get(), name);
    }
}

void TerminateModule()
{
    for (ObjectMapEntry* entry = ObjectMap(); entry->ClassId; ++entry) {
        if (entry->CachedFactory) {
            entry->CachedFactory->Release();
            entry->CachedFactory = nullptr;
        }
    }
    ReleaseModuleTypeInfo();
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        // At process exit (reserved non-null) COM may be gone already: leave the objects alone.
        if (!reserved)
            TerminateModule();
    }
    return TRUE;
}

STDAPI DllCanUnloadNow()
{
    return module_lock::Count() == 0 ? S_OK : S_FALSE;
}

// The class object of a class of the module, made on first request and cached.
STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, void** out)
{
    return EntryPointFrame([&]() -> HRESULT {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        for (ObjectMapEntry* entry = ObjectMap(); entry->ClassId; ++entry) {
            if (!InlineIsEqualGUID(classId, *entry->ClassId))
                continue;
            ComPtr<ClassFactory> factory;
            {
                std::lock_guard<std::mutex> hold(classObjectLock);
                if (!entry->CachedFactory) {
                    entry->CachedFactory = new ClassFactory(entry->Creator);
                    entry->CachedFactory->AddRef();  // the cache's reference
                }
                factory = ComPtr<ClassFactory>(entry->CachedFactory);
            }
            return factory->QueryInterface(iid, out);
        }
        return CLASS_E_CLASSNOTAVAILABLE;
    });
}

STDAPI DllRegisterServer()
{
    return EntryPointFrame([]() -> HRESULT {
        for (ObjectMapEntry* entry = ObjectMap(); entry->ClassId; ++entry) {
            HRESULT hr = RunRegistryResource(moduleInstance, entry->RegistryScript, true);
            if (SUCCEEDED(hr))
                hr = RegisterCategory(*entry, true);
            if (FAILED(hr))
                return hr;
        }
        const std::wstring path = ModuleWidePath(moduleInstance);
        ComPtr<ITypeLib> library;
        HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put());
        if (FAILED(hr))
            return hr;
        // The help folder is the module's own, written with its closing backslash: the form in
        // which an installer names a folder, so that registration and installation write the same.
        const std::wstring helpFolder = FolderOfPath(path);
        return RegisterTypeLib(library.Get(), const_cast<LPOLESTR>(path.c_str()),
                               const_cast<LPOLESTR>(helpFolder.c_str()));
    });
}

STDAPI DllUnregisterServer()
{
    return EntryPointFrame([]() -> HRESULT {
        for (ObjectMapEntry* entry = ObjectMap(); entry->ClassId; ++entry) {
            HRESULT hr = RegisterCategory(*entry, false);
            if (entry->ImplementedCategory)
                RemoveEmptyCategoryKeys(*entry->ClassId);
            if (SUCCEEDED(hr))
                hr = RunRegistryResource(moduleInstance, entry->RegistryScript, false);
            if (FAILED(hr))
                return hr;
        }
        ComPtr<ITypeLib> library;
        HRESULT hr = LoadTypeLibEx(ModuleWidePath(moduleInstance).c_str(), REGKIND_NONE, library.Put());
        if (FAILED(hr))
            return hr;
        TLIBATTR* attributes = nullptr;
        hr = library->GetLibAttr(&attributes);
        if (FAILED(hr))
            return hr;
        hr = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                               attributes->syskind);
        library->ReleaseTLibAttr(attributes);
        return hr;
    });
}
