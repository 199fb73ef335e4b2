// The bank's payment service: exports a host batch of BACS payments to a payment file.
#pragma once

#include "core/com_object.h"
#include "TolvarBrenmarkLintrove.h"
#include "core/bank_service_impl.h"

class CBankPaymentService
    : public Implements<SupportErrorInfoFor<IBankPaymentService>, IBankServiceImpl<IBankPaymentService>> {
public:
    using Interfaces = InterfaceTable<Iface<IBankPaymentService>, Iface<ITolvarBankPaymentService, IBankPaymentService>,
                                      Iface<IDispatch, IBankPaymentService>, Iface<ISupportErrorInfo>>;

    CBankPaymentService() { DisplayName = Bstr(L"Bank Payment Service"); }

    STDMETHODIMP GetResultText(long code, BSTR* text) override;
    STDMETHODIMP ExportPayments(ITolvarBankPayments* payments, ITolvarBankPaymentContext* context) override;
};
