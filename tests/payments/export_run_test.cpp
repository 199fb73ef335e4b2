// Whole payment export runs against the stand-in host, with the module's dialogs answered through
// real window messages: outcome, status, result codes, host call order and the written bytes.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/com_object.h"
#include "core/method_frame.h"
#include "payments/export_run.h"
#include "payments/output_file.h"
#include "payments/payment_service.h"
#include "modal/modal_driver.h"
#include "modal/options_answers.h"
#include "modal/summary_answers.h"
#include "payments/payment_resources.h"
#include "standin/standin_host.h"
#include "tests/support/sample_payment.h"
#include "settings/settings_store.h"
#include "tests/support/com_test.h"
#include "tests/support/failing_allocator.h"
#include "tests/support/files.h"
#include "tests/support/payment_service_at.h"

namespace {

using modal::kOptionsCaption;
const char kSaveCaption[] = "Save As";

SYSTEMTIME Date(WORD year, WORD month, WORD day)
{
    SYSTEMTIME date = {};
    date.wYear = year;
    date.wMonth = month;
    date.wDay = day;
    return date;
}

}  // namespace

class ExportRunTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "export-run-" + std::to_string(GetCurrentProcessId()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name();
        CreateDirectoryA(folder_.c_str(), nullptr);
        settings_.DefaultDirectory = folder_;
        settings_.DefaultFileName = "PAY.CSV";
        settings_.FileExtension = "csv";
        service_ = MakePaymentServiceAt(SettingsLocation(folder_));
        // The debit dates these runs choose are ones the bank can use when the file is made that day.
        SetEnvironmentVariableA("BRENMARK_TODAY", "2026-12-01");
        modal::AlwaysAnswerSummary(driver_);
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("BRENMARK_TODAY", nullptr);
        service_.Reset();
        DeleteFileA(OutputPath().c_str());
        ComTest::TearDown();
    }

    IBankPaymentService* Service() { return static_cast<IBankPaymentService*>(service_.Get()); }
    long Status()
    {
        long status = -1;
        Service()->get_Status(&status);
        return status;
    }
    std::string OutputPath() const { return folder_ + "\\PAY.CSV"; }
    HRESULT Export(ITolvarBankPaymentContext* context)
    {
        standin::HostClassRegistration served(&settings_, nullptr);
        return Service()->ExportPayments(batch_.Get(), context);
    }
    void ChooseLintrove()
    {
        modal::OptionsAnswers answers;
        answers.Layout = modal::OptionsLayout::Lintrove;
        Answer(answers);
    }
    void ChooseLedgerway(WORD day, WORD month, WORD year, bool remittance)
    {
        modal::OptionsAnswers answers;
        answers.Layout = modal::OptionsLayout::Ledgerway;
        answers.HasDebitDate = true;
        answers.DebitDate = Date(year, month, day);
        answers.Remittance = remittance ? 1 : -1;
        Answer(answers);
    }
    void Answer(const modal::OptionsAnswers& answers)
    {
        modal::Script& script = driver_.On(kOptionsCaption);
        modal::AnswerOptions(script, answers);
        script.Press(IDOK);
    }
    void SaveAtProposedPath() { driver_.On(kSaveCaption).Press(IDOK); }

    std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
    standin::Settings settings_{log_};
    standin::PaymentBatch batch_{log_};
    modal::ModalDriver driver_;
    ComPtr<CBankPaymentService> service_;
    std::string folder_;
};

TEST_F(ExportRunTest, LintroveBatchWithSecondPaymentInvalid)
{
    batch_.Add(ValidPayment(L"First Ltd", 10.5));
    batch_.Add(ValidPayment(L"O'Brien", 20));  // apostrophe: not an allowed character
    batch_.Add(ValidPayment(L"Third & Sons", 1234.5));
    ChooseLintrove();
    SaveAtProposedPath();

    EXPECT_EQ(S_FALSE, Export(nullptr));
    EXPECT_EQ(1, Status());
    EXPECT_EQ(0, batch_.ResultCode(0));
    EXPECT_EQ(30, batch_.ResultCode(1));
    EXPECT_EQ(0, batch_.ResultCode(2));
    EXPECT_EQ("123456,12345678,FIRST LTD,10.50,12,Invoice\r\n"
              "123456,12345678,O'BRIEN,20.00,12,Invoice\r\n"
              "123456,12345678,THIRD & SONS,1234.50,12,Invoice\r\n",
              ReadBytes(OutputPath()));
    EXPECT_EQ(0, driver_.UnexpectedCount()) << driver_.Summary();
}

