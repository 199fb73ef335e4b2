// One payment export run: from the host's batch to a written payment file, with the run's outcome
// in the service's status and each payment's result code.
#pragma once

#include <windows.h>

#include "TolvarBankPayments.h"

class OutputPlacement;
class PaymentFile;

// The outcome left in the payment service's Status.
enum ExportStatus : long {
    ExportWrittenAllPassed = 0,
    ExportWrittenSomeFailed = 1,
    ExportNotWritten = 2,      // the file could not be opened or written, or a payment could not be fetched
    ExportNothingToWrite = 3,  // empty batch, or the user cancelled the save dialog
};

// Runs the export. Raises on the errors that stop a run (host settings missing or failing, a null
// batch); status is reset to 0 once the host's file defaults are known and holds the outcome after.
// Returns S_OK, or S_FALSE when at least one payment failed a check.
HRESULT RunPaymentExport(long& status, ITolvarBankPayments* payments, ITolvarBankPaymentContext* context);

namespace export_run_testing {
// Replaces the opening of the chosen payment file (null restores it), e.g. with a file whose writes fail.
void UsePaymentFileOpener(PaymentFile (*opener)(OutputPlacement& placement));
}  // namespace export_run_testing
