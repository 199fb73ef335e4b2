#include "payments/payment_service.h"

STDMETHODIMP CBankPaymentService::GetResultText(long, BSTR* text)
{
    // Not built yet: the result texts arrive with the payment checks.
    return MethodFrame([&] {
        RequirePointer(text);
        Raise(E_NOTIMPL);
    });
}

STDMETHODIMP CBankPaymentService::ExportPayments(ITolvarBankPayments*, ITolvarBankPaymentContext*)
{
    // Not built yet: the export run arrives with the payment layouts, dialogs and file placement.
    return MethodFrame([&] { Raise(E_NOTIMPL); });
}
