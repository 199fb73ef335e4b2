#include "core/dispatch.h"

#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "core/com_ptr.h"
#include "core/method_frame.h"
#include "core/module_path.h"
#include "support/platform.h"

namespace {

struct IidLess {
    bool operator()(const IID& left, const IID& right) const { return memcmp(&left, &right, sizeof(IID)) < 0; }
};

struct TypeInfoCache {
    ComPtr<ITypeLib> Library;
    std::map<IID, ComPtr<ITypeInfo>, IidLess> Infos;
};

// Objects of the module may live in several apartments, so first use may come from two threads at
// once. The cache is made on first use and freed when the module terminates, not by a static
// destructor that could run after COM is gone; entries are never removed before then, so a
// returned pointer stays valid without the lock.
std::mutex cacheLock;
TypeInfoCache* cache = nullptr;

ITypeInfo* LookUpTypeInfo(REFIID iid)
{
    if (!cache)
        cache = new TypeInfoCache;
    auto found = cache->Infos.find(iid);
    if (found != cache->Infos.end())
        return found->second.Get();
    if (!cache->Library) {
        const std::wstring path = ModuleWidePath(static_cast<HMODULE>(platform::ResourceModule()));
        if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, cache->Library.Put())))
            return nullptr;
    }
    ComPtr<ITypeInfo> info;
    if (FAILED(cache->Library->GetTypeInfoOfGuid(iid, info.Put())))
        return nullptr;
    ComPtr<ITypeInfo>& slot = cache->Infos[iid];
    slot = info;
    return slot.Get();
}

}  // namespace

ITypeInfo* ModuleTypeInfo(REFIID iid) noexcept
{
    try {
        std::lock_guard<std::mutex> hold(cacheLock);
        return LookUpTypeInfo(iid);
    } catch (...) {
        // Out of memory or an unreadable module path: no type information, as when it is missing.
        return nullptr;
    }
}

void ReleaseModuleTypeInfo() noexcept
{
    std::lock_guard<std::mutex> hold(cacheLock);
    delete cache;
    cache = nullptr;
}
