// The members that both bank services share: display name, status and the two argument checks.
#pragma once

#include "core/com_ptr.h"
#include "core/dispatch.h"
#include "core/method_frame.h"

template <class ServiceInterface>
class IBankServiceImpl : public DispatchImpl<ServiceInterface> {
public:
    IBankServiceImpl() = default;

    STDMETHODIMP get_Name(BSTR* name) override
    {
        return MethodFrame([&] {
            RequirePointer(name);
            *name = nullptr;
            *name = DisplayName.Copy();
        });
    }

    STDMETHODIMP get_Status(long* status) override
    {
        return MethodFrame([&] {
            RequirePointer(status);
            *status = Status;
        });
    }

    STDMETHODIMP put_Status(long status) override
    {
        Status = status;
        return S_OK;
    }

    STDMETHODIMP Prepare(IUnknown* host) override
    {
        return MethodFrame([&] { RequirePointer(host); });
    }

    STDMETHODIMP Query(IUnknown*, IUnknown* reply) override
    {
        return MethodFrame([&] { RequirePointer(reply); });
    }

protected:
    Bstr DisplayName;  // set by the service's constructor
    long Status = 0;
};
