#include "payments/export_run.h"

#include <cstring>

#include "TolvarEBanking.h"
#include "core/method_frame.h"
#include "core/bank_identity.h"
#include "payments/debit_date_rules.h"
#include "payments/holiday_sources.h"
#include "payments/export_summary.h"
#include "payments/options_dialog.h"
#include "payments/output_file.h"
#include "payments/payment_file_writer.h"
#include "payments/payment_format.h"
#include "payments/sha256.h"
#include "payments/host_payment.h"
#include "settings/narrow_text.h"
#include "settings/payment_directory.h"
#include "support/cstring.h"
#include "support/background_lane.h"
#include "support/platform.h"

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
        suffix = ToDigitText(sortCode.Text(), sortCode.Length());
    suffix.Append("_");
    Bstr accountNumber;
    if (SUCCEEDED(account->get_AccountNumber(accountNumber.Put())))
        suffix.Append(ToDigitText(accountNumber.Text(), accountNumber.Length()));
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

// The administrator's number of processing days after the day the file goes in; the usual cycle's
// when none or no number is set.
int DebitDaysAfterInput(const SettingsLocation& settings)
{
    char text[16] = {};
    const DWORD size = sizeof text;
    if (!ReadSetting(settings, kDebitDaysSetting, text, &size))
        return DebitDateRules::UsualDaysAfterInput;
    int days = 0;
    for (const char* digit = text; *digit; ++digit) {
        if (*digit < '0' || *digit > '9' || days > DebitDateRules::MostDaysAfterInput)
            return DebitDateRules::UsualDaysAfterInput;
        days = days * 10 + (*digit - '0');
    }
    return days;
}

struct RunOptions {
    DATE DebitDate = 0;
    int RemittanceAdviceRequired = 0;
    int UseLedgerwayLayout = 0;
};

// The host's defaults for the payment file, and the path the save dialog starts from.
struct FileDefaults {
    PaymentFileDefaults Host;
    char InitialPath[MAX_PATH] = {};
};

void AskFileDefaults(FileDefaults& defaults)
{
    auto settings = CreateHostSettings<100>();
    HostCall(settings.Host, [&](ITolvarBankSettings* host) {
        return host->GetPaymentFileDefaults(settings.BankName, defaults.Host.FileName, defaults.Host.Extension,
                                            defaults.Host.Directory);
    });
    defaults.Host.Terminate();
    ResolvePaymentFilePath(defaults.Host.FileName, defaults.Host.Directory, defaults.InitialPath);
}

// Hosts whose payments carry RTI references choose nothing: the Lintrove layout, today, no advice.
// The first payment stays referenced (in firstPayment) until the run ends.
// The dialog opens on the earliest date the bank can debit, and questions a date it cannot use.
void AskOptions(ITolvarBankPayments* payments, const CString& keySuffix, const SettingsLocation& settingsLocation,
                const DebitDateInputs& dates, ComPtr<ITolvarBankPayment>& firstPayment, RunOptions& options)
{
    if (FAILED(payments->Item(0, firstPayment.Put())) || !firstPayment || firstPayment.As<ITolvarBankPayment2>())
        return;
    LoadedHolidays holidays = LoadHolidays({dates.InstalledFolder, settingsLocation});
    ShowHolidayTrouble(holidays);
    const DebitDateRules rules(std::move(holidays.List), dates.Today, DebitDaysAfterInput(settingsLocation));
    CLintroveInfoDialog dialog(static_cast<DATE>(rules.OpeningDate()), options.RemittanceAdviceRequired, keySuffix, 1,
                               settingsLocation, &rules);
    if (dialog.DoModal(GetActiveWindow()) != IDOK)
        return;
    options.DebitDate = dialog.DebitDate();
    options.RemittanceAdviceRequired = dialog.RemittanceAdviceRequired();
    options.UseLedgerwayLayout = dialog.UseLedgerwayLayout();
}

// Writes the batch's count payments, in the chosen layout, through the writer, each one noted for the
// summary. False when the host could not give a payment (the file is then unfinished).
bool WriteRecords(PaymentFileWriter& writer, ITolvarBankPayments* payments, long count, const RunOptions& options,
                  ExportSummary& summary)
{
    const CString debitDateText = FormatDebitDate(options.DebitDate);
    const char remittanceCharacter = options.RemittanceAdviceRequired ? 'Y' : 'N';
    if (options.UseLedgerwayLayout)
        WriteLedgerwayHeader(writer);
    for (long index = 0; index < count && !writer.Failed(); ++index) {
        ComPtr<ITolvarBankPayment> payment;
        if (FAILED(payments->Item(index, payment.Put())) || !payment)
            return false;
        PaymentNotes& notes = summary.NextNote();
        const bool passed = options.UseLedgerwayLayout
                                ? WriteLedgerwayRecord(writer, payment.Get(), debitDateText, remittanceCharacter, notes)
                                : WriteLintroveRecord(writer, payment.Get(), notes);
        summary.Add(index, passed);
    }
    return true;
}

