// The small COM object layer: an object root with its reference count and module lock, a class
// base that names the class's interfaces once and answers QueryInterface from that list, the plain
// and aggregated object forms, and instance creation with the final construction step.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <new>
#include <tuple>
#include <type_traits>
#include <utility>

#include "core/com_ptr.h"
#include "core/method_frame.h"
#include "core/module_lock.h"

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

// ISupportErrorInfo answering S_OK for exactly one interface.
template <class Supported>
class SupportErrorInfoFor : public ISupportErrorInfo {
public:
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override
    {
        return InlineIsEqualGUID(iid, __uuidof(Supported)) ? S_OK : S_FALSE;
    }
};

// The base of a class, which names its interfaces once: Impl implements the class's one dual
// interface (Impl::DualInterface, which it derives from), and QueryInterface answers Answered in
// the order given. The dual interface, the host interface it derives from and IDispatch all answer
// with the dual interface's pointer; ISupportErrorInfo answers with its own, supporting error
// information for the dual interface alone. The first answered interface also serves IUnknown;
// any other identifier clears the out pointer and gives E_NOINTERFACE.
template <class Impl, class... Answered>
class Implements : public ObjectRoot, public SupportErrorInfoFor<typename Impl::DualInterface>, public Impl {
public:
    using DualInterface = typename Impl::DualInterface;

    // Declaring the IUnknown members here joins the IUnknown of every base into one, which the
    // object forms implement.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override = 0;
    STDMETHODIMP_(ULONG) AddRef() override = 0;
    STDMETHODIMP_(ULONG) Release() override = 0;

    // The QueryInterface of the object forms; the reference is added through the answered pointer.
    HRESULT QueryAnswered(REFIID iid, void** out)
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        using First = std::tuple_element_t<0, std::tuple<Answered...>>;
        if (InlineIsEqualGUID(iid, IID_IUnknown))
            *out = Pointer<First>();
        else
            ((InlineIsEqualGUID(iid, __uuidof(Answered)) ? (*out = Pointer<Answered>(), true) : false) || ...);
        if (!*out)
            return E_NOINTERFACE;
        static_cast<IUnknown*>(*out)->AddRef();
        return S_OK;
    }

private:
    template <class Interface>
    void* Pointer()
    {
        if constexpr (std::is_base_of_v<Interface, DualInterface>) {
            return static_cast<Interface*>(static_cast<DualInterface*>(this));
        } else {
            static_assert(std::is_same_v<Interface, ISupportErrorInfo>,
                          "a class answers its dual interface, the interfaces it derives from and ISupportErrorInfo");
            return static_cast<ISupportErrorInfo*>(this);
        }
    }
};

// The plain form of an object of class T.
template <class T>
class ComObject final : public T {
public:
    using T::T;
    ~ComObject() override = default;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return T::QueryAnswered(iid, out); }
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
        return contained_.QueryAnswered(iid, out);
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

// Makes a plain object inside the module: construction, then the final construction step with a
// temporary reference. The caller gets the first reference. No boundary of its own: whatever either
// step raises reaches the one method frame of the call that makes the object, so a constructor and
// a final step that fail alike end alike.
template <class T, class... Args>
ComPtr<T> MakeObject(Args&&... args)
{
    T* object = new (std::nothrow) ComObject<T>(std::forward<Args>(args)...);
    if (!object)
        Raise(E_OUTOFMEMORY);
    ComPtr<T> held(object);  // also destroys the object if the final step raises
    object->FinalConstruct();
    return held;
}

// Instance creation for a class object: plain or aggregated, then the requested interface. Its
// method frame is the one place where a failure to make the object becomes an HRESULT.
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
        auto* aggregate = new (std::nothrow) AggregatedObject<T>(outer);
        if (!aggregate)
            Raise(E_OUTOFMEMORY);
        // The temporary reference destroys the aggregate if its final step or the query fails.
        ComPtr<AggregatedObject<T>> held(aggregate);
        aggregate->Inner().FinalConstruct();
        return aggregate->QueryInterface(iid, out);
    });
}
