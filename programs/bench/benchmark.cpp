// Benchmarks of the registered module driven by the stand-in host. Each measurement runs in a process
// of its own, so that the peak working set it reports belongs to that run alone:
//
//   brenmark_benchmark setup                                    registers the host's type libraries
//   brenmark_benchmark check WORKDIR                            the floors make the module's calls and bytes
//   brenmark_benchmark profile WORKDIR [N]                      the module's allocations per item
//   brenmark_benchmark export lintrove|ledgerway N WORKDIR [REPEATS [allvalid]]
//   brenmark_benchmark import N WORKDIR [REPEATS]
//   brenmark_benchmark host-call N STATEMENT [REPEATS]           the import call as the sample host makes it
//
// A measurement prints one line "RESULT key=value ..." (scripts/bench makes its table from them):
//   call_seconds    the whole ExportPayments or ImportStatement call, dialogs included
//   loop_seconds    export: from the run's fetch of payment 0 for its record loop to the call's
//                   return (the file is open by then); import: the whole call (it shows no dialog)
//   floor_seconds   the floor of floors.h over the same items
//   base_ws_kib     working set just before the call, with the batch or statement file made
//   loop_ws_kib     export: working set when the record loop fetched payment 0 (import: base)
//   end_ws_kib      working set just after the call
//   peak_ws_kib     peak working set just after the first call
//   extra_peak_ws_kib  the two differences; peak_raised=no means the process had peaked higher
//                   before the call, so the figure is only an upper bound
// With REPEATS above 1 the module's call and the floor run again, alternately, and the fastest of
// each is reported (memory always comes from the first call), with the spread of each, the slowest
// run's excess over the fastest (loop_spread, floor_spread: 0.05 is 5 per cent). "allvalid" makes every payment pass
// every check (op=export-allvalid): the difference is what the failed checks cost.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "TolvarBankPayments.h"
#include "TolvarBankReconciliation.h"
#include "TolvarEBanking.h"
#include "bench/bench_data.h"
#include "bench/floors.h"
#include "bench/import_counter.h"
#include "core/com_ptr.h"
#include "modal/modal_driver.h"
#include "modal/options_answers.h"
#include "standin/standin_host.h"