TEST_F(ExportRunTest, LedgerwayBatchWithHeaderDateAndRemittance)
{
    batch_.Add(ValidPayment(L"J. Smith", 99.9));
    standin::PaymentContext context(L"40-11-22", L"87654321", log_);
    ChooseLedgerway(7, 12, 2026, true);
    SaveAtProposedPath();

    EXPECT_EQ(S_OK, Export(context.Get()));
    EXPECT_EQ(0, Status());
    EXPECT_EQ("DebitDate,BankRef,DBAcNo,DBAcType,DBSC,BenName,BenAcNo,BenAcType,BenSC,BenRef,Amount,RemAdvReq\r\n"
              "07/12/2026,0012,87654321,00,401122,J. Smith,12345678,00,123456,Acme Ltd,99.90,Y\r\n",
              ReadBytes(OutputPath()));
    // The layout choice is kept for the paying account.
    int stored = -1;
    EXPECT_TRUE(ReadSettingFlag(SettingsLocation(folder_), "BMBUseLWFmt401122_87654321", &stored));
    EXPECT_EQ(1, stored);
}

// The account's layout choice is kept under a key of its digits only, whatever the host's text
// holds: the settings file is shared by every user of the machine.
TEST_F(ExportRunTest, TheLayoutChoiceIsKeptUnderTheAccountsDigitsOnly)
{
    batch_.Add(ValidPayment(L"J. Smith", 99.9));
    standin::PaymentContext context(L"40-11-22", L"8765 4321]\r\n[MIGRATED]\r\nX=", log_);
    ChooseLintrove();
    SaveAtProposedPath();

    EXPECT_EQ(S_OK, Export(context.Get()));
    EXPECT_EQ("[MIGRATED]\r\nBMBUseLWFmt401122_87654321=FALSE\r\n",
              ReadBytes(folder_ + "\\TOLVAR\\Tolvar EBanking\\BANKSERV.INI"));
}

TEST_F(ExportRunTest, HostCallsInTheirOrder)
{
    batch_.Add(ValidPayment());
    standin::PaymentContext context(L"40-11-22", L"87654321", log_);
    ChooseLintrove();
    SaveAtProposedPath();
    EXPECT_EQ(S_OK, Export(context.Get()));

    const std::vector<std::string>& calls = log_->Calls();
    const std::vector<std::string> expectedStart = {
        "Settings.GetPaymentFileDefaults(Brenmark Fenlow Online Plus)",
        "Context.get_BankAccount",
        "Account.get_SortCode",
        "Account.get_AccountNumber",
        "Payments.get_Count",
        "Payments.Item(0)",
        "Payment[0].QueryInterface(ITolvarBankPayment2)",
        "Payments.get_Count",
        "Payments.Item(0)",
        "Payment[0].put_ResultCode(0)",
        "Payment[0].get_PayeeSortCode",
    };
    ASSERT_GE(calls.size(), expectedStart.size()) << log_->Text();
    EXPECT_EQ(expectedStart, std::vector<std::string>(calls.begin(), calls.begin() + expectedStart.size()))
        << log_->Text();
}

TEST_F(ExportRunTest, EmptyBatchWritesNothingAndShowsNoDialog)
{
    EXPECT_EQ(S_OK, Export(nullptr));
    EXPECT_EQ(3, Status());
    EXPECT_TRUE(driver_.Windows().empty()) << driver_.Summary();
    EXPECT_FALSE(FileExists(OutputPath()));
}

TEST_F(ExportRunTest, CancelledOptionsDialogKeepsLintroveDefaultsAndStillAsksForTheFile)
{
    batch_.Add(ValidPayment());
    driver_.On(kOptionsCaption).Click(IDC_LEDGERWAY_LAYOUT).Press(IDCANCEL);
    driver_.On("Changes have been made").Press(IDYES);
    SaveAtProposedPath();
    EXPECT_EQ(S_OK, Export(nullptr));
    EXPECT_EQ(0, Status());
    EXPECT_EQ("123456,12345678,J. SMITH,10.50,12,Invoice\r\n", ReadBytes(OutputPath()));
    EXPECT_EQ(1u, driver_.WithCaption(kSaveCaption).size());
}

