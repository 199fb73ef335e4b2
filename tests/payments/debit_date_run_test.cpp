// The debit date in a whole export run, with today pinned: the options dialog opens on the earliest
// date the bank can debit, the holiday list comes from beside the module or from the administrator's
// newer copy, and a list that cannot be used is named once, with why.
#include <gtest/gtest.h>

#include "core/com_object.h"
#include "core/method_frame.h"
#include "modal/modal_driver.h"
#include "modal/options_answers.h"
#include "modal/summary_answers.h"
#include "payments/export_run.h"
#include "payments/holiday_sources.h"
#include "payments/output_file.h"
#include "payments/payment_resources.h"
#include "settings/settings_store.h"
#include "standin/standin_host.h"
#include "tests/support/com_test.h"
#include "tests/support/files.h"
#include "tests/support/sample_payment.h"

namespace {

const char kSaveCaption[] = "Save As";
const char kHolidaysCaption[] = "Bank Holidays";
const char kHeader[] =
    "DebitDate,BankRef,DBAcNo,DBAcType,DBSC,BenName,BenAcNo,BenAcType,BenSC,BenRef,Amount,RemAdvReq\r\n";
const char kRecordAfterDate[] = ",0012,87654321,00,401122,J. Smith,12345678,00,123456,Acme Ltd,99.90,N\r\n";

// A list in the published format with these holidays, written as "YYYY-MM-DD" and title.
std::string ListOf(std::initializer_list<std::pair<const char*, const char*>> holidays)
{
    std::string text = "{\n  \"england-and-wales\": {\n    \"division\": \"england-and-wales\",\n    \"events\": [";
    const char* separator = "\n";
    for (const auto& holiday : holidays) {
        text += separator;
        text += std::string("      {\"title\": \"") + holiday.second + "\", \"date\": \"" + holiday.first +
                "\", \"notes\": \"\", \"bunting\": true}";
        separator = ",\n";
    }
    return text + "\n    ]\n  }\n}\n";
}

}  // namespace

class DebitDateRunTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        modal::AlwaysAnswerSummary(driver_);  // the summary before the file is saved: Save
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        const std::string base = std::string(temp) + "debit-date-" + std::to_string(GetCurrentProcessId()) + "-" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = base + "-data";
        installed_ = base + "-installed";
        CreateDirectoryA(folder_.c_str(), nullptr);
        CreateDirectoryA(installed_.c_str(), nullptr);
        adminList_ = folder_ + "\\TOLVAR\\Tolvar EBanking\\" + "bank-holidays.json";
        settings_.DefaultDirectory = folder_;
        settings_.DefaultFileName = "PAY.CSV";
        settings_.FileExtension = "csv";
        batch_.Add(ValidPayment(L"J. Smith", 99.9));
    }
    void TearDown() override
    {
        RemoveFolder(Wide(folder_));
        RemoveFolder(Wide(installed_));
        ComTest::TearDown();
    }

    // Runs an export made on that day, choosing the Ledgerway layout and keeping the offered date;
    // the dialog's date as it opened is read as "opened".
    HRESULT ExportOn(int year, int month, int day)
    {
        driver_.On(modal::kOptionsCaption).Click(IDC_LEDGERWAY_LAYOUT).Read(IDC_DEBIT_DATE, "opened").Press(IDOK);
        driver_.On(kSaveCaption).Press(IDOK);
        return Run(year, month, day);
    }
    HRESULT Run(int year, int month, int day, standin::PaymentBatch* batch = nullptr)
    {
        ITolvarBankPayments* payments = (batch ? batch : &batch_)->Get();
        DebitDateInputs dates;
        dates.Today = SerialOf(year, month, day);
        dates.InstalledFolder = Wide(installed_) + L"\\";
        standin::HostClassRegistration served(&settings_, nullptr);
        return MethodFrame([&] {
            return RunPaymentExport(status_, payments, nullptr, PlacementPlatform::System(), SettingsLocation(folder_),
                                    dates);
        });
    }
    std::string Opened() const
    {
        const auto dialogs = driver_.WithCaption(modal::kOptionsCaption);
        if (dialogs.empty() || !dialogs[0]->Read("opened"))
            return "(no dialog)";
        return dialogs[0]->Read("opened")->Text;
    }
    std::string Written() const { return ReadBytes(folder_ + "\\PAY.CSV"); }
    void PutAdminList(const std::string& bytes)
    {
        char path[MAX_PATH] = {};
        ASSERT_TRUE(GetSettingsFilePath(SettingsLocation(folder_), path));  // makes the folder
        WriteBytes(adminList_, bytes);
    }
    std::vector<std::string> HolidayMessages() const
    {
        std::vector<std::string> texts;
        for (const modal::WindowRecord* window : driver_.WithCaption(kHolidaysCaption))
            texts.push_back(window->Text);
        return texts;
    }

    std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
    standin::Settings settings_{log_};
    standin::PaymentBatch batch_{log_};
    modal::ModalDriver driver_;
    std::string folder_, installed_, adminList_;
    long status_ = -1;
};

