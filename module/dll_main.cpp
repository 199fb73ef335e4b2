// The module's entry points: load and unload, class objects, self-registration.
#include <windows.h>
#include <comcat.h>

#include "core/com_ptr.h"
#include "core/dispatch.h"
#include "core/module_lock.h"
#include "TolvarBrenmarkLintrove.h"
#include "module/object_map.h"
#include "module/registrar.h"

namespace {

HINSTANCE moduleInstance = nullptr;
CRITICAL_SECTION classObjectLock;

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
    char classKey[64] = "CLSID\\";
    WideCharToMultiByte(CP_ACP, 0, guid, -1, classKey + 6, sizeof classKey - 6, nullptr, nullptr);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, classKey, 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    for (const char* name : {"Required Categories", "Implemented Categories"}) {
        HKEY sub = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS)
            continue;
        DWORD subkeys = 0;
        RegQueryInfoKeyA(sub, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(sub);
        if (subkeys == 0)
            RegDeleteKeyA(key, name);
    }
    RegCloseKey(key);
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
    DeleteCriticalSection(&classObjectLock);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        InitializeCriticalSection(&classObjectLock);
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

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    for (ObjectMapEntry* entry = ObjectMap(); entry->ClassId; ++entry) {
        if (!InlineIsEqualGUID(classId, *entry->ClassId))
            continue;
        if (!entry->CachedFactory) {
            EnterCriticalSection(&classObjectLock);
            if (!entry->CachedFactory) {
                auto* factory = new (std::nothrow) ClassFactory(entry->Creator);
                if (factory)
                    factory->AddRef();  // the cache's reference
                entry->CachedFactory = factory;
            }
            LeaveCriticalSection(&classObjectLock);
            if (!entry->CachedFactory)
                return E_OUTOFMEMORY;
        }
        return entry->CachedFactory->QueryInterface(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllRegisterServer()
{
    for (ObjectMapEntry* entry = ObjectMap(); entry->ClassId; ++entry) {
        HRESULT hr = RunRegistryResource(moduleInstance, entry->RegistryScript, true);
        if (SUCCEEDED(hr))
            hr = RegisterCategory(*entry, true);
        if (FAILED(hr))
            return hr;
    }
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(moduleInstance, path, MAX_PATH);
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, library.Put());
    if (FAILED(hr))
        return hr;
    // The help folder is the module's own, written with its closing backslash: the form in which
    // an installer names a folder, so that registration and installation write the same value.
    wchar_t helpFolder[MAX_PATH] = {};
    lstrcpynW(helpFolder, path, MAX_PATH);
    if (wchar_t* lastSlash = wcsrchr(helpFolder, L'\\'))
        lastSlash[1] = L'\0';
    return RegisterTypeLib(library.Get(), path, helpFolder);
}

STDAPI DllUnregisterServer()
{
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
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(moduleInstance, path, MAX_PATH);
    HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, library.Put());
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
}
