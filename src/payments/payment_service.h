// The bank's payment service: exports a host batch of BACS payments to a payment file.
#pragma once

#include "core/com_object.h"
#include "TolvarBrenmarkLintrove.h"
#include "core/bank_service_impl.h"
#include "settings/settings_store.h"

class CBankPaymentService
    : public Implements<SupportErrorInfoFor<IBankPaymentService>, IBankServiceImpl<IBankPaymentService>> {
public:
    using Interfaces = InterfaceTable<Iface<IBankPaymentService>, Iface<ITolvarBankPaymentService, IBankPaymentService>,
                                      Iface<IDispatch, IBankPaymentService>, Iface<ISupportErrorInfo>>;

    CBankPaymentService() { DisplayName = Bstr(L"Bank Payment Service"); }

    STDMETHODIMP GetResultText(long code, BSTR* text) override;
    STDMETHODIMP ExportPayments(ITolvarBankPayments* payments, ITolvarBankPaymentContext* context) override;

    // Where this service's runs keep the layout chosen per account (the shell's common
    // application-data folder unless told otherwise).
    void UseSettingsLocation(SettingsLocation settings) { settings_ = std::move(settings); }

private:
    SettingsLocation settings_;
};
