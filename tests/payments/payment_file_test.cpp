// The payment file through the registered module, as the host uses it: whole or absent whatever
// ends the run. A host process that dies at payment k of n (first, middle, last), with and
// without an earlier file at the chosen path; a chosen file another program holds, with and
// without a place for it in the user's VirtualStore (it goes to neither); a stale unfinished copy;
// a good run over an earlier file; folders named in Polish and in Chinese.
//
// The dying host is this program started again with --die-at-payment: it exports through the
// registered module and ends itself (TerminateProcess) when the module asks for payment k.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "modal/modal_driver.h"
#include "modal/summary_answers.h"
#include "modal/options_answers.h"
#include "payments/payment_resources.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/registered_bank.h"
#include "tests/support/sample_payment.h"

namespace {

const char kFailureCaption[] = "Payment Export";
const char kRedirectCaption[] = "Windows Redirect";
const UINT kDiedExitCode = 99;
const long kBatchSize = 1200;

std::string Record(long index)
{
    return "123456,12345678,PAYEE " + std::to_string(index + 1) + ",10.50,12,Invoice\r\n";
}

standin::PaymentData Payment(long index)
{
    const std::wstring name = L"Payee " + std::to_wstring(index + 1);
    standin::PaymentData payment = ValidPayment(L"", 10.5);
    payment.PayeeAccountName = name;
    return payment;
}

// Scripts the options dialog (Lintrove), then the save dialog: typed path (any script) or the
// proposed one, and Yes to replacing an existing file.
void ScriptExport(modal::ModalDriver& driver, const std::wstring& typedPath, bool replaces)
{
    driver.On(modal::kOptionsCaption).Click(IDC_LINTROVE_LAYOUT).Press(IDOK);
    modal::Script& save = driver.OnNext();
    if (!typedPath.empty()) {
        save.Run([typedPath](HWND dialog, modal::WindowRecord&) {
            SendMessageW(GetDlgItem(dialog, 0x47C), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typedPath.c_str()));
        });
    }
    save.Press(IDOK);
    if (replaces)
        driver.OnNext().Press(IDYES);
    modal::AlwaysAnswerSummary(driver);
}

// The dying host: exports count payments into folder\PAYMENTS.CSV and ends itself when the module
// asks for payment dieAt (1-based). Returns only when the run did not get there.
int RunDyingHost(long dieAt, long count, const std::string& folder)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 3;
    RegisterHostTypeLibraries();
    auto log = std::make_shared<CallLog>();
    standin::Settings settings(log);
    settings.DefaultDirectory = folder + "\\";
    settings.DefaultFileName = "PAYMENTS.CSV";
    standin::HostClassRegistration served(&settings, nullptr);
    CLSID bankClass{};
    ComPtr<ITolvarBank> bank;
    ComPtr<ITolvarBankServices> services;
    if (FAILED(CLSIDFromProgID(L"TolvarBrenmarkLintrove.Bank", &bankClass)) ||
        FAILED(CoCreateInstance(bankClass, nullptr, CLSCTX_INPROC_SERVER, IID_ITolvarBank, bank.PutVoid())) ||
        FAILED(bank->get_Services(services.Put())))
        return 4;
    ComPtr<ITolvarBankPaymentService> payments =
        FindService<ITolvarBankPaymentService>(services.Get(), L"Bank Payment Service");
    if (!payments)
        return 5;

    standin::PaymentBatch batch(log);
    for (long i = 0; i < count; ++i)
        batch.Add(Payment(i));
    // The module asks for the first payment once before the file (for the options dialog).
    long asked = 0;
    batch.Batch().OnCall("Item", [&asked, dieAt] {
        if (++asked == dieAt + 1)
            TerminateProcess(GetCurrentProcess(), kDiedExitCode);
    });
    modal::ModalDriver driver;
    ScriptExport(driver, L"", FileExists(folder + "\\PAYMENTS.CSV"));
    payments->ExportPayments(batch.Get(), nullptr);
    return 6;
}

}  // namespace

class PaymentFileTest : public RegisteredBankTest {
protected:
    void TearDown() override
    {
        RegisteredBankTest::TearDown();
        RemoveFolder(Wide(folder_));
    }

    // The unfinished copies beside the chosen file: "PAYMENTS.CSV.partial-" and 16 hexadecimal digits.
    std::vector<std::string> UnfinishedCopies() const
    {
        std::vector<std::string> copies;
        const std::wstring start = L"PAYMENTS.CSV.partial-";
        for (const std::wstring& name : FolderEntries(Wide(folder_))) {
            if (name.size() == start.size() + 16 && name.compare(0, start.size(), start) == 0 &&
                name.find_first_not_of(L"0123456789ABCDEF", start.size()) == std::wstring::npos)
                copies.push_back(folder_ + "\\" + Narrow(name));
        }
        return copies;
    }

