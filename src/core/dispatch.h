// IDispatch served from the module's type library for a dual interface of the module.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "core/method_frame.h"

// Type information of a module interface (library version 1.0), loaded on first use and kept until
// the module terminates. Safe from any thread. Returns null when the library cannot be loaded or
// memory runs out.
ITypeInfo* ModuleTypeInfo(REFIID iid) noexcept;
void ReleaseModuleTypeInfo() noexcept;

template <class Interface>
class DispatchImpl : public Interface {
public:
    // The dual interface this implements, which the class's QueryInterface answers with.
    using DualInterface = Interface;

    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        if (!info)
            return E_POINTER;
        *info = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        ITypeInfo* cached = ModuleTypeInfo(__uuidof(Interface));
        if (!cached)
            return TYPE_E_ELEMENTNOTFOUND;
        cached->AddRef();
        *info = cached;
        return S_OK;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        return EntryPointFrame([&]() -> HRESULT {
            ITypeInfo* cached = ModuleTypeInfo(__uuidof(Interface));
            return cached ? cached->GetIDsOfNames(names, count, ids) : TYPE_E_ELEMENTNOTFOUND;
        });
    }
    // The members reached through the type information have frames of their own; this one keeps
    // anything the dispatch machinery itself might raise on this side.
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                        UINT* argumentError) override
    {
        return EntryPointFrame([&]() -> HRESULT {
            ITypeInfo* cached = ModuleTypeInfo(__uuidof(Interface));
            if (!cached)
                return TYPE_E_ELEMENTNOTFOUND;
            // A caller that cannot tell a property get from a method call may ask for either; some
            // script engines ask for the enumerator as a method with no arguments.
            if (id == DISPID_NEWENUM && flags == DISPATCH_METHOD && (!params || params->cArgs == 0))
                flags |= DISPATCH_PROPERTYGET;
            return cached->Invoke(static_cast<Interface*>(this), id, flags, params, result, exception, argumentError);
        });
    }
};
