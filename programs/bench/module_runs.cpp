#include "bench/module_runs.h"

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "bench/import_counter.h"
#include "modal/modal_driver.h"
#include "modal/options_answers.h"
#include "modal/summary_answers.h"
#include "support/text_conversion.h"

namespace bench {

const char kDebitDateText[] = "07/12/2026";

namespace {

const char kSaveCaption[] = "Save As";
constexpr int kSaveFileNameBox = 0x47c;

const SYSTEMTIME kDebitDate = {2026, 12, 1, 7, 0, 0, 0, 0};

// Set from the batch's payment maker, which takes a plain function.
FirstPaymentMark mark;

}  // namespace

double Now()
{
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / frequency;
}

Memory ReadMemory()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    Memory memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        memory.WorkingSet = counters.WorkingSetSize;
        memory.Peak = counters.PeakWorkingSetSize;
    }
    return memory;
}

std::string WindowsPath(std::string path)
{
    if (path.empty() || path[0] != '/')
        return path;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return "Z:" + path;
}

bool SameFiles(const std::string& left, const std::string& right)
{
    std::ifstream a(left, std::ios::binary), b(right, std::ios::binary);
    if (!a || !b)
        return false;
    static char pieceA[1 << 16], pieceB[1 << 16];
    for (;;) {
        a.read(pieceA, sizeof pieceA);
        b.read(pieceB, sizeof pieceB);
        const std::streamsize read = a.gcount();
        if (read != b.gcount() || std::memcmp(pieceA, pieceB, static_cast<size_t>(read)) != 0)
            return false;
        if (read == 0)
            return true;
    }
}

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "brenmark_benchmark: %s\n", what.c_str());
    std::fflush(stderr);
    std::exit(1);
}

Apartment::Apartment()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        Fail("COM could not be started");
}

Apartment::~Apartment()
{
    CoUninitialize();
}

ComPtr<ITolvarBankPaymentService> CreatePaymentService()
{
    CLSID classId{};
    ComPtr<ITolvarBankPaymentService> service;
    if (FAILED(CLSIDFromProgID(L"TolvarBrenmarkLintrove.BankPaymentService", &classId)) ||
        FAILED(
            CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_ITolvarBankPaymentService, service.PutVoid())))
        Fail("the payment service is not registered (run regsvr32 on the module)");
    return service;
}

ComPtr<ITolvarBankStatementService> StatementServiceOfBank()
{
    CLSID classId{};
    ComPtr<ITolvarBank> bank;
    if (FAILED(CLSIDFromProgID(L"TolvarBrenmarkLintrove.Bank", &classId)) ||
        FAILED(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_ITolvarBank, bank.PutVoid())))
        Fail("the bank is not registered (run regsvr32 on the module)");
    ComPtr<ITolvarBankServices> services;
    if (FAILED(bank->get_Services(services.Put())) || !services)
        Fail("the bank has no services");
    Variant name;
    V_VT(&name) = VT_BSTR;
    V_BSTR(&name) = SysAllocString(L"Bank Reconciliation Service");
    ComPtr<ITolvarBankService> service;
    if (FAILED(services->Item(name.Get(), service.Put())) || !service)
        Fail("the bank has no \"Bank Reconciliation Service\"");
    ComPtr<ITolvarBankStatementService> statements = service.As<ITolvarBankStatementService>();
    if (!statements)
        Fail("the reconciliation service is not a statement service");
    return statements;
}

void NoteFirstPayment()
{
    mark.HeapAllocations = ImportCounter::HeapAllocations();
    mark.StringAllocations = ImportCounter::StringAllocations();
    mark.AtLoop = ReadMemory();
    mark.At = Now();
}

const FirstPaymentMark& FirstPayment()
{
    return mark;
}

ExportCall ExportThroughModule(ITolvarBankPayments* payments, Layout layout, const std::string& folder,
                               const std::string& output)
{
    standin::Settings settings;
    settings.DefaultDirectory = folder;
    standin::HostClassRegistration served(&settings, nullptr);
    ComPtr<ITolvarBankPaymentService> service = CreatePaymentService();

    // The module takes this for today, so the fixed debit date is one the bank can use.
    SetEnvironmentVariableA("BRENMARK_TODAY", "2026-12-01");
    modal::ModalDriver driver;
    modal::OptionsAnswers answers;
    answers.Layout = layout == Layout::Ledgerway ? modal::OptionsLayout::Ledgerway : modal::OptionsLayout::Lintrove;
    if (layout == Layout::Ledgerway) {
        answers.HasDebitDate = true;
        answers.DebitDate = kDebitDate;
        answers.Remittance = kRemittance == 'Y' ? 1 : 0;
    }
    modal::Script& options = driver.On(modal::kOptionsCaption);
    modal::AnswerOptions(options, answers);
    options.Press(IDOK);
    driver.On(kSaveCaption).Type(kSaveFileNameBox, output).Press(IDOK);
    // The user reads the Payment Summary and saves.
    driver.On(modal::kSummaryCaption).Press(IDOK);
    DeleteFileA(output.c_str());

    ExportCall call;
    mark.At = 0;
    call.Before = ReadMemory();
    const double start = Now();
    call.Result = service->ExportPayments(payments, nullptr);
    const double end = Now();
    call.After = ReadMemory();
    service->get_Status(&call.Status);
    call.CallSeconds = end - start;
    call.LoopSeconds = mark.At > start ? end - mark.At : call.CallSeconds;
    call.AtLoop = mark.At > start ? mark.AtLoop : call.Before;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (const modal::WindowRecord* shown : driver.WithCaption(modal::kSummaryCaption)) {
        if (shown->DestroyedAt > shown->CreatedAt)
            call.SummarySeconds +=
                static_cast<double>(shown->DestroyedAt - shown->CreatedAt) / static_cast<double>(frequency.QuadPart);
    }
    call.LoopSeconds -= call.SummarySeconds;
    if (driver.UnexpectedCount() != 0 || !driver.UnusedScripts().empty())
        Fail("the export's dialogs did not go as scripted:\n" + driver.Summary());
    if (call.Result != S_OK && call.Result != S_FALSE)
        Fail("ExportPayments failed");
    return call;
}

void PrepareResultCodes(standin::PaymentBatch& batch, long count)
{
    ComPtr<ITolvarBankPayment> last;
    if (SUCCEEDED(batch.Get()->Item(count - 1, last.Put())) && last)
        last->put_ResultCode(-1);
}

ImportCall ImportThroughModule(standin::Statement& statement, const std::string& path)
{
    standin::Settings settings;
    standin::FileChooser chooser;
    chooser.FileName = WideFromAnsi(path);
    chooser.ShowResult = 0;
    standin::HostClassRegistration served(&settings, &chooser);
    ComPtr<ITolvarBankStatementService> service = StatementServiceOfBank();

    ImportCall call;
    call.Before = ReadMemory();
    const double start = Now();
    call.Result = service->ImportStatement(nullptr, statement.Get());
    call.Seconds = Now() - start;
    call.After = ReadMemory();
    service->get_Status(&call.Status);
    call.Transactions = statement.TransactionCount();
    if (call.Result != S_OK)
        Fail("ImportStatement failed");
    return call;
}

}  // namespace bench
