// The one boundary of every exposed method: failures raised inside a body become the HRESULT the
// caller receives and, where the error table says so, COM error information on the thread.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <new>
#include <type_traits>
#include <utility>

#include "core/com_ptr.h"
#include "support/hresult.h"

// A call on a host object failed; carries the host's own error information, if it gave any.
struct HostCallFailure {
    HRESULT Result;
    ComPtr<IErrorInfo> Info;
};

// Maps a raised HRESULT through the module error table and posts its description.
HRESULT ReportModuleError(HRESULT hr) noexcept;

// The HRESULT of the exception being handled (inside a catch block only): a raised HRESULT as it
// is, a failed host call as the host's HRESULT, memory exhaustion as E_OUTOFMEMORY.
HRESULT CaughtResult() noexcept;

// The boundary of an entry point that reports by HRESULT alone (the DLL's exports, IDispatch):
// nothing raised inside leaves it, and no error information is posted.
template <class Body>
HRESULT EntryPointFrame(Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return CaughtResult();
    }
}

template <class Body>
HRESULT MethodFrame(Body&& body) noexcept
{
    try {
        if constexpr (std::is_void_v<decltype(body())>) {
            body();
            return S_OK;
        } else {
            return body();
        }
    } catch (const HostCallFailure&) {
        // The host already reported its own error; it is not posted again.
        return DISP_E_EXCEPTION;
    } catch (HRESULT hr) {
        return ReportModuleError(hr);
    } catch (const std::bad_alloc&) {
        // Memory ran out in the standard library: the same answer as a raised E_OUTOFMEMORY.
        return ReportModuleError(E_OUTOFMEMORY);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// Raises E_INVALIDARG for a null out or required pointer.
template <class T>
void RequirePointer(T* pointer)
{
    if (!pointer)
        Raise(E_INVALIDARG);
}

[[noreturn]] void RaiseHostFailure(IUnknown* object, REFIID iid, HRESULT hr);

// Checked call on a host object held in a smart pointer:
//     HostCall(settings, [&](ITolvarBankSettings* s) { return s->ConfigureBank(name, 3); });
template <class I, class Call>
HRESULT HostCall(const ComPtr<I>& object, Call&& call)
{
    if (!object)
        throw HostCallFailure{E_POINTER, nullptr};
    const HRESULT hr = std::forward<Call>(call)(object.Get());
    if (FAILED(hr))
        RaiseHostFailure(object.Get(), __uuidof(I), hr);
    return hr;
}

// Creates a host object by class over every server context (0x17): as IUnknown, put in the running
// state, then queried for the interface. Any failure leaves the result empty.
template <class I>
ComPtr<I> CreateHostObject(REFCLSID clsid)
{
    ComPtr<IUnknown> unknown;
    if (FAILED(CoCreateInstance(
            clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
            IID_IUnknown, unknown.PutVoid())))
        return {};
    if (FAILED(OleRun(unknown.Get())))
        return {};
    return unknown.template As<I>();
}