TEST_F(DebitDateRunTest, TheDialogOpensOnTheEarliestDebitDateAndTheFileCarriesIt)
{
    // Made on Christmas Eve 2026 (a Thursday): in that day, then Tuesday 29 (Friday and Monday are
    // bank holidays), paid Wednesday 30.
    EXPECT_EQ(S_OK, ExportOn(2026, 12, 24));
    EXPECT_EQ("30/12/2026", Opened());
    EXPECT_EQ(std::string(kHeader) + "30/12/2026" + kRecordAfterDate, Written());
    EXPECT_EQ(0, driver_.UnexpectedCount()) << driver_.Summary();
    EXPECT_TRUE(driver_.WithCaption(modal::kDebitDateCaption).empty());
}

TEST_F(DebitDateRunTest, PastTheListTheDialogOpensOnTodayAndAsksNothing)
{
    EXPECT_EQ(S_OK, ExportOn(2028, 1, 5));
    EXPECT_EQ("05/01/2028", Opened());
    EXPECT_EQ(std::string(kHeader) + "05/01/2028" + kRecordAfterDate, Written());
    EXPECT_EQ(0, driver_.UnexpectedCount()) << driver_.Summary();
}

TEST_F(DebitDateRunTest, TheLintroveLayoutCarriesNoDateAndIsNotQuestioned)
{
    SYSTEMTIME christmas{2026, 12, 0, 25, 0, 0, 0, 0};
    driver_.On(modal::kOptionsCaption)
        .Click(IDC_LEDGERWAY_LAYOUT)
        .SetDate(IDC_DEBIT_DATE, christmas)
        .Click(IDC_LINTROVE_LAYOUT)
        .Press(IDOK);
    driver_.On(kSaveCaption).Press(IDOK);
    EXPECT_EQ(S_OK, Run(2026, 12, 10));
    EXPECT_EQ("123456,12345678,J. SMITH,99.90,12,Invoice\r\n", Written());
    EXPECT_EQ(0, driver_.UnexpectedCount()) << driver_.Summary();
}

TEST_F(DebitDateRunTest, TheAdministratorSetsTheDaysAfterTheFileGoesIn)
{
    char path[MAX_PATH] = {};
    ASSERT_TRUE(GetSettingsFilePath(SettingsLocation(folder_), path));
    WriteBytes(std::string(path), "[MIGRATED]\r\nDebitDaysAfterInput=4\r\n");
    EXPECT_EQ(S_OK, ExportOn(2026, 12, 10));
    EXPECT_EQ("16/12/2026", Opened());

    // Something other than a number is the usual cycle.
    WriteBytes(std::string(path), "[MIGRATED]\r\nDebitDaysAfterInput=four\r\n");
    driver_.On(modal::kOptionsCaption).Read(IDC_DEBIT_DATE, "second").Press(IDCANCEL);
    driver_.On(kSaveCaption).Press(IDCANCEL);
    Run(2026, 12, 10);
    EXPECT_EQ("14/12/2026", driver_.WithCaption(modal::kOptionsCaption)[1]->Read("second")->Text);
}

TEST_F(DebitDateRunTest, AnInstalledListBesideTheModuleIsUsed)
{
    // A list whose 14 December 2026 is a holiday moves the earliest date on by a day.
    WriteBytes(installed_ + "\\bank-holidays.json",
               ListOf({{"2026-12-14", "A day of mourning"}, {"2026-12-25", "Christmas Day"}}));
    EXPECT_EQ(S_OK, ExportOn(2026, 12, 10));
    EXPECT_EQ("15/12/2026", Opened());
    EXPECT_TRUE(HolidayMessages().empty()) << driver_.Summary();
}