TEST_F(ExportRunTest, CancelledSaveDialogWritesNothing)
{
    batch_.Add(ValidPayment());
    ChooseLintrove();
    driver_.On(kSaveCaption).Press(IDCANCEL);
    EXPECT_EQ(S_OK, Export(nullptr));
    EXPECT_EQ(3, Status());
    EXPECT_FALSE(FileExists(OutputPath()));
}

TEST_F(ExportRunTest, PaymentThatCannotBeFetchedEndsTheRunLeavingNoFile)
{
    batch_.Add(ValidPayment(L"First"));
    batch_.Add(ValidPayment(L"Second"));
    batch_.Add(ValidPayment(L"Third"));
    batch_.Batch().FailOn("Item(1)", {E_FAIL, L""});
    ChooseLedgerway(1, 2, 2027, false);
    SaveAtProposedPath();
    EXPECT_EQ(S_OK, Export(nullptr));
    EXPECT_EQ(2, Status());
    // The first record was written before the second payment failed; the file would pass for the
    // whole batch, so it goes.
    EXPECT_FALSE(FileExists(OutputPath()));
}

TEST_F(ExportRunTest, FailedCheckThenFailedFetchKeepsFalseResultWithStatusTwo)
{
    batch_.Add(ValidPayment(L"O'Brien"));
    batch_.Add(ValidPayment());
    batch_.Batch().FailOn("Item(1)", {E_FAIL, L""});
    ChooseLintrove();
    SaveAtProposedPath();
    EXPECT_EQ(S_FALSE, Export(nullptr));
    EXPECT_EQ(2, Status());
    EXPECT_FALSE(FileExists(OutputPath()));
}

TEST_F(ExportRunTest, RtiHostGetsNoOptionsDialogAndTheLintroveLayoutWithRtiField)
{
    standin::PaymentData payment = ValidPayment();
    payment.OffersRti = true;
    payment.IsRti = 1;
    payment.RtiReference = L"/A1B";
    batch_.Add(payment);
    standin::PaymentData plain = ValidPayment(L"Other");
    plain.OffersRti = true;
    batch_.Add(plain);
    SaveAtProposedPath();
    EXPECT_EQ(S_OK, Export(nullptr));
    EXPECT_EQ(0, Status());
    EXPECT_TRUE(driver_.WithCaption(kOptionsCaption).empty());
    EXPECT_EQ("123456,12345678,J. SMITH,10.50,12,/A1B\r\n"
              "123456,12345678,OTHER,10.50,12,Invoice\r\n",
              ReadBytes(OutputPath()));
}

TEST_F(ExportRunTest, NullBatchIsInvalidArgumentAfterTheSettingsWereAsked)
{
    Service()->put_Status(7);
    standin::HostClassRegistration served(&settings_, nullptr);
    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFC), Service()->ExportPayments(nullptr, nullptr));
    EXPECT_EQ(L"Invalid argument", TakeErrorDescription());
    EXPECT_EQ(std::vector<std::string>{"Settings.GetPaymentFileDefaults(Brenmark Fenlow Online Plus)"}, log_->Calls());
    EXPECT_EQ(0, Status());  // reset once the defaults were known
}

TEST_F(ExportRunTest, MissingSettingsObjectOrFailingDefaultsIsDispatchException)
{
    batch_.Add(ValidPayment());
    Service()->put_Status(7);
    {
        standin::HostClassRegistration nothing(nullptr, nullptr);
        EXPECT_EQ(DISP_E_EXCEPTION, Service()->ExportPayments(batch_.Get(), nullptr));
    }
    EXPECT_EQ(7, Status());  // a run stopped before the defaults leaves the status alone
    settings_.Self().FailOn("GetPaymentFileDefaults", {E_ACCESSDENIED, L"no defaults"});
    EXPECT_EQ(DISP_E_EXCEPTION, Export(nullptr));
    EXPECT_FALSE(TakeHasErrorInfo());
    EXPECT_EQ(7, Status());
    EXPECT_TRUE(driver_.Windows().empty());
}