namespace {

using bench::Layout;

const char kSaveCaption[] = "Save As";
constexpr int kSaveFileNameBox = 0x47c;

// The debit date and remittance choice the driver gives the options dialog, as the file holds them.
const SYSTEMTIME kDebitDate = {2026, 12, 1, 7, 0, 0, 0, 0};
const char kDebitDateText[] = "07/12/2026";
constexpr char kRemittance = 'Y';

// ---------------------------------------------------------------------------------------------
// Small helpers

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

struct Memory {
    unsigned long long WorkingSet = 0;
    unsigned long long Peak = 0;
};

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

// Unix paths (from the scripts) as Wine shows them: on drive Z:.
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

std::wstring Wide(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                           static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return wide;
}

// Whether the two files hold the same bytes; read in pieces, so that large files cost no memory.
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

class Apartment {
public:
    Apartment()
    {
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
            Fail("COM could not be started");
    }
    ~Apartment() { CoUninitialize(); }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
};

// ---------------------------------------------------------------------------------------------
// The module, as a host reaches it

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

// ---------------------------------------------------------------------------------------------
// Export

double firstPaymentAt = 0;
Memory atFirstPayment;
long long heapAllocationsAtFirstPayment = 0;
long long stringAllocationsAtFirstPayment = 0;

void NoteFirstPayment()
{
    heapAllocationsAtFirstPayment = ImportCounter::HeapAllocations();
    stringAllocationsAtFirstPayment = ImportCounter::StringAllocations();
    atFirstPayment = ReadMemory();
    firstPaymentAt = Now();
}

struct ExportCall {
    HRESULT Result = E_FAIL;
    long Status = -1;
    double CallSeconds = 0;
    double LoopSeconds = 0;
    Memory Before, AtLoop, After;
};

// One ExportPayments through the registered service: the options dialog picks the layout (and for
// the Ledgerway layout the debit date and remittance advice), the save dialog gets the output path.
ExportCall ExportThroughModule(ITolvarBankPayments* payments, Layout layout, const std::string& folder,
                               const std::string& output)
{
    standin::Settings settings;
    settings.DefaultDirectory = folder;
    standin::HostClassRegistration served(&settings, nullptr);
    ComPtr<ITolvarBankPaymentService> service = CreatePaymentService();

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
    DeleteFileA(output.c_str());

    ExportCall call;
    firstPaymentAt = 0;
    call.Before = ReadMemory();
    const double start = Now();
    call.Result = service->ExportPayments(payments, nullptr);
    const double end = Now();
    call.After = ReadMemory();
    service->get_Status(&call.Status);
    call.CallSeconds = end - start;
    call.LoopSeconds = firstPaymentAt > start ? end - firstPaymentAt : call.CallSeconds;
    call.AtLoop = firstPaymentAt > start ? atFirstPayment : call.Before;
    if (driver.UnexpectedCount() != 0 || !driver.UnusedScripts().empty())
        Fail("the export's dialogs did not go as scripted:\n" + driver.Summary());
    if (call.Result != S_OK && call.Result != S_FALSE)
        Fail("ExportPayments failed");
    return call;
}

void PrepareResultCodes(standin::PaymentBatch& batch, long count)
{
    // The host keeps one result code per payment; it makes room for them all at the first put, so
    // that room is taken here rather than counted in the module's run.
    ComPtr<ITolvarBankPayment> last;
    if (SUCCEEDED(batch.Get()->Item(count - 1, last.Put())) && last)
        last->put_ResultCode(-1);
}

// Repeated timings: the fastest, the slowest, and each in the order taken.
class Timings {
public:
    void Add(double seconds)
    {
        best_ = all_.empty() ? seconds : std::min(best_, seconds);
        worst_ = all_.empty() ? seconds : std::max(worst_, seconds);
        all_.push_back(seconds);
    }
    double Best() const { return best_; }
    double Spread() const { return best_ > 0 ? (worst_ - best_) / best_ : 0; }
    const std::vector<double>& All() const { return all_; }

private:
    double best_ = 0, worst_ = 0;
    std::vector<double> all_;
};

// The module's time over the floor's for each repeat, the two taken one after the other: a
// stretch in which the machine runs slower touches both sides of a pair alike. Comma-separated.
std::string PairRatios(const Timings& module, const Timings& floor)
{
    std::string ratios;
    const size_t pairs = std::min(module.All().size(), floor.All().size());
    for (size_t i = 0; i < pairs; ++i) {
        if (floor.All()[i] <= 0)
            continue;
        char text[32];
        std::snprintf(text, sizeof text, "%s%.4f", ratios.empty() ? "" : ",", module.All()[i] / floor.All()[i]);
        ratios += text;
    }
    return ratios.empty() ? "-" : ratios;
}

const char* LayoutName(Layout layout)
{
    return layout == Layout::Ledgerway ? "ledgerway" : "lintrove";
}

int MeasureExport(Layout layout, long count, const std::string& folder, int repeats, bool everyPaymentValid)
{
    Apartment apartment;
    bench::MakeEveryPaymentValid(everyPaymentValid);
    const std::string moduleOutput = folder + "\\module-" + LayoutName(layout) + ".csv";
    const std::string floorOutput = folder + "\\floor-" + LayoutName(layout) + ".csv";

    standin::PaymentBatch batch;
    batch.RecordPaymentCalls(false);
    batch.UseGenerator(count, &bench::MakePayment);
    bench::OnFirstPaymentMade(&NoteFirstPayment);
    PrepareResultCodes(batch, count);
    const Memory start = ReadMemory();

    const ExportCall first = ExportThroughModule(batch.Get(), layout, folder, moduleOutput);
    Timings call, loop, floor;
    call.Add(first.CallSeconds);
    loop.Add(first.LoopSeconds);
    bool sameBytes = false;
    for (int round = 0; round < repeats; ++round) {
        if (round > 0) {
            const ExportCall again = ExportThroughModule(batch.Get(), layout, folder, moduleOutput);
            call.Add(again.CallSeconds);
            loop.Add(again.LoopSeconds);
        }
        const double floorStart = Now();
        if (!bench::FloorExport(batch.Get(), layout, kDebitDateText, kRemittance, &bench::PaymentTrace, floorOutput))
            Fail("the floor could not write " + floorOutput);
        floor.Add(Now() - floorStart);
        sameBytes = (round == 0 || sameBytes) && SameFiles(moduleOutput, floorOutput);
    }
    DeleteFileA(moduleOutput.c_str());
    DeleteFileA(floorOutput.c_str());

    std::printf("RESULT op=%s layout=%s n=%ld call_seconds=%.6f loop_seconds=%.6f floor_seconds=%.6f "
                "loop_spread=%.4f floor_spread=%.4f pair_ratios=%s "
                "base_ws_kib=%llu loop_ws_kib=%llu end_ws_kib=%llu peak_ws_kib=%llu extra_peak_ws_kib=%lld "
                "peak_raised=%s same_bytes=%s status=%ld repeats=%d\n",
                everyPaymentValid ? "export-allvalid" : "export", LayoutName(layout), count, call.Best(), loop.Best(),
                floor.Best(), loop.Spread(), floor.Spread(), PairRatios(loop, floor).c_str(),
                first.Before.WorkingSet / 1024, first.AtLoop.WorkingSet / 1024, first.After.WorkingSet / 1024,
                first.After.Peak / 1024,
                (static_cast<long long>(first.After.Peak) - static_cast<long long>(first.Before.WorkingSet)) / 1024,
                first.After.Peak > start.Peak ? "yes" : "no", sameBytes ? "yes" : "no", first.Status, repeats);
    return sameBytes ? 0 : 1;
}

// ---------------------------------------------------------------------------------------------
// Import

struct ImportCall {
    HRESULT Result = E_FAIL;
    long Status = -1;
    long Transactions = 0;
    double Seconds = 0;
    Memory Before, After;
};

ImportCall ImportThroughModule(standin::Statement& statement, const std::string& path)
{
    standin::Settings settings;
    standin::FileChooser chooser;
    chooser.FileName = Wide(path);
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

// The import as the sample host program makes it: the statement keeps what each transaction
// received (compactly) and records no calls. The statement file is left for the whole-process run.
int MeasureHostCall(long count, const std::string& path, int repeats)
{
    Apartment apartment;
    if (!bench::WriteStatementFile(path, count))
        Fail("could not write " + path);
    double seconds = 0;
    bool allRead = true;
    long long keptBytes = 0;
    for (int round = 0; round < repeats; ++round) {
        standin::Statement statement;
        statement.RecordTransactionCalls(false);
        const ImportCall call = ImportThroughModule(statement, path);
        seconds = round == 0 ? call.Seconds : std::min(seconds, call.Seconds);
        allRead = allRead && call.Transactions == count && statement.KeptCount() == count;
        // What the statement holds afterwards: the module keeps nothing once the call returns.
        if (round == 0)
            keptBytes = static_cast<long long>(call.After.WorkingSet) - static_cast<long long>(call.Before.WorkingSet);
    }
    std::printf("RESULT op=host-call layout=- n=%ld call_seconds=%.6f kept_bytes_per_transaction=%.0f same_calls=%s "
                "repeats=%d\n",
                count, seconds, static_cast<double>(keptBytes) / count, allRead ? "yes" : "no", repeats);
    return allRead ? 0 : 1;
}

int MeasureImport(long count, const std::string& folder, int repeats)
{
    Apartment apartment;
    const std::string path = folder + "\\statement-" + std::to_string(count) + ".csv";
    if (!bench::WriteStatementFile(path, count))
        Fail("could not write " + path);

    standin::Statement statement;
    statement.RecordTransactionCalls(false);
    statement.KeepTransactions(false);
    const Memory start = ReadMemory();

    const ImportCall first = ImportThroughModule(statement, path);
    Timings call, floor;
    call.Add(first.Seconds);
    bool allRead = first.Transactions == count;
    for (int round = 0; round < repeats; ++round) {
        if (round > 0) {
            const ImportCall again = ImportThroughModule(statement, path);
            call.Add(again.Seconds);
            allRead = allRead && again.Transactions == count;
        }
        long lines = 0;
        const double floorStart = Now();
        if (!bench::FloorImport(statement.Get(), path, &lines))
            Fail("the floor could not read " + path);
        floor.Add(Now() - floorStart);
        allRead = allRead && lines == count && statement.TransactionCount() == count;
    }
    DeleteFileA(path.c_str());

    std::printf("RESULT op=import layout=- n=%ld call_seconds=%.6f loop_seconds=%.6f floor_seconds=%.6f "
                "loop_spread=%.4f floor_spread=%.4f pair_ratios=%s "
                "base_ws_kib=%llu loop_ws_kib=%llu end_ws_kib=%llu peak_ws_kib=%llu extra_peak_ws_kib=%lld "
                "peak_raised=%s "
                "same_calls=%s status=%ld repeats=%d\n",
                count, call.Best(), call.Best(), floor.Best(), call.Spread(), floor.Spread(),
                PairRatios(call, floor).c_str(), first.Before.WorkingSet / 1024, first.Before.WorkingSet / 1024,
                first.After.WorkingSet / 1024, first.After.Peak / 1024,
                (static_cast<long long>(first.After.Peak) - static_cast<long long>(first.Before.WorkingSet)) / 1024,
                first.After.Peak > start.Peak ? "yes" : "no", allRead ? "yes" : "no", first.Status, repeats);
    return allRead ? 0 : 1;
}

// ---------------------------------------------------------------------------------------------
// Check: the floors are floors of the same work

// Collects the process's debugger output while it lives: OutputDebugString raises a print
// exception, which a vectored handler sees first and passes on.
class TraceCapture {
public:
    TraceCapture() : handler_(AddVectoredExceptionHandler(1, &TraceCapture::Handler)) { active_ = this; }
    ~TraceCapture()
    {
        active_ = nullptr;
        if (handler_)
            RemoveVectoredExceptionHandler(handler_);
    }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    // What was written since the last Take, and empty again.
    std::vector<std::string> Take() { return std::exchange(traces_, {}); }

private:
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* exception)
    {
        const EXCEPTION_RECORD* record = exception->ExceptionRecord;
        if (active_ && record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
            const size_t length = static_cast<size_t>(record->ExceptionInformation[0]);
            const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
            if (text)
                active_->traces_.emplace_back(text, length > 0 ? length - 1 : 0);
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }

    static TraceCapture* active_;
    PVOID handler_;
    std::vector<std::string> traces_;
};

TraceCapture* TraceCapture::active_ = nullptr;

bool SameTraces(const char* what, const std::vector<std::string>& module, const std::vector<std::string>& floor)
{
    if (module == floor)
        return true;
    std::printf("CHECK %s traces differ: the module wrote %zu, the floor %zu\n", what, module.size(), floor.size());
    for (size_t i = 0; i < module.size() || i < floor.size(); ++i) {
        std::printf("  %zu: module \"%s\" floor \"%s\"\n", i, i < module.size() ? module[i].c_str() : "-",
                    i < floor.size() ? floor[i].c_str() : "-");
        if (i >= 8)
            break;
    }
    return false;
}

// The calls from the first one that begins with marker (the last one when last is set), leaving out
// the failure codes that only the module's checks put.
std::vector<std::string> CallsFrom(const CallLog& log, const std::string& marker, bool last)
{
    const std::vector<std::string>& calls = log.Calls();
    size_t from = calls.size();
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].compare(0, marker.size(), marker) == 0) {
            from = i;
            if (!last)
                break;
        }
    }
    std::vector<std::string> kept;
    for (size_t i = from; i < calls.size(); ++i) {
        const std::string& call = calls[i];
        const size_t put = call.find(".put_ResultCode(");
        if (put != std::string::npos && call.compare(put, std::string::npos, ".put_ResultCode(0)") != 0)
            continue;
        kept.push_back(call);
    }
    return kept;
}