// Opens the unfinished copy, writes the records, shows the Payment Summary and on Save moves the
// whole file over the chosen path, then keeps the payees and the log line. The run's outcome goes
// to status; the result is S_FALSE when a payment failed a check.
HRESULT WriteAndCommit(long& status, ITolvarBankPayments* payments, const RunOptions& options,
                       OutputPlacement& placement, ExportSummary& summary)
{
    PaymentFile file = placement.Open();
    if (!file) {
        status = ExportNotWritten;
        placement.ShowWriteFailure();
        return S_OK;
    }
    // The payee check and the file's hash run beside the loop that asks the host for payments.
    BackgroundLane lane;
    const long count = CountOf(payments);
    summary.Begin(lane, count);
    Sha256 digest(&lane);
    PaymentFileWriter writer(file.Get(), &digest);
    const bool wholeBatch = WriteRecords(writer, payments, count, options, summary);
    const HRESULT result = writer.Totals().FailedRecords > 0 ? S_FALSE : S_OK;
    status = result == S_FALSE ? ExportWrittenSomeFailed : ExportWrittenAllPassed;
    // A payment the host could not give leaves the file unfinished: the host knows why, and the run
    // says nothing of its own.
    if (!wholeBatch) {
        status = ExportNotWritten;
        placement.Discard(file);
        return result;
    }
    const bool written = writer.Finish();
    summary.EndPayments();
    if (!written) {
        placement.NoteWriteFailure(writer.Error());
    } else {
        // The user sees what the file pays before it takes the chosen path's place; a file that
        // could not be written has nothing to show. Cancel writes nothing: as a cancelled save.
        summary.UseTotals(writer.Totals());
        if (!summary.Confirm(placement.ChosenPath(), GetActiveWindow())) {
            placement.Discard(file);
            status = ExportNothingToWrite;
            return S_OK;
        }
    }
    if (!placement.Commit(file)) {
        status = ExportNotWritten;
        placement.ShowWriteFailure();
        return result;
    }
    summary.Saved(placement.WrittenPath(), Sha256::Hex(digest.Finish()));
    placement.NotifyRedirect();
    return result;
}

}  // namespace

const char kDebitDaysSetting[] = "DebitDaysAfterInput";

DebitDateInputs DebitDateInputs::System()
{
    int year = 0, month = 0, day = 0;
    platform::LocalToday(&year, &month, &day);
    DebitDateInputs inputs;
    inputs.Today = SerialOf(year, month, day);
    inputs.InstalledFolder = InstalledHolidayFolder();
    return inputs;
}

HRESULT RunPaymentExport(long& status, ITolvarBankPayments* payments, ITolvarBankPaymentContext* context,
                         PlacementPlatform& platform, const SettingsLocation& settingsLocation,
                         const DebitDateInputs& dates)
{
    FileDefaults defaults;
    AskFileDefaults(defaults);
    status = ExportWrittenAllPassed;

    // Until Commit moves it over the chosen path, the file is an unfinished copy beside it, which
    // goes with the placement whatever ends the run (a payment the host cannot give, a failed
    // write, anything raised): the chosen path keeps what it held.
    OutputPlacement placement(platform);
    placement.BuildFilter(defaults.Host.Extension);

    RequirePointer(payments);
    const CString keySuffix = AccountKeySuffix(context);
    RunOptions options;
    options.DebitDate = Now();
    if (CountOf(payments) < 1) {
        status = ExportNothingToWrite;
        return S_OK;
    }
    ComPtr<ITolvarBankPayment> firstPayment;
    AskOptions(payments, keySuffix, settingsLocation, dates, firstPayment, options);

    if (!placement.ShowSaveDialog(defaults.Host.Extension, defaults.InitialPath)) {
        status = ExportNothingToWrite;
        return S_OK;
    }
    ExportSummary summary(settingsLocation, std::string(static_cast<const char*>(keySuffix)),
                          options.UseLedgerwayLayout != 0,
                          std::string(static_cast<const char*>(FormatDebitDate(options.DebitDate))));
    return WriteAndCommit(status, payments, options, placement, summary);
}
