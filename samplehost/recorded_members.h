// Property accessors of stand-in objects whose every call is recorded and may be told to fail.
// The object supplies OnCall(member, argument), which records the call and returns S_OK or the
// planned failure; a failing getter leaves its out value null or 0.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "samplehost/call_text.h"

namespace standin {

template <class Object>
class RecordedMembers {
protected:
    HRESULT GetText(const char* member, const std::wstring& value, BSTR* text)
    {
        if (text)
            *text = nullptr;
        const HRESULT hr = Self().OnCall(member, nullptr);
        if (FAILED(hr))
            return hr;
        if (!text)
            return E_POINTER;
        *text = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
        return *text ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT PutText(const char* member, std::wstring& stored, BSTR text)
    {
        const std::string argument = BstrText(text);
        const HRESULT hr = Self().OnCall(member, &argument);
        if (SUCCEEDED(hr))
            stored.assign(text ? text : L"", text ? SysStringLen(text) : 0);
        return hr;
    }

    template <class T>
    HRESULT GetNumber(const char* member, T value, T* out)
    {
        if (out)
            *out = 0;
        const HRESULT hr = Self().OnCall(member, nullptr);
        if (FAILED(hr))
            return hr;
        if (!out)
            return E_POINTER;
        *out = value;
        return S_OK;
    }

    template <class T>
    HRESULT PutValue(const char* member, const std::string& argument, T& stored, T value)
    {
        const HRESULT hr = Self().OnCall(member, &argument);
        if (SUCCEEDED(hr))
            stored = value;
        return hr;
    }

private:
    Object& Self() { return static_cast<Object&>(*this); }
};

}  // namespace standin