TEST_F(ExportRunTest, AccountKeySuffixKeysTheStoredLayout)
{
    batch_.Add(ValidPayment());
    standin::PaymentContext context(L"40-11-22", L"87654321", log_);
    ChooseLintrove();
    SaveAtProposedPath();
    EXPECT_EQ(S_OK, Export(context.Get()));
    int stored = -1;
    EXPECT_TRUE(ReadSettingFlag(SettingsLocation(folder_), "BMBUseLWFmt401122_87654321", &stored));
    EXPECT_EQ(0, stored);

    // Without a context the bare key is used.
    driver_.On(kOptionsCaption).Press(IDOK);
    SaveAtProposedPath();
    EXPECT_EQ(S_OK, Export(nullptr));
    stored = -1;
    EXPECT_TRUE(ReadSettingFlag(SettingsLocation(folder_), "BMBUseLWFmt", &stored));
    EXPECT_EQ(1, stored);  // an account without a stored choice starts on the Ledgerway layout

    // The stored choice is preselected next time for that account.
    driver_.On(kOptionsCaption).Read(IDC_LINTROVE_LAYOUT, "lintrove").Press(IDOK);
    SaveAtProposedPath();
    EXPECT_EQ(S_OK, Export(context.Get()));
    const auto windows = driver_.WithCaption(kOptionsCaption);
    ASSERT_EQ(3u, windows.size());
    const modal::ControlState* lintrove = windows.back()->Read("lintrove");
    ASSERT_NE(nullptr, lintrove);
    EXPECT_TRUE(lintrove->Checked);
}

TEST_F(ExportRunTest, FailingCountIsAnEmptyBatch)
{
    batch_.Add(ValidPayment());
    batch_.Batch().FailOn("get_Count", {E_FAIL, L""});
    EXPECT_EQ(S_OK, Export(nullptr));
    EXPECT_EQ(3, Status());
    EXPECT_TRUE(driver_.Windows().empty());
}

TEST_F(ExportRunTest, UnterminatedHostDefaultsAreCutWithinTheirBuffers)
{
    batch_.Add(ValidPayment());
    settings_.RawFileName.assign(1024, 'F');
    settings_.RawExtension.assign(4, 'x');
    settings_.RawDirectory.assign(1024, 'D');
    driver_.On("Invalid default path").Press(IDOK);
    ChooseLintrove();
    driver_.On(kSaveCaption).Press(IDCANCEL);
    EXPECT_EQ(S_OK, Export(nullptr));
    EXPECT_EQ(3, Status());
    EXPECT_EQ(1u, driver_.WithCaption("Invalid default path").size()) << driver_.Summary();
}

namespace {

// The system's file steps, with a write or a move that fails; elevated, so that no VirtualStore
// takes the file instead.
class FailingPlatform : public PlacementPlatform {
public:
    bool IsElevated() override { return true; }
    DWORD Create(const wchar_t* path, std::FILE** file) override
    {
        const DWORD error = PlacementPlatform::Create(path, file);
        if (error == ERROR_SUCCESS && !LinkOnCreate.empty())
            Linked = CreateHardLinkW(LinkOnCreate.c_str(), path, nullptr) != FALSE;
        if (error == ERROR_SUCCESS && FailWrites) {
            // The same file, open for reading only: every write to it fails.
            std::fclose(*file);
            *file = _wfopen(path, L"r");
        }
        return error;
    }
    DWORD Move(const wchar_t* from, const wchar_t* to) override
    {
        return MoveError ? MoveError : PlacementPlatform::Move(from, to);
    }

    bool FailWrites = false;
    DWORD MoveError = 0;
    std::wstring LinkOnCreate;  // a second name someone gives the new copy as it is made
    bool Linked = false;
};

const char kEarlierFile[] = "123456,12345678,LAST MONTH,10.00,12,Invoice\r\n";
const char kFailureCaption[] = "Payment Export";

}  // namespace