bool SameCalls(const char* what, const std::vector<std::string>& module, const std::vector<std::string>& floor)
{
    const size_t common = std::min(module.size(), floor.size());
    for (size_t i = 0; i < common; ++i) {
        if (module[i] != floor[i]) {
            std::printf("CHECK %s calls differ at %zu: module %s, floor %s\n", what, i, module[i].c_str(),
                        floor[i].c_str());
            return false;
        }
    }
    if (module.size() != floor.size()) {
        std::printf("CHECK %s: the module made %zu calls, the floor %zu\n", what, module.size(), floor.size());
        return false;
    }
    return true;
}

bool CheckExport(Layout layout, const std::string& folder)
{
    constexpr long kCount = 400;
    const std::string moduleOutput = folder + "\\check-module.csv";
    const std::string floorOutput = folder + "\\check-floor.csv";

    TraceCapture traces;
    standin::PaymentBatch moduleBatch;
    moduleBatch.UseGenerator(kCount, &bench::MakePayment);
    const ExportCall call = ExportThroughModule(moduleBatch.Get(), layout, folder, moduleOutput);
    const std::vector<std::string> moduleTraces = traces.Take();
    standin::PaymentBatch floorBatch;
    floorBatch.UseGenerator(kCount, &bench::MakePayment);
    if (!bench::FloorExport(floorBatch.Get(), layout, kDebitDateText, kRemittance, &bench::PaymentTrace, floorOutput))
        Fail("the floor could not write " + floorOutput);
    const bool sameTraces = SameTraces(LayoutName(layout), moduleTraces, traces.Take());

    long failed = 0;
    for (long i = 0; i < kCount; ++i)
        failed += moduleBatch.ResultCode(i) != 0 ? 1 : 0;
    const std::vector<std::string> moduleCalls = CallsFrom(moduleBatch.Log(), "Payments.get_Count", true);
    const std::vector<std::string> floorCalls = CallsFrom(floorBatch.Log(), "Payments.get_Count", false);
    const bool sameCalls = SameCalls(LayoutName(layout), moduleCalls, floorCalls);
    const bool sameBytes = SameFiles(moduleOutput, floorOutput);
    std::printf("CHECK export layout=%s payments=%ld failed_checks=%ld calls=%zu same_calls=%s same_bytes=%s "
                "traces=%zu same_traces=%s status=%ld\n",
                LayoutName(layout), kCount, failed, moduleCalls.size(), sameCalls ? "yes" : "no",
                sameBytes ? "yes" : "no", moduleTraces.size(), sameTraces ? "yes" : "no", call.Status);
    DeleteFileA(moduleOutput.c_str());
    DeleteFileA(floorOutput.c_str());
    return sameCalls && sameBytes && sameTraces && failed > 0 && failed < kCount;
}