    // Opens the chosen file as a viewer does: reading it, letting others read and write it, but not
    // remove it.
    HANDLE HoldAsAViewer() const
    {
        return CreateFileA(PaymentPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    }

    // Exports through the registered module, leaving what is at the chosen path until the run
    // replaces it; typedPath is typed into the save dialog instead of the proposed path.
    ModuleRun ExportKeeping(standin::PaymentBatch& batch, const std::wstring& typedPath = L"", bool replaces = false,
                            modal::ModalDriver* answers = nullptr)
    {
        std::unique_ptr<modal::ModalDriver> own;  // one driver per thread
        if (!answers)
            own = std::make_unique<modal::ModalDriver>();
        modal::ModalDriver& driver = answers ? *answers : *own;
        ScriptExport(driver, typedPath, replaces);
        SetErrorInfo(0, nullptr);
        ModuleRun run;
        run.Result = payments_->ExportPayments(batch.Get(), nullptr);
        SetErrorInfo(0, nullptr);
        payments_->get_Status(&run.Status);
        for (const modal::WindowRecord& window : driver.Windows()) {
            run.Captions.push_back(window.Caption);
            run.WindowTrouble = run.WindowTrouble || !window.Scripted || window.LeftOpen;
        }
        return run;
    }

    void FillBatch(standin::PaymentBatch& batch, long count)
    {
        for (long i = 0; i < count; ++i)
            batch.Add(Payment(i));
    }

    // Exports `count` good payments (over the file at the chosen path when `replaces`) and expects
    // the whole batch there and nothing else in the folder.
    void ExpectAWholeRun(long count, bool replaces, const char* file = __builtin_FILE(), int line = __builtin_LINE())
    {
        ::testing::ScopedTrace caller(file, line, "called from here");
        standin::PaymentBatch batch(log_);
        FillBatch(batch, count);
        const ModuleRun run = ExportKeeping(batch, L"", replaces);
        EXPECT_EQ(S_OK, run.Result);
        EXPECT_EQ(0, run.Status);
        EXPECT_FALSE(run.WindowTrouble);
        EXPECT_EQ(Records(count), ReadBytes(PaymentPath()));
        EXPECT_EQ(std::vector<std::wstring>{L"PAYMENTS.CSV"}, FolderEntries(Wide(folder_)));
    }

    std::string Records(long count) const
    {
        std::string bytes;
        for (long i = 0; i < count; ++i)
            bytes += Record(i);
        return bytes;
    }
};

TEST_F(PaymentFileTest, AHostThatDiesMidRunLeavesTheEarlierFileOrNothing)
{
    const std::string earlier = "123456,12345678,LAST MONTH,99.00,12,Invoice\r\n";
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    for (const long dieAt : {1L, kBatchSize / 2, kBatchSize}) {
        for (const bool hadEarlier : {false, true}) {
            SCOPED_TRACE("payment " + std::to_string(dieAt) + " of " + std::to_string(kBatchSize) +
                         (hadEarlier ? ", over an earlier file" : ", no earlier file"));
            DeleteFileA(PaymentPath().c_str());
            if (hadEarlier)
                WriteBytes(PaymentPath(), earlier);

            const ProcessResult child =
                RunProcess(L"\"" + std::wstring(self) + L"\" --die-at-payment " + std::to_wstring(dieAt) + L" " +
                           std::to_wstring(kBatchSize) + L" \"" + Wide(folder_) + L"\"");

            ASSERT_EQ(kDiedExitCode, child.ExitCode) << child.Output;
            // The run was writing when it died: its unfinished copy is all it left.
            const std::vector<std::string> copies = UnfinishedCopies();
            ASSERT_EQ(1u, copies.size());
            EXPECT_EQ(size_t{hadEarlier ? 2u : 1u}, FolderEntries(Wide(folder_)).size());
            if (hadEarlier)
                EXPECT_EQ(earlier, ReadBytes(PaymentPath()));
            else
                EXPECT_FALSE(FileExists(PaymentPath()));
            const std::string left = ReadBytes(copies[0]);
            std::printf("Killed run: payment %ld of %ld, %s: chosen path %s; unfinished copy %zu bytes, %ld lines\n",
                        dieAt, kBatchSize, hadEarlier ? "earlier file" : "no earlier file",
                        !FileExists(PaymentPath())            ? "absent"
                        : ReadBytes(PaymentPath()) == earlier ? "the earlier file, byte for byte"
                                                              : "CHANGED",
                        left.size(), CountCrLfLines(left));

            // The next run for the same path writes the whole batch and clears the copy away.
            ExpectAWholeRun(3, hadEarlier);
        }
    }
}

TEST_F(PaymentFileTest, AGoodRunOverAnEarlierFileReplacesItWhole)
{
    WriteBytes(PaymentPath(), std::string(5000, 'x'));  // longer than the new file
    ExpectAWholeRun(40, true);
}

TEST_F(PaymentFileTest, AStaleUnfinishedCopyIsGoneAfterTheNextRun)
{
    WriteBytes(PaymentPath() + ".partial-0123456789ABCDEF", Records(7).substr(0, 200));
    ExpectAWholeRun(2, false);
}

TEST_F(PaymentFileTest, AChosenFileAnotherProgramHoldsIsLeftAsItWasAndTheUserIsTold)
{
    const std::string earlier = "held open elsewhere\r\n";
    WriteBytes(PaymentPath(), earlier);
    const HANDLE held = HoldAsAViewer();
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    standin::PaymentBatch batch(log_);
    FillBatch(batch, 3);
    modal::ModalDriver driver;
    driver.On(kFailureCaption).Press(IDOK);

    const ModuleRun run = ExportKeeping(batch, L"", true, &driver);

    CloseHandle(held);
    EXPECT_EQ(S_OK, run.Result);
    EXPECT_EQ(2, run.Status);
    EXPECT_FALSE(run.WindowTrouble) << driver.Summary();
    EXPECT_EQ(earlier, ReadBytes(PaymentPath()));
    EXPECT_EQ(std::vector<std::wstring>{L"PAYMENTS.CSV"}, FolderEntries(Wide(folder_)));
    const auto messages = driver.WithCaption(kFailureCaption);
    ASSERT_EQ(1u, messages.size()) << driver.Summary();
    EXPECT_EQ(0u, messages[0]->Text.find("The payment file could not be written to\n" + PaymentPath() + "\n\nReason: "))
        << messages[0]->Text;
    EXPECT_NE(std::string::npos, messages[0]->Text.find("\n\nThe file there, if there was one, is unchanged."))
        << messages[0]->Text;
    // options, save, replace, the summary (the file was written whole), message
    EXPECT_EQ(5u, driver.Windows().size()) << driver.Summary();
}

TEST_F(PaymentFileTest, AChosenFileAnotherProgramHoldsGoesNowhereElseWhenTheVirtualStoreHasAPlace)
{
    // Last week's file held by a viewer: a new batch put in the VirtualStore would leave last
    // week's where the user uploads from.
    wchar_t local[MAX_PATH] = {};
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local));
    const std::wstring storeFolder = std::wstring(local) + L"\\virtualstore" + Wide(folder_.substr(2));
    ASSERT_EQ(ERROR_SUCCESS, SHCreateDirectoryExW(nullptr, storeFolder.c_str(), nullptr));
    WriteBytes(PaymentPath(), "last week's batch\r\n");
    const HANDLE held = HoldAsAViewer();
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    standin::PaymentBatch batch(log_);
    FillBatch(batch, 3);
    modal::ModalDriver driver;
    driver.On(kFailureCaption).Press(IDOK);

    const ModuleRun run = ExportKeeping(batch, L"", true, &driver);

    CloseHandle(held);
    const std::vector<std::wstring> stored = FolderEntries(storeFolder);
    RemoveFolder(std::wstring(local) + L"\\virtualstore");
    EXPECT_EQ(S_OK, run.Result);
    EXPECT_EQ(2, run.Status);
    EXPECT_FALSE(run.WindowTrouble) << driver.Summary();
    EXPECT_TRUE(stored.empty());
    EXPECT_EQ("last week's batch\r\n", ReadBytes(PaymentPath()));
    EXPECT_EQ(std::vector<std::wstring>{L"PAYMENTS.CSV"}, FolderEntries(Wide(folder_)));
    EXPECT_TRUE(driver.WithCaption(kRedirectCaption).empty()) << driver.Summary();
    const auto messages = driver.WithCaption(kFailureCaption);
    ASSERT_EQ(1u, messages.size()) << driver.Summary();
    EXPECT_EQ(0u, messages[0]->Text.find("The payment file could not be written to\n" + PaymentPath() + "\n\nReason: "))
        << messages[0]->Text;
}

