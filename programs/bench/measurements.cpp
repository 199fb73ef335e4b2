#include "bench/measurements.h"

#include <shlobj.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "bench/bench_data.h"
#include "bench/import_counter.h"
#include "bench/module_runs.h"

namespace bench {

namespace {

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

void PrintAllocations(const char* what, long count, long long heap, long long strings)
{
    std::printf("PROFILE %s n=%ld heap_allocations_per_item=%.2f bstr_allocations_per_item=%.2f\n", what, count,
                static_cast<double>(heap) / count, static_cast<double>(strings) / count);
}

}  // namespace

// The module's payee check on or off, in BANKSERV.INI, for the life of the object.
class PayeeCheckSwitch {
public:
    explicit PayeeCheckSwitch(bool on)
    {
        char common[MAX_PATH] = {};
        if (on || !SHGetSpecialFolderPathA(nullptr, common, CSIDL_COMMON_APPDATA, TRUE))
            return;
        const std::string folder = std::string(common) + "\\TOLVAR\\Tolvar EBanking";
        SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
        ini_ = folder + "\\BANKSERV.INI";
        WritePrivateProfileStringA("MIGRATED", "CheckPayees", "FALSE", ini_.c_str());
    }
    ~PayeeCheckSwitch()
    {
        if (!ini_.empty())
            WritePrivateProfileStringA("MIGRATED", "CheckPayees", nullptr, ini_.c_str());
    }
    PayeeCheckSwitch(const PayeeCheckSwitch&) = delete;
    PayeeCheckSwitch& operator=(const PayeeCheckSwitch&) = delete;

private:
    std::string ini_;
};

const char* ExportOperation(ExportKind kind)
{
    switch (kind) {
    case ExportKind::AllValid:
        return "export-allvalid";
    case ExportKind::History:
        return "export-history";
    case ExportKind::HistoryOff:
        return "export-history-off";
    case ExportKind::Mixed:
        break;
    }
    return "export";
}

int MeasureExport(Layout layout, long count, const std::string& folder, int repeats, ExportKind kind)
{
    Apartment apartment;
    const PayeeCheckSwitch payeeCheck(kind != ExportKind::HistoryOff);
    bench::MakeEveryPaymentValid(kind == ExportKind::AllValid);
    bench::MakeDistinctPayees(kind == ExportKind::History || kind == ExportKind::HistoryOff);
    const std::string moduleOutput = folder + "\\module-" + LayoutName(layout) + ".csv";
    const std::string floorOutput = folder + "\\floor-" + LayoutName(layout) + ".csv";

    standin::PaymentBatch batch;
    batch.RecordPaymentCalls(false);
    batch.UseGenerator(count, &bench::MakePayment);
    bench::OnFirstPaymentMade(&NoteFirstPayment);
    PrepareResultCodes(batch, count);
    const Memory start = ReadMemory();

    const ExportCall first = ExportThroughModule(batch.Get(), layout, folder, moduleOutput);
    Timings call, loop, floor, summary;
    call.Add(first.CallSeconds);
    loop.Add(first.LoopSeconds);
    summary.Add(first.SummarySeconds);
    bool sameBytes = false;
    for (int round = 0; round < repeats; ++round) {
        if (round > 0) {
            const ExportCall again = ExportThroughModule(batch.Get(), layout, folder, moduleOutput);
            call.Add(again.CallSeconds);
            loop.Add(again.LoopSeconds);
            summary.Add(again.SummarySeconds);
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
                "summary_window_seconds=%.6f loop_spread=%.4f floor_spread=%.4f pair_ratios=%s "
                "base_ws_kib=%llu loop_ws_kib=%llu end_ws_kib=%llu peak_ws_kib=%llu extra_peak_ws_kib=%lld "
                "peak_raised=%s same_bytes=%s status=%ld repeats=%d\n",
                ExportOperation(kind), LayoutName(layout), count, call.Best(), loop.Best(), floor.Best(),
                summary.Best(), loop.Spread(), floor.Spread(), PairRatios(loop, floor).c_str(),
                first.Before.WorkingSet / 1024, first.AtLoop.WorkingSet / 1024, first.After.WorkingSet / 1024,
                first.After.Peak / 1024,
                (static_cast<long long>(first.After.Peak) - static_cast<long long>(first.Before.WorkingSet)) / 1024,
                first.After.Peak > start.Peak ? "yes" : "no", sameBytes ? "yes" : "no", first.Status, repeats);
    return sameBytes ? 0 : 1;
}

// The statement keeps what each transaction received (compactly) and records no calls.
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

int Check(const std::string& folder)
{
    Apartment apartment;
    const bool lintrove = CheckExport(Layout::Lintrove, folder);
    const bool ledgerway = CheckExport(Layout::Ledgerway, folder);
    const bool statements = CheckImport(folder);
    return lintrove && ledgerway && statements ? 0 : 1;
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
                         ImportCounter::HeapAllocations() - FirstPayment().HeapAllocations,
                         ImportCounter::StringAllocations() - FirstPayment().StringAllocations);
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

}  // namespace bench