bool CheckImport(const std::string& folder)
{
    constexpr long kCount = 400;
    const std::string path = folder + "\\check-statement.csv";
    if (!bench::WriteStatementFile(path, kCount))
        Fail("could not write " + path);
    TraceCapture traces;
    standin::Statement moduleStatement;
    const ImportCall call = ImportThroughModule(moduleStatement, path);
    const std::vector<std::string> moduleTraces = traces.Take();
    standin::Statement floorStatement;
    long lines = 0;
    if (!bench::FloorImport(floorStatement.Get(), path, &lines))
        Fail("the floor could not read " + path);
    const bool sameTraces = SameTraces("import", moduleTraces, traces.Take());
    DeleteFileA(path.c_str());

    const std::vector<std::string> moduleCalls = CallsFrom(moduleStatement.Self().Log(), "Statement.Reset", false);
    const std::vector<std::string> floorCalls = CallsFrom(floorStatement.Self().Log(), "Statement.Reset", false);
    const bool sameCalls = SameCalls("import", moduleCalls, floorCalls);
    std::printf(
        "CHECK import lines=%ld transactions=%ld calls=%zu same_calls=%s traces=%zu same_traces=%s status=%ld\n",
        kCount, call.Transactions, moduleCalls.size(), sameCalls ? "yes" : "no", moduleTraces.size(),
        sameTraces ? "yes" : "no", call.Status);
    return sameCalls && sameTraces && call.Transactions == kCount && lines == kCount;
}

