#include "payments/export_run.h"

#include <cstdio>
#include <cstring>

#include "TolvarEBanking.h"
#include "core/method_frame.h"
#include "core/bank_identity.h"
#include "payments/options_dialog.h"
#include "payments/output_file.h"
#include "payments/payment_format.h"
#include "payments/host_payment.h"
#include "settings/host_text.h"
#include "settings/payment_directory.h"
#include "support/cstring.h"

namespace {

// Host buffers of GetPaymentFileDefaults, terminated within their sizes whatever the host wrote.
struct PaymentFileDefaults {
    char FileName[1024] = {};
    char Extension[4] = {};
    char Directory[1024] = {};

    void Terminate()
    {
        FileName[sizeof FileName - 1] = '\0';
        Extension[sizeof Extension - 1] = '\0';
        Directory[sizeof Directory - 1] = '\0';
    }
};

// "BMBUseLWFmt" is followed by this: sort code digits, "_", account number digits. Digits only:
// the key is written into a settings file every user shares, where a bracket or a line end from
// the host would start a section or a key of its own.
CString AccountKeySuffix(ITolvarBankPaymentContext* context)
{
    CString suffix;
    if (!context)
        return suffix;
    ComPtr<ITolvarBankAccount> account;
    if (FAILED(context->get_BankAccount(account.Put())) || !account)
        return suffix;
    Bstr sortCode;
    if (SUCCEEDED(account->get_SortCode(sortCode.Put())))
        suffix = ToDigitText(sortCode.Text());
    suffix.Append("_");
    Bstr accountNumber;
    if (SUCCEEDED(account->get_AccountNumber(accountNumber.Put())))
        suffix.Append(ToDigitText(accountNumber.Text()));
    return suffix;
}

DATE Now()
{
    SYSTEMTIME local = {};
    GetLocalTime(&local);
    DATE now = 0;
    SystemTimeToVariantTime(&local, &now);
    return now;
}

// A failing count is taken as an empty batch.
long CountOf(ITolvarBankPayments* payments)
{
    long count = 0;
    if (FAILED(payments->get_Count(&count)))
        return 0;
    return count;
}

struct RunOptions {
    DATE DebitDate = 0;
    int RemittanceAdviceRequired = 0;
    int UseLedgerwayLayout = 0;
};

}  // namespace

HRESULT RunPaymentExport(long& status, ITolvarBankPayments* payments, ITolvarBankPaymentContext* context,
                         PlacementPlatform& platform, const SettingsLocation& settingsLocation)
{
    HRESULT runResult = S_OK;

    auto settings = CreateHostSettings<100>();
    PaymentFileDefaults defaults;
    HostCall(settings.Host, [&](ITolvarBankSettings* host) {
        return host->GetPaymentFileDefaults(settings.BankName, defaults.FileName, defaults.Extension,
                                            defaults.Directory);
    });
    defaults.Terminate();

    char initialPath[MAX_PATH] = {};
    ResolvePaymentFilePath(defaults.FileName, defaults.Directory, initialPath);
    status = ExportWrittenAllPassed;

    // Until Commit moves it over the chosen path, the file is an unfinished copy beside it, which
    // goes with the placement whatever ends the run (a payment the host cannot give, a failed
    // write, anything raised): the chosen path keeps what it held.
    OutputPlacement placement(platform);
    placement.BuildFilter(defaults.Extension);

    RequirePointer(payments);
    const CString keySuffix = AccountKeySuffix(context);

    RunOptions options;
    options.DebitDate = Now();
    if (CountOf(payments) < 1) {
        status = ExportNothingToWrite;
        return runResult;
    }

    // Hosts whose payments carry RTI references choose nothing: the Lintrove layout, today, no advice.
    ComPtr<ITolvarBankPayment> firstPayment;  // stays referenced until the run ends
    if (SUCCEEDED(payments->Item(0, firstPayment.Put())) && firstPayment && !firstPayment.As<ITolvarBankPayment2>()) {
        CLintroveInfoDialog dialog(options.DebitDate, options.RemittanceAdviceRequired, keySuffix, 1, settingsLocation);
        if (dialog.DoModal(GetActiveWindow()) == IDOK) {
            options.DebitDate = dialog.DebitDate();
            options.RemittanceAdviceRequired = dialog.RemittanceAdviceRequired();
            options.UseLedgerwayLayout = dialog.UseLedgerwayLayout();
        }
    }
    const CString debitDateText = FormatDebitDate(options.DebitDate);
    const char remittanceCharacter = options.RemittanceAdviceRequired ? 'Y' : 'N';

    if (!placement.ShowSaveDialog(defaults.Extension, initialPath)) {
        status = ExportNothingToWrite;
        return runResult;
    }
    const long count = CountOf(payments);

    PaymentFile file = placement.Open();
    if (!file) {
        status = ExportNotWritten;
        placement.ShowWriteFailure();
        return runResult;
    }
    if (options.UseLedgerwayLayout)
        WriteLedgerwayHeader(file.Get());

    bool writeFailed = std::ferror(file.Get()) != 0;
    for (long index = 0; index < count && !writeFailed; ++index) {
        ComPtr<ITolvarBankPayment> payment;
        if (FAILED(payments->Item(index, payment.Put())) || !payment) {
            status = ExportNotWritten;
            break;
        }
        const bool valid = options.UseLedgerwayLayout
                               ? WriteLedgerwayRecord(file.Get(), payment.Get(), debitDateText, remittanceCharacter)
                               : WriteLintroveRecord(file.Get(), payment.Get());
        if (!valid) {
            status = ExportWrittenSomeFailed;
            runResult = S_FALSE;
        }
        // fwrite, not fputs: the compiler turns a one-character fputs into fputc, which some C
        // runtimes (Wine's among them) flush at every line end, one system call per record.
        std::fwrite("\n", 1, 1, file.Get());
        writeFailed = std::ferror(file.Get()) != 0;
    }

    // A payment the host could not give leaves the file unfinished: the host knows why, and
    // the run says nothing of its own.
    if (status == ExportNotWritten) {
        placement.Discard(file);
        return runResult;
    }
    if (writeFailed)
        placement.NoteWriteFailure();
    if (!placement.Commit(file)) {
        status = ExportNotWritten;
        placement.ShowWriteFailure();
        return runResult;
    }
    placement.NotifyRedirect();
    return runResult;
}