class ExportRunFailureTest : public ExportRunTest {
protected:
    HRESULT ExportThrough(PlacementPlatform& platform)
    {
        standin::HostClassRegistration served(&settings_, nullptr);
        return MethodFrame(
            [&] { return RunPaymentExport(status_, batch_.Get(), nullptr, platform, SettingsLocation(folder_)); });
    }
    // The unfinished copies left beside the chosen file.
    size_t CopiesLeft() const
    {
        size_t copies = 0;
        for (const std::wstring& name : FolderEntries(Wide(folder_)))
            copies += name.compare(0, 16, L"PAY.CSV.partial-") == 0 ? 1 : 0;
        return copies;
    }
    long status_ = -1;
};

TEST_F(ExportRunFailureTest, FileThatCannotBeWrittenIsNotReportedWrittenAndTheUserIsTold)
{
    for (int i = 0; i < 200; ++i)
        batch_.Add(ValidPayment());
    WriteBytes(OutputPath(), kEarlierFile);
    ChooseLintrove();
    driver_.On(kSaveCaption).Press(IDOK);
    driver_.OnNext().Press(IDYES);  // replace the earlier file
    driver_.On(kFailureCaption).Press(IDOK);
    FailingPlatform platform;
    platform.FailWrites = true;

    EXPECT_EQ(S_OK, ExportThrough(platform));

    EXPECT_EQ(2, status_);
    EXPECT_EQ(kEarlierFile, ReadBytes(OutputPath()));
    EXPECT_EQ(0u, CopiesLeft());
    const auto messages = driver_.WithCaption(kFailureCaption);
    ASSERT_EQ(1u, messages.size()) << driver_.Summary();
    EXPECT_EQ(0u, messages[0]->Text.find("The payment file could not be written to\n" + OutputPath() + "\n\nReason: "))
        << messages[0]->Text;
    EXPECT_EQ(0, driver_.UnexpectedCount()) << driver_.Summary();
}

TEST_F(ExportRunFailureTest, AMoveTheFolderRefusesKeepsTheEarlierFileAndTheResultCodes)
{
    batch_.Add(ValidPayment(L"First"));
    batch_.Add(ValidPayment(L"O'Brien"));
    WriteBytes(OutputPath(), kEarlierFile);
    ChooseLintrove();
    driver_.On(kSaveCaption).Press(IDOK);
    driver_.OnNext().Press(IDYES);
    driver_.On(kFailureCaption).Press(IDOK);
    FailingPlatform platform;
    platform.MoveError = ERROR_ACCESS_DENIED;

    EXPECT_EQ(S_FALSE, ExportThrough(platform));

    EXPECT_EQ(2, status_);
    EXPECT_EQ(0, batch_.ResultCode(0));
    EXPECT_EQ(30, batch_.ResultCode(1));
    EXPECT_EQ(kEarlierFile, ReadBytes(OutputPath()));
    EXPECT_EQ(0u, CopiesLeft());
    EXPECT_EQ(1u, driver_.WithCaption(kFailureCaption).size()) << driver_.Summary();
}

TEST_F(ExportRunFailureTest, APaymentTheHostCannotGiveKeepsTheEarlierFileWithoutAWord)
{
    batch_.Add(ValidPayment(L"First"));
    batch_.Add(ValidPayment(L"Second"));
    batch_.Batch().FailOn("Item(1)", {E_FAIL, L""});
    WriteBytes(OutputPath(), kEarlierFile);
    ChooseLintrove();
    driver_.On(kSaveCaption).Press(IDOK);
    driver_.OnNext().Press(IDYES);

    EXPECT_EQ(S_OK, ExportThrough(PlacementPlatform::System()));

    EXPECT_EQ(2, status_);
    EXPECT_EQ(kEarlierFile, ReadBytes(OutputPath()));
    EXPECT_EQ(0u, CopiesLeft());
    EXPECT_TRUE(driver_.WithCaption(kFailureCaption).empty()) << driver_.Summary();
    EXPECT_EQ(0, driver_.UnexpectedCount()) << driver_.Summary();
}

