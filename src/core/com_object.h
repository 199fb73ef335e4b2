// The small COM object layer: an object root with its reference count and module lock, an
// interface table from which QueryInterface follows, the plain and aggregated object forms, and
// instance creation with the final construction step.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <new>
#include <tuple>
#include <utility>

#include "core/com_ptr.h"
#include "core/method_frame.h"
#include "core/module_lock.h"

// One row of a class's interface table: the identifier answered, and the interface pointer that
// answers it (Via), which may be a derived interface sharing the same vtable.
template <class Answered, class Via = Answered>
struct Iface {
    template <class Object>
    static bool Match(Object* object, REFIID iid, void** out)
    {
        if (!InlineIsEqualGUID(iid, __uuidof(Answered)))
            return false;
        *out = static_cast<Via*>(object);
        return true;
    }
    template <class Object>
    static void* First(Object* object)
    {
        return static_cast<Via*>(object);
    }
};

template <class... Rows>
struct InterfaceTable {
    // The first row also serves IUnknown; unknown identifiers clear the out pointer.
    template <class Object>
    static HRESULT Query(Object* object, REFIID iid, void** out)
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        using FirstRow = std::tuple_element_t<0, std::tuple<Rows...>>;
        if (InlineIsEqualGUID(iid, IID_IUnknown))
            *out = FirstRow::First(object);
        else
            (Rows::Match(object, iid, out) || ...);
        if (!*out)
            return E_NOINTERFACE;
        static_cast<IUnknown*>(*out)->AddRef();
        return S_OK;
    }
};

// Base of every object: its reference count (single-threaded, apartment model) and its share
// of the module lock.
class ObjectRoot {
public:
    ObjectRoot() noexcept { module_lock::Lock(); }
    virtual ~ObjectRoot() { module_lock::Unlock(); }
    ObjectRoot(const ObjectRoot&) = delete;
    ObjectRoot& operator=(const ObjectRoot&) = delete;

    // The class's own final construction step; raises on failure.
    void FinalConstruct() {}

protected:
    ULONG references_ = 0;
};

// The base of a class: the object root and the class's interface implementations. Declaring the
// IUnknown members here joins the IUnknown of every base into one, which the object forms implement.
template <class... Bases>
class Implements : public ObjectRoot, public Bases... {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override = 0;
    STDMETHODIMP_(ULONG) AddRef() override = 0;
    STDMETHODIMP_(ULONG) Release() override = 0;
};

// ISupportErrorInfo answering S_OK for exactly one interface.
template <class Supported>
class SupportErrorInfoFor : public ISupportErrorInfo {
public:
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override
    {
        return InlineIsEqualGUID(iid, __uuidof(Supported)) ? S_OK : S_FALSE;
    }
};

// The plain form of an object of class T.
template <class T>
class ComObject final : public T {
public:
    using T::T;
    ~ComObject() override = default;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        return T::Interfaces::Query(static_cast<T*>(this), iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++this->references_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --this->references_;
        if (left == 0)
            delete this;
        return left;
    }
};

// The aggregated form: IUnknown calls on the object go to the outer object; the outer object
// holds the inner, non-delegating IUnknown.
template <class T>
class AggregatedObject final : public IUnknown {
public:
    explicit AggregatedObject(IUnknown* outer) : contained_(outer) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (InlineIsEqualGUID(iid, IID_IUnknown)) {
            *out = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return T::Interfaces::Query(static_cast<T*>(&contained_), iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    T& Inner() { return contained_; }

private:
    class Delegating final : public T {
    public:
        explicit Delegating(IUnknown* outer) : outer_(outer) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return outer_->QueryInterface(iid, out); }
        STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }

    private:
        IUnknown* outer_;
    };

    Delegating contained_;
    ULONG references_ = 0;
};

// Makes a plain object inside the module (construction, then the final construction step with a
// temporary reference). The caller gets the first reference; failures are raised.
template <class T, class... Args>
ComPtr<T> MakeObject(Args&&... args)
{
    T* object = new (std::nothrow) ComObject<T>(std::forward<Args>(args)...);
    if (!object)
        Raise(E_OUTOFMEMORY);
    ComPtr<T> held(object);  // also destroys the object if the final step raises
    HRESULT hr = MethodFrame([&] { object->FinalConstruct(); });
    if (FAILED(hr))
        Raise(hr);
    return held;
}

// Instance creation for a class object: plain or aggregated, then the requested interface. The
// method frame answers for whatever construction raises, as for any other method.
template <class T>
HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer && !InlineIsEqualGUID(iid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    return MethodFrame([&]() -> HRESULT {
        if (!outer)
            return MakeObject<T>()->QueryInterface(iid, out);
        auto* aggregate = new AggregatedObject<T>(outer);
        // The temporary reference destroys the aggregate if its final step or the query fails.
        ComPtr<AggregatedObject<T>> held(aggregate);
        const HRESULT hr = MethodFrame([&] { aggregate->Inner().FinalConstruct(); });
        if (FAILED(hr))
            return hr;
        return aggregate->QueryInterface(iid, out);
    });
}
