// RAII owners for COM interface pointers, BSTRs and VARIANTs.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

#include "support/hresult.h"

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    explicit ComPtr(T* pointer) : pointer_(pointer)
    {
        if (pointer_)
            pointer_->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.pointer_) {}
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(pointer_, other.pointer_);
        return *this;
    }

    // Takes over a reference the caller already owns.
    static ComPtr Attach(T* pointer)
    {
        ComPtr result;
        result.pointer_ = pointer;
        return result;
    }
    T* Detach() { return std::exchange(pointer_, nullptr); }

    void Reset()
    {
        if (T* old = std::exchange(pointer_, nullptr))
            old->Release();
    }

    T* Get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    T& operator*() const { return *pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    // The out-pointer form: releases what is held and hands the slot to a producer.
    T** Put()
    {
        Reset();
        return &pointer_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    template <class U>
    ComPtr<U> As() const
    {
        ComPtr<U> result;
        if (pointer_)
            pointer_->QueryInterface(__uuidof(U), result.PutVoid());
        return result;
    }

    template <class U>
    HRESULT QueryTo(U** out) const
    {
        return pointer_ ? pointer_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(out)) : E_POINTER;
    }

    // Hands a new reference to an out parameter.
    template <class U>
    void CopyTo(U** out) const
    {
        *out = pointer_;
        if (pointer_)
            pointer_->AddRef();
    }

private:
    T* pointer_ = nullptr;
};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : text_(text ? SysAllocString(text) : nullptr) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept
    {
        Reset(other.Detach());
        return *this;
    }
    ~Bstr() { Reset(); }

    static Bstr Attach(BSTR text)
    {
        Bstr result;
        result.text_ = text;
        return result;
    }
    BSTR Detach() { return std::exchange(text_, nullptr); }
    void Reset(BSTR text = nullptr)
    {
        if (text_)
            SysFreeString(text_);
        text_ = text;
    }

    BSTR Get() const { return text_; }
    BSTR* Put()
    {
        Reset();
        return &text_;
    }
    // A new BSTR with the same bytes, for the caller of a getter to own. Raises E_OUTOFMEMORY when
    // it cannot be made: a null name must never pass for a name.
    BSTR Copy() const
    {
        const BSTR copy =
            SysAllocStringByteLen(reinterpret_cast<const char*>(text_), text_ ? SysStringByteLen(text_) : 0);
        if (!copy)
            Raise(E_OUTOFMEMORY);
        return copy;
    }
    // Length in UTF-16 units; 0 for a null BSTR. Read from the byte count before the text, as
    // SysStringLen does, without the call for every text of every payment.
    UINT Length() const { return text_ ? reinterpret_cast<const UINT*>(text_)[-1] / sizeof(OLECHAR) : 0; }
    // Never null: a null BSTR reads as the empty text.
    const wchar_t* Text() const { return text_ ? text_ : L""; }

private:
    BSTR text_ = nullptr;
};

class Variant {
public:
    Variant() { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&value_); }

    VARIANT* operator&() { return &value_; }
    VARIANT& Get() { return value_; }
    const VARIANT& Get() const { return value_; }
    VARIANT* Put()
    {
        VariantClear(&value_);
        return &value_;
    }

private:
    VARIANT value_;
};
