// The class object of a creatable class: cached by the object map, counted in the module lock
// while a client holds it.
#pragma once

#include <windows.h>

#include "core/com_object.h"
#include "core/module_lock.h"

using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(InstanceCreator creator) : creator_(creator) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!InlineIsEqualGUID(iid, IID_IUnknown) && !InlineIsEqualGUID(iid, IID_IClassFactory))
            return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }

    // The cache's own reference does not count towards the module lock; a client's does.
    STDMETHODIMP_(ULONG) AddRef() override
    {
        const LONG count = InterlockedIncrement(&references_);
        if (count == 2)
            module_lock::Lock();
        return static_cast<ULONG>(count);
    }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG count = InterlockedDecrement(&references_);
        if (count == 1)
            module_lock::Unlock();
        else if (count == 0)
            delete this;
        return static_cast<ULONG>(count);
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override { return creator_(outer, iid, out); }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        if (lock)
            module_lock::Lock();
        else
            module_lock::Unlock();
        return S_OK;
    }

private:
    volatile LONG references_ = 0;
    InstanceCreator creator_;
};
