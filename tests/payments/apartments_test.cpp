// Objects of the module in two single-threaded apartments of one host process, each exporting a
// batch at the same moment: neither run may see the other's texts, paths or settings, and both
// end up in the one payee history and export log.
//
// The two runs take turns at their dialogs and then write their files side by side: both are held
// halfway through their payments until the other gets there too. Wine's text layout cache is not safe
// for edit controls painting on two threads at once (a thread can die in it, or wait for ever on its
// lock), so dialogs open at the same moment would test Wine rather than the module.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "core/com_object.h"
#include "modal/modal_driver.h"
#include "modal/options_answers.h"
#include "modal/summary_answers.h"
#include "payments/payment_service.h"
#include "settings/settings_store.h"
#include "standin/standin_host.h"
#include "tests/support/com_test.h"
#include "tests/support/files.h"
#include "tests/support/payment_service_at.h"
#include "tests/support/sample_payment.h"

namespace {

constexpr int kPayments = 300;
// How long a run waits for the other to reach the middle of its payments.
constexpr DWORD kMeetingMilliseconds = 60000;

// Manual-reset events: a run sets its own when it is halfway through its payments.
class Halfway {
public:
    Halfway() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Halfway() { CloseHandle(event_); }
    Halfway(const Halfway&) = delete;
    Halfway& operator=(const Halfway&) = delete;
    void Reached() { SetEvent(event_); }
    bool Wait() const { return WaitForSingleObject(event_, kMeetingMilliseconds) == WAIT_OBJECT_0; }

private:
    HANDLE event_;
};

// One host window's export: its own account, layout, folder and payees.
struct Export {
    const wchar_t* SortCode;
    const wchar_t* Account;
    bool Ledgerway;
    std::string Folder;
    SettingsLocation Settings;  // both runs keep their choice in one settings file
    // What the run gave.
    HRESULT Result = E_FAIL;
    long Status = -1;
    int UnexpectedWindows = -1;
    bool Registered = false;
    bool Met = true;  // false when the other run never came halfway
    int Summaries = -1;
};

std::wstring PayeeName(const Export& run, int index)
{
    return std::wstring(run.Ledgerway ? L"Ledger payee " : L"Lintrove payee ") + std::to_wstring(index);
}

std::string ExpectedBytes(const Export& run)
{
    std::string bytes;
    if (run.Ledgerway)
        bytes = "DebitDate,BankRef,DBAcNo,DBAcType,DBSC,BenName,BenAcNo,BenAcType,BenSC,BenRef,Amount,RemAdvReq\r\n";
    for (int i = 0; i < kPayments; ++i) {
        const std::string number = std::to_string(i);
        const std::string amount = std::to_string(i + 1) + ".25";
        if (run.Ledgerway)
            bytes += "07/12/2026,0012,87654321,00,401122,Ledger payee " + number + ",12345678,00,123456,Acme Ltd," +
                     amount + ",Y\r\n";
        else
            bytes += "123456,12345678,LINTROVE PAYEE " + number + "," + amount + ",12,Invoice\r\n";
    }
    return bytes;
}

// The whole export on a thread of its own apartment. The run starts when `start` is set (at once
// when null), sets `own` halfway through its payments and goes on when `other` is set. Before its
// last payment it waits for `before` (when given) to end, so that the two summaries, edit controls
// both, never paint at once; `done` is set when the run has ended.
void ExportInOwnApartment(Export& run, const Halfway* start, Halfway& own, const Halfway& other, const Halfway* before,
                          Halfway& done)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return;
    {
        auto log = std::make_shared<CallLog>();
        standin::Settings settings(log);
        settings.DefaultDirectory = run.Folder;
        settings.DefaultFileName = "PAY.CSV";
        settings.FileExtension = "csv";
        standin::PaymentBatch batch(log);
        for (int i = 0; i < kPayments; ++i)
            batch.Add(ValidPayment(PayeeName(run, i).c_str(), i + 1.25));
        // The module asks for the first payment once before its dialogs, then for each in turn.
        int asked = 0;
        batch.Batch().OnCall("Item", [&] {
            if (++asked == kPayments / 2) {
                own.Reached();
                if (!other.Wait())
                    run.Met = false;
            }
            if (asked == kPayments + 1 && before && !before->Wait())
                run.Met = false;
        });
        standin::PaymentContext context(run.SortCode, run.Account, log);

        modal::ModalDriver driver;
        modal::OptionsAnswers answers;
        answers.Layout = run.Ledgerway ? modal::OptionsLayout::Ledgerway : modal::OptionsLayout::Lintrove;
        if (run.Ledgerway) {
            SYSTEMTIME date = {};
            date.wYear = 2026;
            date.wMonth = 12;
            date.wDay = 7;
            answers.HasDebitDate = true;
            answers.DebitDate = date;
            answers.Remittance = 1;
        }
        modal::Script& options = driver.On(modal::kOptionsCaption);
        modal::AnswerOptions(options, answers);
        options.Press(IDOK);
        driver.On("Save As").Press(IDOK);
        modal::AlwaysAnswerSummary(driver);

        standin::HostClassRegistration served(&settings, nullptr);
        run.Registered = served.Registered();
        ComPtr<CBankPaymentService> service = MakePaymentServiceAt(run.Settings);
        auto* face = static_cast<IBankPaymentService*>(service.Get());
        if (start && !start->Wait())
            run.Met = false;
        run.Result = face->ExportPayments(batch.Get(), context.Get());
        face->get_Status(&run.Status);
        run.UnexpectedWindows = driver.UnexpectedCount();
        run.Summaries = static_cast<int>(driver.WithCaption(modal::kSummaryCaption).size());
    }
    done.Reached();
    CoUninitialize();
}