TEST_F(ExportRunFailureTest, AFailureRaisedMidRunKeepsTheEarlierFile)
{
    batch_.Add(ValidPayment(L"First"));
    batch_.Add(ValidPayment(L"Second"));
    // Memory runs out while the second payment is fetched, after the first record was written.
    batch_.Batch().OnCall("Item(1)", [] { Raise(E_OUTOFMEMORY); });
    WriteBytes(OutputPath(), kEarlierFile);
    ChooseLintrove();
    driver_.On(kSaveCaption).Press(IDOK);
    driver_.OnNext().Press(IDYES);

    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFD), ExportThrough(PlacementPlatform::System()));

    EXPECT_EQ(L"Out of Memory", TakeErrorDescription());
    EXPECT_EQ(kEarlierFile, ReadBytes(OutputPath()));
    EXPECT_EQ(0u, CopiesLeft());
    EXPECT_TRUE(driver_.WithCaption(kFailureCaption).empty()) << driver_.Summary();
}

TEST_F(ExportRunFailureTest, AGoodRunReplacesTheEarlierFileAndLeavesNoCopy)
{
    batch_.Add(ValidPayment(L"First"));
    WriteBytes(OutputPath(), kEarlierFile);
    WriteBytes(OutputPath() + ".partial-5EC0DE5EC0DE5EC0", "123456,12345678,HALF");  // left by a run that died
    ChooseLintrove();
    driver_.On(kSaveCaption).Press(IDOK);
    driver_.OnNext().Press(IDYES);

    EXPECT_EQ(S_OK, ExportThrough(PlacementPlatform::System()));

    EXPECT_EQ(0, status_);
    EXPECT_EQ("123456,12345678,FIRST,10.50,12,Invoice\r\n", ReadBytes(OutputPath()));
    EXPECT_EQ(0u, CopiesLeft());
    EXPECT_EQ(0, driver_.UnexpectedCount()) << driver_.Summary();
}

TEST_F(ExportRunFailureTest, ACopyGivenASecondNameEndsTheRunWithTheMessageAndNothingWritten)
{
    batch_.Add(ValidPayment(L"First"));
    WriteBytes(OutputPath(), kEarlierFile);
    ChooseLintrove();
    driver_.On(kSaveCaption).Press(IDOK);
    driver_.OnNext().Press(IDYES);
    driver_.On(kFailureCaption).Press(IDOK);
    FailingPlatform platform;
    const std::string theirs = folder_ + "\\theirs.txt";
    DeleteFileA(theirs.c_str());
    platform.LinkOnCreate = Wide(theirs);

    EXPECT_EQ(S_OK, ExportThrough(platform));

    ASSERT_TRUE(platform.Linked) << "CreateHardLinkW: " << GetLastError();
    EXPECT_EQ(2, status_);
    EXPECT_EQ(kEarlierFile, ReadBytes(OutputPath()));
    EXPECT_TRUE(FileExists(theirs));
    EXPECT_EQ("", ReadBytes(theirs));
    EXPECT_EQ(0u, CopiesLeft());
    const auto messages = driver_.WithCaption(kFailureCaption);
    ASSERT_EQ(1u, messages.size()) << driver_.Summary();
    EXPECT_EQ(0u, messages[0]->Text.find("The payment file could not be written to\n" + OutputPath() + "\n\nReason: "))
        << messages[0]->Text;
    EXPECT_EQ(0, driver_.UnexpectedCount()) << driver_.Summary();
    DeleteFileA(theirs.c_str());
}

TEST_F(ExportRunFailureTest, MemoryRunningOutInTheOptionsDialogEndsTheRunAsAFailureWithoutAFile)
{
    batch_.Add(ValidPayment(L"First"));
    WriteBytes(OutputPath(), kEarlierFile);
    bool refused = false;
    driver_.On(kOptionsCaption).Run([&](HWND dialog, modal::WindowRecord&) {
        AllocationsFail fail;
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        refused = AllocationsFail::Refused();
    });

    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFD), ExportThrough(PlacementPlatform::System()));

    EXPECT_TRUE(refused);
    EXPECT_EQ(L"Out of Memory", TakeErrorDescription());
    EXPECT_EQ(kEarlierFile, ReadBytes(OutputPath()));
    EXPECT_EQ(0u, CopiesLeft());
    EXPECT_TRUE(driver_.WithCaption(kSaveCaption).empty()) << driver_.Summary();
    EXPECT_EQ(0, driver_.UnexpectedCount()) << driver_.Summary();
}
