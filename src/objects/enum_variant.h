// CEnumVariantArray: IEnumVARIANT over a collection's array. Each enumerator and each clone holds a
// reference on the collection that owns the array, so the array outlives every enumerator even
// when the host has released the bank and the collection.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <new>

#include "core/com_ptr.h"
#include "core/module_lock.h"
#include "objects/array.h"

template <class Element>
class CEnumVariantArray final : public IEnumVARIANT {
public:
    // A new enumerator over list, which owner keeps alive; null when memory is short.
    static ComPtr<CEnumVariantArray> Create(const CArray<Element>* list, IUnknown* owner, LONG position = 0)
    {
        return ComPtr<CEnumVariantArray>(new (std::nothrow) CEnumVariantArray(list, owner, position));
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        // An unknown identifier is answered before the out pointer is looked at, and clears it.
        if (!InlineIsEqualGUID(iid, IID_IUnknown) && !InlineIsEqualGUID(iid, IID_IEnumVARIANT)) {
            if (out)
                *out = nullptr;
            return E_NOINTERFACE;
        }
        if (!out)
            return E_POINTER;
        *out = static_cast<IEnumVARIANT*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++References); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG left = --References;
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    STDMETHODIMP Next(ULONG requested, VARIANT* slots, ULONG* fetched) override
    {
        HRESULT result = E_POINTER;
        if (fetched)
            *fetched = 0;
        if (requested > 0 && !slots)
            return E_POINTER;
        for (ULONG i = 0; i < requested; ++i)
            VariantInit(&slots[i]);
        VARIANT* slot = slots;
        while (requested > 0 && Position < List->GetSize()) {
            V_VT(slot) = VT_DISPATCH;
            result = List->GetAt(Position)->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&V_DISPATCH(slot)));
            if (FAILED(result)) {
                V_VT(slot) = VT_EMPTY;
                break;
            }
            if (fetched)
                ++*fetched;
            --requested;
            ++slot;
            ++Position;
        }
        return requested > 0 ? S_FALSE : result;
    }

    STDMETHODIMP Skip(ULONG count) override
    {
        if (static_cast<LONGLONG>(Position) + count >= List->GetSize())
            return S_FALSE;
        Position += static_cast<LONG>(count);
        return S_OK;
    }

    STDMETHODIMP Reset() override
    {
        Position = 0;
        return S_OK;
    }

    STDMETHODIMP Clone(IEnumVARIANT** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        const ComPtr<CEnumVariantArray> clone = Create(List, Owner.Get(), Position);
        if (!clone)
            return E_OUTOFMEMORY;
        return clone.QueryTo(out);
    }

private:
    CEnumVariantArray(const CArray<Element>* list, IUnknown* owner, LONG position)
        : List(list), Owner(owner), Position(position)
    {
        module_lock::Lock();
    }
    ~CEnumVariantArray() { module_lock::Unlock(); }

    const CArray<Element>* List;
    ComPtr<IUnknown> Owner;  // keeps List alive
    LONG References = 0;
    LONG Position;
};
