#include "payments/payment_service.h"

#include "payments/export_run.h"
#include "payments/output_file.h"

#include "payments/payment_resources.h"
#include "payments/payment_checks.h"
#include "support/cstring.h"

STDMETHODIMP CBankPaymentService::GetResultText(long code, BSTR* text)
{
    return MethodFrame([&] {
        RequirePointer(text);
        // Codes without a text (unknown ones, and 2 to 19) leave the caller's value as it was.
        if (code < 0 || code > kLastResultCode)
            return;
        CString resultText;
        if (!resultText.LoadString(platform::ResourceModule(), IDS_RESULT_BASE + static_cast<unsigned int>(code)))
            return;
        BSTR converted = resultText.AllocSysString();
        if (!converted)
            Raise(E_OUTOFMEMORY);
        *text = converted;
    });
}

STDMETHODIMP CBankPaymentService::ExportPayments(ITolvarBankPayments* payments, ITolvarBankPaymentContext* context)
{
    return MethodFrame(
        [&] { return RunPaymentExport(Status, payments, context, PlacementPlatform::System(), settings_); });
}
