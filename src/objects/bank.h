// The bank: the module's root object. It names the bank, hands out its services collection and
// opens the bank's settings through the host settings object.
#pragma once

#include "TolvarBrenmarkLintrove.h"
#include "core/bank_identity.h"
#include "core/com_object.h"
#include "core/dispatch.h"

template <class Services, class BankInterface>
class IBankImpl : public DispatchImpl<BankInterface> {
public:
    IBankImpl();
    virtual ~IBankImpl();  // in bank.cpp, where the services class is complete

    STDMETHODIMP get_Name(BSTR* name) override;
    STDMETHODIMP get_Services(ITolvarBankServices** services) override;
    STDMETHODIMP get_Version(long* version) override;
    STDMETHODIMP Configure(long reserved) override;
    STDMETHODIMP get_Status(long* status) override;

protected:
    Bstr DisplayName;
    long Status = 0;
    ComPtr<Services> ServicesCollection;  // made on the first get_Services
};

class CBankServices;

class CBank : public Implements<IBankImpl<CBankServices, IBank>, IBank, ITolvarBank, IDispatch, ISupportErrorInfo> {};