TEST_F(DebitDateRunTest, ANewerAdministratorsListIsUsedWhenItReachesAsFar)
{
    // The administrator's download reaches into 2028, where Monday 3 January is a substitute day.
    PutAdminList(ListOf({{"2027-12-27", "Christmas Day"},
                         {"2027-12-28", "Boxing Day"},
                         {"2028-01-03", "New Year\\u2019s Day"},
                         {"2028-04-14", "Good Friday"}}));
    EXPECT_EQ(S_OK, ExportOn(2027, 12, 30));
    EXPECT_EQ("04/01/2028", Opened());
    EXPECT_TRUE(HolidayMessages().empty()) << driver_.Summary();
}

TEST_F(DebitDateRunTest, AnAdministratorsListThatEndsSoonerIsNotUsed)
{
    // An old copy that stops in 2026 would call every day of 2027 unknown.
    PutAdminList(ListOf({{"2026-12-25", "Christmas Day"}, {"2026-12-28", "Boxing Day"}}));
    EXPECT_EQ(S_OK, ExportOn(2026, 12, 30));
    EXPECT_EQ("04/01/2027", Opened());
    EXPECT_TRUE(HolidayMessages().empty()) << driver_.Summary();
}

TEST_F(DebitDateRunTest, ADamagedAdministratorsListIsNamedOnceAndTheInstalledListIsUsed)
{
    // A download cut short.
    const std::string whole = ListOf({{"2027-12-27", "Christmas Day"}, {"2028-01-03", "New Year's Day"}});
    PutAdminList(whole.substr(0, whole.size() / 2));
    driver_.On(kHolidaysCaption).Press(IDOK);

    EXPECT_EQ(S_OK, ExportOn(2026, 12, 24));
    EXPECT_EQ("30/12/2026", Opened());
    ASSERT_EQ(1u, HolidayMessages().size()) << driver_.Summary();
    EXPECT_EQ("The bank holiday list " + adminList_ +
                  " cannot be used: line 5: a text has no closing quote.\n\nThe list built into the module, which "
                  "runs to the end of 2027, is used instead.",
              HolidayMessages()[0]);
    // Before the options dialog, over the window that was active.
    EXPECT_EQ(kHolidaysCaption, driver_.Windows()[0].Caption);
    EXPECT_EQ(1, driver_.Windows()[0].Icons);
    EXPECT_NE(nullptr, driver_.Windows()[0].Control(IDOK));
    EXPECT_EQ(0, driver_.UnexpectedCount()) << driver_.Summary();
}

TEST_F(DebitDateRunTest, ListsThatCannotBeReadAreNamedInOneMessage)
{
    // The installed list damaged, and the administrator's a folder that cannot be read as a file.
    WriteBytes(installed_ + "\\bank-holidays.json",
               "{\"england-and-wales\": {\"events\": [{\"date\": \"2026-12-25\"}]}}");
    char path[MAX_PATH] = {};
    ASSERT_TRUE(GetSettingsFilePath(SettingsLocation(folder_), path));
    ASSERT_TRUE(CreateDirectoryA(adminList_.c_str(), nullptr));
    driver_.On(kHolidaysCaption).Press(IDOK);

    EXPECT_EQ(S_OK, ExportOn(2026, 12, 24));
    EXPECT_EQ("30/12/2026", Opened());
    ASSERT_EQ(1u, HolidayMessages().size()) << driver_.Summary();
    const std::string text = HolidayMessages()[0];
    const std::string installedPart = "The bank holiday list " + installed_ +
                                      "\\bank-holidays.json cannot be used: line 1: a holiday has no title.\n\n";
    const std::string adminPart = "The bank holiday list " + adminList_ + " cannot be used: ";
    EXPECT_EQ(installedPart, text.substr(0, installedPart.size()));
    EXPECT_EQ(adminPart, text.substr(installedPart.size(), adminPart.size())) << text;
    const std::string end = ".\n\nThe list built into the module, which runs to the end of 2027, is used instead.";
    ASSERT_GT(text.size(), end.size());
    EXPECT_EQ(end, text.substr(text.size() - end.size()));
    EXPECT_EQ(0, driver_.UnexpectedCount()) << driver_.Summary();
}

TEST_F(DebitDateRunTest, AHostWhosePaymentsCarryRtiIsNotAskedAnything)
{
    PutAdminList("not a list");
    standin::PaymentBatch rti(log_);
    standin::PaymentData payment = ValidPayment();
    payment.OffersRti = true;
    rti.Add(payment);
    driver_.On(kSaveCaption).Press(IDOK);
    EXPECT_EQ(S_OK, Run(2026, 12, 10, &rti));
    EXPECT_TRUE(HolidayMessages().empty()) << driver_.Summary();
    EXPECT_EQ(0, driver_.UnexpectedCount()) << driver_.Summary();
}
