// The shape every recorded member of a stand-in object shares. A getter clears its out value,
// records the call (a planned failure ends it there, leaving the value null or 0), answers a null
// out pointer with E_POINTER and then hands out the value; a setter records the call with its
// argument and stores the value only when the call succeeds.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

#include "standin/call_text.h"

namespace standin {

// record() records the call and answers S_OK or the planned failure; give(*out) fills the value.
template <class T, class Record, class Give>
HRESULT RecordedGet(T* out, Record&& record, Give&& give)
{
    if (out)
        *out = T{};
    const HRESULT hr = record();
    if (FAILED(hr))
        return hr;
    if (!out)
        return E_POINTER;
    return give(*out);
}

template <class Record>
HRESULT RecordedGetText(BSTR* text, Record&& record, const std::wstring& value)
{
    return RecordedGet(text, std::forward<Record>(record), [&](BSTR& out) {
        out = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
        return out ? S_OK : E_OUTOFMEMORY;
    });
}

template <class T, class Record>
HRESULT RecordedGetValue(T* out, Record&& record, T value)
{
    return RecordedGet(out, std::forward<Record>(record), [&](T& given) {
        given = value;
        return S_OK;
    });
}

// record(argument) records the call with its argument text.
template <class Record>
HRESULT RecordedPutText(Record&& record, std::wstring& stored, BSTR text)
{
    const HRESULT hr = record(BstrText(text));
    if (SUCCEEDED(hr))
        stored.assign(text ? text : L"", text ? SysStringLen(text) : 0);
    return hr;
}

// The same members for objects that supply OnCall(member, argument), which records the call and
// answers S_OK or the planned failure.
template <class Object>
class RecordedMembers {
protected:
    HRESULT GetText(const char* member, const std::wstring& value, BSTR* text)
    {
        return RecordedGetText(
            text, [&] { return Self().OnCall(member, nullptr); }, value);
    }

    HRESULT PutText(const char* member, std::wstring& stored, BSTR text)
    {
        return RecordedPutText([&](const std::string& argument) { return Self().OnCall(member, &argument); }, stored,
                               text);
    }

    template <class T>
    HRESULT GetNumber(const char* member, T value, T* out)
    {
        return RecordedGetValue(
            out, [&] { return Self().OnCall(member, nullptr); }, value);
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