int Check(const std::string& folder)
{
    Apartment apartment;
    const bool lintrove = CheckExport(Layout::Lintrove, folder);
    const bool ledgerway = CheckExport(Layout::Ledgerway, folder);
    const bool statements = CheckImport(folder);
    return lintrove && ledgerway && statements ? 0 : 1;
}

// ---------------------------------------------------------------------------------------------
// Profile: the module's heap and BSTR allocations per item

void PrintAllocations(const char* what, long count, long long heap, long long strings)
{
    std::printf("PROFILE %s n=%ld heap_allocations_per_item=%.2f bstr_allocations_per_item=%.2f\n", what, count,
                static_cast<double>(heap) / count, static_cast<double>(strings) / count);
}

int Profile(const std::string& folder, long count)
{
    Apartment apartment;
    // Loads the module, so that its imports can be counted.
    ComPtr<ITolvarBankPaymentService> loaded = CreatePaymentService();
    ImportCounter counter;
    if (!counter.Install(GetModuleHandleA("TolvarBrenmarkLintrove.dll")))
        Fail("the module's allocations cannot be counted");
    bench::OnFirstPaymentMade(&NoteFirstPayment);

    for (Layout layout : {Layout::Lintrove, Layout::Ledgerway}) {
        const std::string output = folder + "\\profile.csv";
        standin::PaymentBatch batch;
        batch.RecordPaymentCalls(false);
        batch.UseGenerator(count, &bench::MakePayment);
        PrepareResultCodes(batch, count);
        ExportThroughModule(batch.Get(), layout, folder, output);
        DeleteFileA(output.c_str());
        PrintAllocations(layout == Layout::Ledgerway ? "export-ledgerway-loop" : "export-lintrove-loop", count,
                         ImportCounter::HeapAllocations() - heapAllocationsAtFirstPayment,
                         ImportCounter::StringAllocations() - stringAllocationsAtFirstPayment);
    }

    const std::string path = folder + "\\profile-statement.csv";
    if (!bench::WriteStatementFile(path, count))
        Fail("could not write " + path);
    standin::Statement statement;
    statement.RecordTransactionCalls(false);
    statement.KeepTransactions(false);
    ImportCounter::Reset();
    ImportThroughModule(statement, path);
    DeleteFileA(path.c_str());
    PrintAllocations("import-call", count, ImportCounter::HeapAllocations(), ImportCounter::StringAllocations());
    return 0;
}

