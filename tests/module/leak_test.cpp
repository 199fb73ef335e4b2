// Long use of the registered module: cycles of create the bank, walk its services, export a small
// batch, import a small file, release everything. Every host object must be back to where it was
// after each cycle, the module must agree to unload at the end, and the process's private bytes and
// handle count must stay flat. The cycle count comes from BRENMARK_LEAK_CYCLES (scripts/soak runs
// 10,000); the figures of the first and the last stretch of cycles are printed.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <commdlg.h>

#include "modal/modal_driver.h"
#include "standin/standin_host.h"
#include "tests/statements/statement_test_support.h"
#include "tests/support/registered_bank.h"

namespace {

struct ProcessFigures {
    SIZE_T PrivateBytes = 0;
    DWORD Handles = 0;
};

ProcessFigures Measure()
{
    ProcessFigures figures;
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters))
        figures.PrivateBytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
    // Wine does not count a process's handles: there they are counted by asking about each
    // handle value in turn.
    if (!GetProcessHandleCount(GetCurrentProcess(), &figures.Handles) || figures.Handles == 0) {
        figures.Handles = 0;
        for (ULONG_PTR value = 4; value < 0x20000; value += 4) {
            DWORD flags = 0;
            if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
                ++figures.Handles;
        }
    }
    return figures;
}

standin::PaymentData SmallPayment()
{
    standin::PaymentData payment;
    payment.Amount = 10.5;
    payment.PayeeBacsReference = L"INV 1";
    payment.PayeeSortCode = L"12-34-56";
    payment.PayeeAccountNumber = L"12345678";
    payment.PayeeAccountName = L"J. Smith";
    payment.Details = L"Invoice";
    return payment;
}

// What the system's save dialog itself keeps when the user confirms a name: Wine's keeps a handle
// each time a name of a file that does not exist yet is confirmed, whoever calls it. Shown the same way as the export run shows it.
void ConfirmSaveDialog(const std::string& path)
{
    modal::ModalDriver driver;
    driver.OnNext().Press(IDOK);
    char fileName[MAX_PATH] = {};
    lstrcpynA(fileName, path.c_str(), MAX_PATH);
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFile = fileName;
    dialog.nMaxFile = MAX_PATH;
    dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;
    GetSaveFileNameA(&dialog);
}

}  // namespace

class LeakTest : public RegisteredBankTest {};

TEST_F(LeakTest, CyclesOfTheWholeUseKeepTheProcessFlat)
{
    const char* setting = std::getenv("BRENMARK_LEAK_CYCLES");
    const long cycles = setting && *setting ? std::strtol(setting, nullptr, 10) : 60;
    ASSERT_GE(cycles, 4);
    // The figures compare stretches of cycles after the first ones have filled the system's caches.
    const long stretch = cycles >= 4000 ? 1000 : cycles / 4;
    TempStatementFile file("TransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo\n"
                           "2019-03-31,2019-04-01,Y,-12.50,CARD PAYMENT,DEB,REF1,\n");
    ReleaseBank();
    const long liveAtStart = standin::LiveObjects();
    ProcessFigures firstStart, firstEnd, lastStart, lastEnd;

    for (long cycle = 0; cycle < cycles; ++cycle) {
        if (cycle == stretch)
            firstStart = Measure();
        if (cycle == 2 * stretch)
            firstEnd = Measure();
        if (cycle == cycles - stretch)
            lastStart = Measure();
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        CreateBank();
        {
            ComPtr<ITolvarBankServices> services;
            ASSERT_EQ(S_OK, bank_->get_Services(services.Put()));
            long count = 0;
            ASSERT_EQ(S_OK, services->get_Count(&count));
            for (long i = 0; i < count; ++i) {
                Variant index;
                V_VT(&index) = VT_I4;
                V_I4(&index) = i;
                ComPtr<ITolvarBankService> service;
                ASSERT_EQ(S_OK, services->Item(index.Get(), service.Put()));
                Bstr name;
                ASSERT_EQ(S_OK, service->get_Name(name.Put()));
            }
        }
        {
            standin::PaymentBatch batch;
            batch.RecordPaymentCalls(false);
            batch.Add(SmallPayment());
            const ModuleRun exported = Export(batch, nullptr, ExportLayout::Lintrove);
            ASSERT_EQ(S_OK, exported.Result);
            ASSERT_EQ(0, exported.Status);
            standin::Statement statement;
            statement.RecordTransactionCalls(false);
            const ModuleRun imported = Import(statement, file.Path());
            ASSERT_EQ(0, imported.Status);
            ASSERT_EQ(1, statement.TransactionCount());
        }
        ReleaseBank();
        log_->Clear();
        ASSERT_EQ(liveAtStart, standin::LiveObjects()) << "a host object was not released";
    }
    lastEnd = Measure();

    // The same stretch of bare save dialogs, for what the system keeps of them.
    const ProcessFigures dialogsStart = Measure();
    for (long i = 0; i < stretch; ++i) {
        DeleteFileA(PaymentPath().c_str());
        ConfirmSaveDialog(PaymentPath());
    }
    const ProcessFigures dialogsEnd = Measure();
    const long systemHandles = static_cast<long>(dialogsEnd.Handles) - static_cast<long>(dialogsStart.Handles);

    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    const HMODULE module = GetModuleHandleW(L"TolvarBrenmarkLintrove.dll");
    ASSERT_NE(nullptr, module) << "the module was not loaded in-process";
    const auto canUnloadNow =
        reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    ASSERT_NE(nullptr, canUnloadNow);
    EXPECT_EQ(S_OK, canUnloadNow());

    const auto kib = [](SIZE_T bytes) { return static_cast<double>(bytes) / 1024; };
    std::printf("Leak run: %ld cycles; cycles %ld-%ld: private %.0f KiB -> %.0f KiB, handles %lu -> %lu; "
                "cycles %ld-%ld: private %.0f KiB -> %.0f KiB, handles %lu -> %lu\n",
                cycles, stretch, 2 * stretch, kib(firstStart.PrivateBytes), kib(firstEnd.PrivateBytes),
                static_cast<unsigned long>(firstStart.Handles), static_cast<unsigned long>(firstEnd.Handles),
                cycles - stretch, cycles, kib(lastStart.PrivateBytes), kib(lastEnd.PrivateBytes),
                static_cast<unsigned long>(lastStart.Handles), static_cast<unsigned long>(lastEnd.Handles));
    std::printf("Leak run: the system's save dialog alone, %ld times: private %.0f KiB -> %.0f KiB, handles %lu -> "
                "%lu\n",
                stretch, kib(dialogsStart.PrivateBytes), kib(dialogsEnd.PrivateBytes),
                static_cast<unsigned long>(dialogsStart.Handles), static_cast<unsigned long>(dialogsEnd.Handles));
    // Flat: over a whole stretch of cycles, no more than a few handles and a small allowance of
    // memory (the system's own caches and heap fragmentation), nothing that grows with the cycles.
    // What the save dialog keeps is the system's, not the module's.
    EXPECT_LE(static_cast<long>(lastEnd.Handles) - static_cast<long>(lastStart.Handles), systemHandles + 8);
    EXPECT_LE(lastEnd.PrivateBytes, lastStart.PrivateBytes + 2 * 1024 * 1024);
}