TEST_F(PaymentFileTest, FoldersNamedInPolishAndChineseTakeThePaymentFile)
{
    for (const std::wstring name : {L"P\u0142atno\u015bci \u017b\u00f3\u0142\u0107", L"\u4ed8\u6b3e\u6587\u4ef6"}) {
        const std::wstring folder = Wide(folder_) + L"\\" + name;
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        const std::wstring path = folder + L"\\PAYMENTS.CSV";
        standin::PaymentBatch batch(log_);
        FillBatch(batch, 5);

        const ModuleRun run = ExportKeeping(batch, path);

        EXPECT_EQ(S_OK, run.Result);
        EXPECT_EQ(0, run.Status);
        EXPECT_FALSE(run.WindowTrouble);
        EXPECT_EQ(Records(5), ReadBytes(path));
        EXPECT_EQ(std::vector<std::wstring>{L"PAYMENTS.CSV"}, FolderEntries(folder));

        // Again over the file just written.
        standin::PaymentBatch again(log_);
        FillBatch(again, 2);
        EXPECT_EQ(0, ExportKeeping(again, path, true).Status);
        EXPECT_EQ(Records(2), ReadBytes(path));
        EXPECT_EQ(std::vector<std::wstring>{L"PAYMENTS.CSV"}, FolderEntries(folder));
    }
}

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--die-at-payment") == 0)
        return RunDyingHost(std::atol(argv[2]), std::atol(argv[3]), argv[4]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