int Occurrences(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

}  // namespace

class ApartmentsTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        root_ = std::string(temp) + "apartments-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(root_.c_str(), nullptr);
        // 7 December 2026 is a date the bank can use for a file made on 1 December.
        SetEnvironmentVariableA("BRENMARK_TODAY", "2026-12-01");
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("BRENMARK_TODAY", nullptr);
        ComTest::TearDown();
    }
    std::string root_;
};

TEST_F(ApartmentsTest, TwoExportsAtOnceEachWriteTheirOwnFileAndSetting)
{
    const SettingsLocation settings(root_);
    Export ledgerway{L"40-11-22", L"87654321", true, root_ + "\\ledgerway", settings};
    Export lintrove{L"30-99-88", L"11223344", false, root_ + "\\lintrove", settings};
    DeleteFileA((root_ + "\\TOLVAR\\Tolvar EBanking\\PAYEEHISTORY.TXT").c_str());
    DeleteFileA((root_ + "\\TOLVAR\\Tolvar EBanking\\EXPORTLOG.TXT").c_str());
    for (const Export* run : {&ledgerway, &lintrove}) {
        CreateDirectoryA(run->Folder.c_str(), nullptr);
        DeleteFileA((run->Folder + "\\PAY.CSV").c_str());
    }

    for (int round = 0; round < 3; ++round) {
        Halfway firstHalfway;
        Halfway secondHalfway;
        Halfway firstDone;
        Halfway secondDone;
        std::thread first(ExportInOwnApartment, std::ref(ledgerway), nullptr, std::ref(firstHalfway),
                          std::cref(secondHalfway), nullptr, std::ref(firstDone));
        std::thread second(ExportInOwnApartment, std::ref(lintrove), &firstHalfway, std::ref(secondHalfway),
                           std::cref(firstHalfway), &firstDone, std::ref(secondDone));
        first.join();
        second.join();

        for (const Export* run : {&ledgerway, &lintrove}) {
            SCOPED_TRACE(run->Ledgerway ? "Ledgerway run, round " + std::to_string(round)
                                        : "Lintrove run, round " + std::to_string(round));
            ASSERT_TRUE(run->Registered);
            EXPECT_TRUE(run->Met);
            EXPECT_EQ(S_OK, run->Result);
            EXPECT_EQ(0, run->Status);
            EXPECT_EQ(0, run->UnexpectedWindows);
            EXPECT_EQ(1, run->Summaries);
            EXPECT_EQ(ExpectedBytes(*run), ReadBytes(run->Folder + "\\PAY.CSV"));
        }
        for (const Export* run : {&ledgerway, &lintrove})
            DeleteFileA((run->Folder + "\\PAY.CSV").c_str());
        // Both runs' payees end up in the one payee history, and both files in the export log.
        const std::string history = ReadBytes(root_ + "\\TOLVAR\\Tolvar EBanking\\PAYEEHISTORY.TXT");
        EXPECT_EQ(kPayments, Occurrences(history, "\n401122_87654321\t"));
        EXPECT_EQ(kPayments, Occurrences(history, "\n309988_11223344\t"));
        EXPECT_NE(std::string::npos, history.find("\r\nEnd " + std::to_string(2 * kPayments) + "\r\n"));
        const std::string exportLog = ReadBytes(root_ + "\\TOLVAR\\Tolvar EBanking\\EXPORTLOG.TXT");
        EXPECT_EQ(2 * (round + 1), Occurrences(exportLog, "\\PAY.CSV\t"));
        // Each account keeps its own choice, under its own key.
        int stored = -1;
        EXPECT_TRUE(ReadSettingFlag(settings, "BMBUseLWFmt401122_87654321", &stored));
        EXPECT_EQ(1, stored);
        stored = -1;
        EXPECT_TRUE(ReadSettingFlag(settings, "BMBUseLWFmt309988_11223344", &stored));
        EXPECT_EQ(0, stored);
    }
    for (const Export* run : {&ledgerway, &lintrove})
        RemoveDirectoryA(run->Folder.c_str());
}
