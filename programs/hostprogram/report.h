// What the sample host prints about a run: the export's dialogs, file, result and payments, and
// the import's messages, result and transactions, one table row per payment or transaction.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>

#include "hostprogram/host_export.h"
#include "hostprogram/host_import.h"

namespace hostprogram {

// How the payments of a run ended, from their result codes.
struct PaymentTally {
    long Passed = 0, Failed = 0, Untouched = 0;
};

PaymentTally TallyPayments(const ExportOutcome& outcome);

// The export's report: the dialogs (unattended runs), the file, the result, and, with `table`,
// a line per payment. `batch` is the batch file as the user named it.
void PrintExport(std::ostream& out, const std::string& batch, bool table, const ExportRequest& request,
                 const ExportOutcome& outcome, const PaymentTally& tally);

// The import's report: the file filter's answer, the messages (unattended runs), the result and
// a line per transaction the statement kept.
void PrintImport(std::ostream& out, const std::wstring& path, bool unattended, const ImportOutcome& outcome);

}  // namespace hostprogram
