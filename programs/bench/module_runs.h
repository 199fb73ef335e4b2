// The registered module run as a host runs it, for the benchmark's measurements: one
// ExportPayments with its dialogs answered through the modal driver, one ImportStatement with
// the file chooser answered, each timed and with the working set read around it.
#pragma once

#include <windows.h>

#include <string>

#include "TolvarBankPayments.h"
#include "TolvarBankReconciliation.h"
#include "TolvarEBanking.h"
#include "bench/bench_data.h"
#include "bench/floors.h"
#include "core/com_ptr.h"
#include "standin/standin_host.h"

namespace bench {

// The debit date and remittance choice the driver gives the options dialog, as the file holds them.
extern const char kDebitDateText[];
constexpr char kRemittance = 'Y';

// Seconds on the performance counter.
double Now();

struct Memory {
    unsigned long long WorkingSet = 0;
    unsigned long long Peak = 0;
};

Memory ReadMemory();

// Unix paths (from the scripts) as Wine shows them: on drive Z:.
std::string WindowsPath(std::string path);

// Whether the two files hold the same bytes; read in pieces, so that large files cost no memory.
bool SameFiles(const std::string& left, const std::string& right);

// Says what failed on the error stream and ends the process with exit code 1.
[[noreturn]] void Fail(const std::string& what);

class Apartment {
public:
    Apartment();
    ~Apartment();
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
};

// The services, created as a host creates them. Fail when they are not registered.
ComPtr<ITolvarBankPaymentService> CreatePaymentService();
ComPtr<ITolvarBankStatementService> StatementServiceOfBank();

// The process when the last export's record loop fetched payment 0 (bench::OnFirstPaymentMade
// calls NoteFirstPayment).
struct FirstPaymentMark {
    double At = 0;
    Memory AtLoop;
    long long HeapAllocations = 0;
    long long StringAllocations = 0;
};
void NoteFirstPayment();
const FirstPaymentMark& FirstPayment();

struct ExportCall {
    HRESULT Result = E_FAIL;
    long Status = -1;
    double CallSeconds = 0;
    // From the first payment to the call's return, less the time the Payment Summary stood open
    // for its "user" (the driver answers at its next tick): the module's own work.
    double LoopSeconds = 0;
    double SummarySeconds = 0;
    Memory Before, AtLoop, After;
};

// One ExportPayments through the registered service: the options dialog picks the layout (and for
// the Ledgerway layout the debit date and remittance advice), the save dialog gets the output path.
ExportCall ExportThroughModule(ITolvarBankPayments* payments, Layout layout, const std::string& folder,
                               const std::string& output);

// The host keeps one result code per payment; it makes room for them all at the first put, so
// that room is taken here rather than counted in the module's run.
void PrepareResultCodes(standin::PaymentBatch& batch, long count);

struct ImportCall {
    HRESULT Result = E_FAIL;
    long Status = -1;
    long Transactions = 0;
    double Seconds = 0;
    Memory Before, After;
};

// One ImportStatement through the bank's statement service, the file chooser naming path.
ImportCall ImportThroughModule(standin::Statement& statement, const std::string& path);

}  // namespace bench