// ---------------------------------------------------------------------------------------------

int Setup()
{
    Apartment apartment;
    const char* build = std::getenv("BRENMARK_BUILD_DIR");
    if (!build)
        Fail("BRENMARK_BUILD_DIR is not set");
    for (const char* name : {"TolvarEBanking.tlb", "TolvarBankPayments.tlb", "TolvarBankReconciliation.tlb"}) {
        const std::wstring path = Wide(WindowsPath(std::string(build) + "/generated/" + name));
        ComPtr<ITypeLib> library;
        if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, library.Put())))
            Fail(std::string("could not register ") + name);
    }
    return 0;
}

long Count(const char* text)
{
    char* end = nullptr;
    const long count = std::strtol(text, &end, 10);
    if (!end || *end || count < 1)
        Fail(std::string("not a count: ") + text);
    return count;
}

int Usage()
{
    std::fprintf(stderr, "usage: brenmark_benchmark setup\n"
                         "       brenmark_benchmark check WORKDIR\n"
                         "       brenmark_benchmark profile WORKDIR [N]\n"
                         "       brenmark_benchmark export lintrove|ledgerway N WORKDIR [REPEATS [allvalid]]\n"
                         "       brenmark_benchmark import N WORKDIR [REPEATS]\n"
                         "       brenmark_benchmark host-call N STATEMENT [REPEATS]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 4096);
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "setup" && argc == 2)
        return Setup();
    if (command == "check" && argc == 3)
        return Check(WindowsPath(argv[2]));
    if (command == "profile" && (argc == 3 || argc == 4))
        return Profile(WindowsPath(argv[2]), argc == 4 ? Count(argv[3]) : 10000);
    if (command == "export" && argc >= 5 && argc <= 7) {
        const std::string layout = argv[2];
        const bool everyPaymentValid = argc == 7 && std::string(argv[6]) == "allvalid";
        if ((layout != "lintrove" && layout != "ledgerway") || (argc == 7 && !everyPaymentValid))
            return Usage();
        return MeasureExport(layout == "ledgerway" ? Layout::Ledgerway : Layout::Lintrove, Count(argv[3]),
                             WindowsPath(argv[4]), argc >= 6 ? static_cast<int>(Count(argv[5])) : 1, everyPaymentValid);
    }
    if (command == "host-call" && (argc == 4 || argc == 5))
        return MeasureHostCall(Count(argv[2]), WindowsPath(argv[3]), argc == 5 ? static_cast<int>(Count(argv[4])) : 1);
    if (command == "import" && (argc == 4 || argc == 5))
        return MeasureImport(Count(argv[2]), WindowsPath(argv[3]), argc == 5 ? static_cast<int>(Count(argv[4])) : 1);
    return Usage();
}
