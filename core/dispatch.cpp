#include "core/dispatch.h"

#include <cstring>
#include <map>
#include <new>

#include "core/com_ptr.h"
#include "support/platform.h"

namespace {

struct IidLess {
    bool operator()(const IID& left, const IID& right) const { return memcmp(&left, &right, sizeof(IID)) < 0; }
};

struct TypeInfoCache {
    ComPtr<ITypeLib> Library;
    std::map<IID, ComPtr<ITypeInfo>, IidLess> Infos;
};

// Made on the apartment's thread on first use; freed when the module terminates, not by a static
// destructor that could run after COM is gone.
TypeInfoCache* cache = nullptr;

}  // namespace

ITypeInfo* ModuleTypeInfo(REFIID iid)
{
    if (!cache) {
        cache = new (std::nothrow) TypeInfoCache;
        if (!cache)
            return nullptr;
    }
    auto found = cache->Infos.find(iid);
    if (found != cache->Infos.end())
        return found->second.Get();
    if (!cache->Library) {
        wchar_t path[MAX_PATH] = {};
        if (!GetModuleFileNameW(static_cast<HMODULE>(platform::ResourceModule()), path, MAX_PATH))
            return nullptr;
        if (FAILED(LoadTypeLibEx(path, REGKIND_NONE, cache->Library.Put())))
            return nullptr;
    }
    ComPtr<ITypeInfo> info;
    if (FAILED(cache->Library->GetTypeInfoOfGuid(iid, info.Put())))
        return nullptr;
    ComPtr<ITypeInfo>& slot = cache->Infos[iid];
    slot = info;
    return slot.Get();
}

void ReleaseModuleTypeInfo()
{
    delete cache;
    cache = nullptr;
}
