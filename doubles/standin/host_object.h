// The host's own small COM object base: a reference count, QueryInterface over IUnknown, IDispatch,
// the object's interface and ISupportErrorInfo, and IDispatch members that the host does not
// offer. It deliberately stays apart from the module's object layer so that host objects never
// count in the module's lock.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <utility>

#include "core/com_ptr.h"

namespace standin {

void CountLiveObject(int change);

// The reference count of every host object, counted among the live host objects while it exists.
class CountedObject {
public:
    CountedObject() { CountLiveObject(+1); }
    virtual ~CountedObject() { CountLiveObject(-1); }
    CountedObject(const CountedObject&) = delete;
    CountedObject& operator=(const CountedObject&) = delete;

protected:
    ULONG AddReference() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG ReleaseReference()
    {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

private:
    LONG references_ = 0;
};

template <class Interface>
class HostObject : public Interface, public ISupportErrorInfo, protected CountedObject {
public:
    using Face = Interface;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (InlineIsEqualGUID(iid, IID_IUnknown) || InlineIsEqualGUID(iid, IID_IDispatch) || Answers(iid))
            *out = static_cast<Interface*>(this);
        else if (InlineIsEqualGUID(iid, IID_ISupportErrorInfo))
            *out = static_cast<ISupportErrorInfo*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return AddReference(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseReference(); }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override
    {
        return Answers(iid) && PostsErrorInfo() ? S_OK : S_FALSE;
    }

protected:
    // The interfaces answered besides IUnknown and IDispatch.
    virtual bool Answers(REFIID iid) const { return InlineIsEqualGUID(iid, __uuidof(Interface)); }
    // Whether a planned failure of this object posts error information.
    virtual bool PostsErrorInfo() const = 0;

private:
};

// Makes a host object; the returned pointer holds the first reference.
template <class Object, class... Arguments>
ComPtr<typename Object::Face> MakeHostObject(Arguments&&... arguments)
{
    return ComPtr<typename Object::Face>(new Object(std::forward<Arguments>(arguments)...));
}

}  // namespace standin
