// The bank's payment service: exports a host batch of BACS payments to a payment file.
#pragma once

#include "core/com_object.h"
#include "TolvarBrenmarkLintrove.h"
#include "core/bank_service_impl.h"
#include "settings/settings_store.h"

class CBankPaymentService : public Implements<IBankServiceImpl<IBankPaymentService>, IBankPaymentService,
                                              ITolvarBankPaymentService, IDispatch, ISupportErrorInfo> {
public:
    CBankPaymentService() { DisplayName = Bstr(L"Bank Payment Service"); }

    STDMETHODIMP GetResultText(long code, BSTR* text) override;
    STDMETHODIMP ExportPayments(ITolvarBankPayments* payments, ITolvarBankPaymentContext* context) override;

protected:
    // Where this service's runs keep the layout chosen per account: the shell's common
    // application-data folder.
    SettingsLocation settings_;
};
