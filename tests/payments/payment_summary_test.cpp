// The Payment Summary through the registered module, as the host uses it: what it says on a first
// export and on the same batch again, when a payee's bank details changed, when a known account is
// paid under a new name, when the history is damaged; Cancel; the administrators' switches; and
// what a saved file leaves in the payee history and the export log, byte for byte.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "modal/summary_answers.h"
#include "settings/settings_store.h"
#include "tests/support/files.h"
#include "tests/support/registered_bank.h"
#include "tests/support/sample_payment.h"

namespace {

const char kAccount[] = "401122_87654321";
const char kCompareLines[] =
    "Compare the number of payments and the total with your bank's upload page before you confirm the upload.\r\n"
    "Confirm any changed bank details with the payee, on a telephone number you already hold, before you pay.\r\n";

standin::PaymentData Payee(const wchar_t* name, const wchar_t* sortCode, const wchar_t* account, double amount,
                           const wchar_t* roll = L"")
{
    standin::PaymentData payment = ValidPayment(name, amount);
    payment.PayeeSortCode = sortCode;
    payment.PayeeAccountNumber = account;
    payment.PayeeRollNumber = roll;
    return payment;
}

std::vector<standin::PaymentData> ThreePayees()
{
    return {Payee(L"Acme Supplies Ltd", L"12-34-56", L"12345678", 100.10),
            Payee(L"J. Smith & Co", L"20-30-40", L"11112222", 0.20),
            Payee(L"Northern Water", L"30-40-50", L"22223333", 1250, L"ab 7")};
}

std::string Today()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char date[16] = {};
    std::snprintf(date, sizeof date, "%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
    return date;
}

// DD/MM/YYYY of Today().
std::string TodayShown()
{
    const std::string date = Today();
    return date.substr(8, 2) + "/" + date.substr(5, 2) + "/" + date.substr(0, 4);
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return parts;
        start = at + 1;
    }
}

standin::PaymentData Penny(long)
{
    return Payee(L"Many Pennies Ltd", L"12-34-56", L"12345678", 0.01);
}

}  // namespace

class PaymentSummaryTest : public RegisteredBankTest {
protected:
    void SetUp() override
    {
        RegisteredBankTest::SetUp();
        wchar_t common[MAX_PATH] = {};
        ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, common, CSIDL_COMMON_APPDATA, FALSE));
        dataFolder_ = std::wstring(common) + L"\\TOLVAR\\Tolvar EBanking";
        Clean();
    }
    void TearDown() override
    {
        Clean();
        RegisteredBankTest::TearDown();
    }
    void Clean()
    {
        DeleteFileW(HistoryPath().c_str());
        DeleteFileW(LogPath().c_str());
        RemoveDirectoryW(LogPath().c_str());
        for (const std::wstring& name : FolderEntries(dataFolder_)) {
            if (name.rfind(L"PAYEEHISTORY-DAMAGED-", 0) == 0)
                DeleteFileW((dataFolder_ + L"\\" + name).c_str());
        }
        WritePrivateProfileStringW(L"MIGRATED", L"ShowPaymentSummary", nullptr, IniPath().c_str());
        WritePrivateProfileStringW(L"MIGRATED", L"CheckPayees", nullptr, IniPath().c_str());
    }

    std::wstring HistoryPath() const { return dataFolder_ + L"\\PAYEEHISTORY.TXT"; }
    std::wstring LogPath() const { return dataFolder_ + L"\\EXPORTLOG.TXT"; }
    std::wstring IniPath() const { return dataFolder_ + L"\\BANKSERV.INI"; }
    void Set(const char* key, const char* value) { ASSERT_TRUE(WriteSetting(SettingsLocation(), key, value)); }

    // Exports the payments in the Lintrove layout for the paying account 40-11-22 87654321.
    ModuleRun Run(const std::vector<standin::PaymentData>& payments, ExportLayout layout = ExportLayout::Lintrove)
    {
        standin::PaymentBatch batch(log_);
        for (const standin::PaymentData& payment : payments)
            batch.Add(payment);
        standin::PaymentContext context(L"40-11-22", L"87654321", log_);
        ModuleRun run = Export(batch, context.Get(), layout);
        for (size_t i = 0; i < payments.size(); ++i)
            resultCodes_.push_back(batch.ResultCode(static_cast<long>(i)));
        return run;
    }

    // The summary's lines down to the comparison advice.
    std::string Head(long count, const std::string& total) const
    {
        return "Payment file: " + PaymentPath() +
               "\r\nLayout: Lintrove\r\nNumber of payments: " + std::to_string(count) + "\r\nTotal: " + total +
               "\r\nEvery payment passed its checks.\r\n\r\n" + kCompareLines;
    }
    std::string HistoryLine(const std::string& payee, const std::string& name, const std::string& details) const
    {
        return std::string(kAccount) + "\t" + payee + "\t" + name + "\t" + details + "\t" + Today() + "\r\n";
    }
    std::string ThreePayeesHistory() const
    {
        return "Payee history 1\r\n" + HistoryLine("ACMESUPPLIESLTD", "Acme Supplies Ltd", "123456\t12345678\t") +
               HistoryLine("JSMITHCO", "J. Smith & Co", "203040\t11112222\t") +
               HistoryLine("NORTHERNWATER", "Northern Water", "304050\t22223333\tAB 7") + "End 3\r\n";
    }
    std::vector<std::string> LogLines() const
    {
        std::vector<std::string> lines = Split(ReadBytes(LogPath()), '\n');
        if (!lines.empty() && lines.back().empty())
            lines.pop_back();
        return lines;
    }

    std::wstring dataFolder_;
    std::vector<long> resultCodes_;
};

TEST_F(PaymentSummaryTest, AFirstExportSaysNothingIsKnownThenTheSameBatchAgainListsNoPayee)
{
    const ModuleRun first = Run(ThreePayees());

    EXPECT_EQ(S_OK, first.Result);
    EXPECT_EQ(0, first.Status);
    EXPECT_FALSE(first.WindowTrouble);
    ASSERT_EQ(1u, first.Summaries.size());
    EXPECT_EQ(Head(3, "1,350.30") +
                  "\r\nNo earlier payment from this paying account is known, so payees are not compared this time.\r\n",
              first.Summaries[0]);
    const std::string file = "123456,12345678,ACME SUPPLIES LTD,100.10,12,Invoice\r\n"
                             "203040,11112222,J. SMITH & CO,0.20,12,Invoice\r\n"
                             "304050,22223333,NORTHERN WATER,1250.00,AB 7,Invoice\r\n";
    EXPECT_EQ(file, ReadBytes(PaymentPath()));
    EXPECT_EQ(ThreePayeesHistory(), ReadBytes(HistoryPath()));

    const ModuleRun again = Run(ThreePayees());

    EXPECT_EQ(0, again.Status);
    ASSERT_EQ(1u, again.Summaries.size());
    EXPECT_EQ(Head(3, "1,350.30"), again.Summaries[0]);
    EXPECT_EQ(ThreePayeesHistory(), ReadBytes(HistoryPath()));

    // One line a saved file, under the column names; its SHA-256 is the file's (sha256sum of the
    // bytes above).
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(3u, lines.size()) << ReadBytes(LogPath());
    EXPECT_EQ("Date\tTime\tUser\tComputer\tPaying account\tLayout\tFile\tRecords\tFailed a check\tTotal\tSHA-256\r",
              lines[0]);
    wchar_t user[257] = {};
    DWORD userSize = 257;
    GetUserNameW(user, &userSize);
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD computerSize = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(computer, &computerSize);
    for (size_t i = 1; i < 3; ++i) {
        const std::vector<std::string> fields = Split(lines[i], '\t');
        ASSERT_EQ(11u, fields.size()) << lines[i];
        EXPECT_EQ(Today(), fields[0]);
        EXPECT_EQ(8u, fields[1].size());
        EXPECT_EQ(Narrow(user), fields[2]);
        EXPECT_EQ(Narrow(computer), fields[3]);
        EXPECT_EQ(kAccount, fields[4]);
        EXPECT_EQ("Lintrove", fields[5]);
        EXPECT_EQ(PaymentPath(), fields[6]);
        EXPECT_EQ("3", fields[7]);
        EXPECT_EQ("0", fields[8]);
        EXPECT_EQ("1,350.30", fields[9]);
        EXPECT_EQ("04d57cedea5459f7fd3bdace4d14b5f813851f56951079a47fa554531864c465\r", fields[10]);
    }
}

TEST_F(PaymentSummaryTest, AChangedAccountNumberIsListedWithTheOldDetailsAndTheirDate)
{
    Run(ThreePayees());
    std::vector<standin::PaymentData> changed = ThreePayees();
    changed[0].PayeeAccountNumber = L"87654399";

    const ModuleRun run = Run(changed);

    EXPECT_EQ(0, run.Status);
    ASSERT_EQ(1u, run.Summaries.size());
    EXPECT_EQ(Head(3, "1,350.30") +
                  "\r\nPayees to check: 1\r\n"
                  "    Acme Supplies Ltd: bank details changed\r\n"
                  "        before: sort code 12-34-56, account 12345678 (last paid " +
                  TodayShown() +
                  ")\r\n"
                  "        now:    sort code 12-34-56, account 87654399\r\n",
              run.Summaries[0]);
    // Saved: the new details are the ones remembered.
    std::string history = ThreePayeesHistory();
    history.replace(history.find("123456\t12345678"), 15, "123456\t87654399");
    EXPECT_EQ(history, ReadBytes(HistoryPath()));
}

TEST_F(PaymentSummaryTest, AKnownAccountUnderANewNameAndANewPayeeAreListed)
{
    Run(ThreePayees());
    std::vector<standin::PaymentData> payments = ThreePayees();
    payments.push_back(Payee(L"A. Supplies", L"12-34-56", L"12345678", 5));
    payments.push_back(Payee(L"Brand New Ltd", L"60-70-80", L"1234567", 7.5));
    // A name written differently is the same payee: capitals, letters and digits only.
    payments[1].PayeeAccountName = L"J SMITH CO";

    const ModuleRun run = Run(payments);

    ASSERT_EQ(1u, run.Summaries.size());
    EXPECT_EQ(Head(5, "1,362.80") +
                  "\r\nPayees to check: 2\r\n"
                  "    A. Supplies: sort code 12-34-56, account 12345678 last paid to Acme Supplies "
                  "Ltd (" +
                  TodayShown() +
                  ")\r\n"
                  "    Brand New Ltd: new payee, sort code 60-70-80, account 01234567\r\n",
              run.Summaries[0]);
}

TEST_F(PaymentSummaryTest, CancelWritesNothingAndKeepsHistoryLogAndResultCodes)
{
    Run(ThreePayees());
    const std::string history = ReadBytes(HistoryPath());
    const std::string log = ReadBytes(LogPath());
    std::vector<standin::PaymentData> payments = ThreePayees();
    payments[0].PayeeAccountNumber = L"87654399";
    payments.push_back(Payee(L"O'Brien", L"12-34-56", L"12345678", 3));  // the apostrophe fails
    summaryAnswer_ = modal::SummaryAnswer::Cancel;
    resultCodes_.clear();

    const ModuleRun run = Run(payments);

    EXPECT_EQ(S_OK, run.Result);
    EXPECT_EQ(3, run.Status);
    EXPECT_FALSE(run.WindowTrouble);
    ASSERT_EQ(1u, run.Summaries.size());
    EXPECT_NE(std::string::npos, run.Summaries[0].find("Payments that failed a check: 1 (they are in the file all the "
                                                       "same; correct them in your accounts and export again)\r\n"
                                                       "    Payment 4, O'Brien: Invalid or missing Payee bank account "
                                                       "name.\r\n"))
        << run.Summaries[0];
    EXPECT_FALSE(FileExists(PaymentPath()));
    EXPECT_EQ(std::vector<std::wstring>{}, FolderEntries(Wide(folder_)));
    EXPECT_EQ(history, ReadBytes(HistoryPath()));
    EXPECT_EQ(log, ReadBytes(LogPath()));
    EXPECT_EQ((std::vector<long>{0, 0, 0, 30}), resultCodes_);
}

TEST_F(PaymentSummaryTest, FailedPaymentsAreListedWithTheirTextsAndOnlyThoseThatPassedAreRemembered)
{
    std::vector<standin::PaymentData> payments = ThreePayees();
    payments[1].PayeeAccountName = L"O'Brien";  // the apostrophe fails the Lintrove name check

    const ModuleRun run = Run(payments);

    EXPECT_EQ(S_FALSE, run.Result);
    EXPECT_EQ(1, run.Status);
    ASSERT_EQ(1u, run.Summaries.size());
    EXPECT_EQ("Payment file: " + PaymentPath() +
                  "\r\nLayout: Lintrove\r\nNumber of payments: 3\r\nTotal: 1,350.30\r\n"
                  "Payments that failed a check: 1 (they are in the file all the same; correct them in your accounts "
                  "and export again)\r\n"
                  "    Payment 2, O'Brien: Invalid or missing Payee bank account name.\r\n\r\n" +
                  kCompareLines +
                  "\r\nNo earlier payment from this paying account is known, so payees are not compared this time.\r\n",
              run.Summaries[0]);
    EXPECT_EQ("Payee history 1\r\n" + HistoryLine("ACMESUPPLIESLTD", "Acme Supplies Ltd", "123456\t12345678\t") +
                  HistoryLine("NORTHERNWATER", "Northern Water", "304050\t22223333\tAB 7") + "End 2\r\n",
              ReadBytes(HistoryPath()));
    const std::vector<std::string> fields = Split(LogLines().back(), '\t');
    ASSERT_EQ(11u, fields.size());
    EXPECT_EQ("3", fields[7]);
    EXPECT_EQ("1", fields[8]);
}

// The payee is kept as the history compares it: the sort code's digits, a short account number
// with zeros in front, the roll number in capitals without the spaces at its ends.
TEST_F(PaymentSummaryTest, PayeesAreRememberedInTheFormTheyAreComparedIn)
{
    const ModuleRun run = Run({Payee(L"Northern Water", L"30 40 50", L"2222333 ", 1250, L"  ab 7  ")});

    EXPECT_EQ(0, run.Status);
    EXPECT_EQ("Payee history 1\r\n" + HistoryLine("NORTHERNWATER", "Northern Water", "304050\t02222333\tAB 7") +
                  "End 1\r\n",
              ReadBytes(HistoryPath()));
    // Paid again as the host gives it: known and unchanged.
    const ModuleRun again = Run({Payee(L"Northern Water", L"30-40-50", L"2222333", 1250, L"AB 7")});
    ASSERT_EQ(1u, again.Summaries.size());
    EXPECT_EQ(std::string::npos, again.Summaries[0].find("Payees to check")) << again.Summaries[0];
}

TEST_F(PaymentSummaryTest, TheLedgerwaySummaryGivesTheDebitDate)
{
    const ModuleRun run = Run(ThreePayees(), ExportLayout::Ledgerway);

    EXPECT_EQ(0, run.Status);
    ASSERT_EQ(1u, run.Summaries.size());
    // The debit date the file's records carry (the dialog offers the earliest the bank can use).
    const std::string file = ReadBytes(PaymentPath());
    const size_t record = file.find("\r\n") + 2;
    const std::string debitDate = file.substr(record, 10);
    EXPECT_EQ(0u, run.Summaries[0].find("Payment file: " + PaymentPath() + "\r\nLayout: Ledgerway\r\nDebit date: " +
                                        debitDate + "\r\nNumber of payments: 3\r\nTotal: 1,350.30\r\n"))
        << run.Summaries[0];
    EXPECT_EQ("Ledgerway", Split(LogLines().back(), '\t')[5]);
}

TEST_F(PaymentSummaryTest, WithTheSummaryOffItShowsOnlyWhenAPayeeNeedsChecking)
{
    Set("ShowPaymentSummary", "FALSE");

    const ModuleRun first = Run(ThreePayees());
    const ModuleRun again = Run(ThreePayees());
    std::vector<standin::PaymentData> changed = ThreePayees();
    changed[2].PayeeSortCode = L"30-40-51";
    const ModuleRun third = Run(changed);

    EXPECT_EQ(0, first.Status);
    EXPECT_TRUE(first.Summaries.empty());
    EXPECT_TRUE(FileExists(PaymentPath()));
    EXPECT_TRUE(again.Summaries.empty());
    ASSERT_EQ(1u, third.Summaries.size());
    EXPECT_NE(std::string::npos, third.Summaries[0].find("Payees to check: 1\r\n    Northern Water: bank details "
                                                         "changed\r\n"));
    EXPECT_EQ(4u, LogLines().size());
}

TEST_F(PaymentSummaryTest, WithThePayeeCheckOffNoHistoryIsReadOrKept)
{
    Set("CheckPayees", "no");

    const ModuleRun run = Run(ThreePayees());

    ASSERT_EQ(1u, run.Summaries.size());
    EXPECT_EQ(Head(3, "1,350.30"), run.Summaries[0]);
    EXPECT_FALSE(FileExists(HistoryPath()));
    EXPECT_EQ(2u, LogLines().size());
}

TEST_F(PaymentSummaryTest, ADamagedHistoryIsKeptAsideAndANewOneBegins)
{
    const std::string damaged = "Payee history 1\r\n401122_87654321\tACME\tAcme\r\nEnd 1\r\n";
    WriteBytes(HistoryPath(), damaged);

    const ModuleRun run = Run(ThreePayees());

    EXPECT_EQ(0, run.Status);
    ASSERT_EQ(1u, run.Summaries.size());
    const std::string text = run.Summaries[0];
    const std::string said = "\r\nPayees could not be compared: the payee history " + Narrow(HistoryPath()) +
                             " is damaged (line 2: a damaged payee line). When this file is saved it is kept as "
                             "PAYEEHISTORY-DAMAGED-";
    ASSERT_EQ(Head(3, "1,350.30") + said, text.substr(0, Head(3, "1,350.30").size() + said.size())) << text;
    EXPECT_EQ(" and a new history begins.\r\n", text.substr(text.size() - 28));
    // The name the summary gave holds the damaged bytes.
    const size_t nameAt = text.find("PAYEEHISTORY-DAMAGED-");
    const std::string aside = text.substr(nameAt, text.find(' ', nameAt) - nameAt);
    EXPECT_EQ(damaged, ReadBytes(dataFolder_ + L"\\" + Wide(aside)));
    EXPECT_EQ(ThreePayeesHistory(), ReadBytes(HistoryPath()));
}

TEST_F(PaymentSummaryTest, TotalsAreExactInPence)
{
    const ModuleRun small = Run(
        {Payee(L"Ten Pence", L"12-34-56", L"12345678", 0.10), Payee(L"Twenty Pence", L"20-30-40", L"11112222", 0.20)});
    ASSERT_EQ(1u, small.Summaries.size());
    EXPECT_NE(std::string::npos, small.Summaries[0].find("\r\nTotal: 0.30\r\n")) << small.Summaries[0];

    standin::PaymentBatch batch(log_);
    batch.UseGenerator(100000, &Penny);
    standin::PaymentContext context(L"40-11-22", L"87654321", log_);
    const ModuleRun many = Export(batch, context.Get(), ExportLayout::Lintrove);
    ASSERT_EQ(1u, many.Summaries.size());
    EXPECT_NE(std::string::npos, many.Summaries[0].find("\r\nNumber of payments: 100000\r\nTotal: 1,000.00\r\n"))
        << many.Summaries[0].substr(0, 400);
    EXPECT_NE(std::string::npos, LogLines().back().find("\t100000\t0\t1,000.00\t"));
}

TEST_F(PaymentSummaryTest, AtMostFiveHundredPayeesAreListedThenHowManyMore)
{
    Run({Payee(L"Known Ltd", L"12-34-56", L"12345678", 1)});
    std::vector<standin::PaymentData> payments;
    for (int i = 0; i < 600; ++i)
        payments.push_back(
            Payee((L"Payee " + std::to_wstring(i)).c_str(), L"12-34-56", std::to_wstring(10000000 + i).c_str(), 1));

    const ModuleRun run = Run(payments);

    ASSERT_EQ(1u, run.Summaries.size());
    const std::string& text = run.Summaries[0];
    EXPECT_NE(std::string::npos, text.find("\r\nPayees to check: 600\r\n    Payee 0: new payee, sort code "
                                           "12-34-56, account 10000000\r\n"));
    EXPECT_NE(std::string::npos, text.find("    Payee 499: new payee"));
    EXPECT_EQ(std::string::npos, text.find("    Payee 500: new payee"));
    EXPECT_EQ("    Payee 499: new payee, sort code 12-34-56, account 10000499\r\n    and 100 more\r\n",
              text.substr(text.find("    Payee 499: ")));
}

TEST_F(PaymentSummaryTest, ALogThatCannotBeWrittenIsSaidAndTheFileIsStillSaved)
{
    // A folder where the log would be: nothing can be appended to it.
    ASSERT_TRUE(CreateDirectoryW(LogPath().c_str(), nullptr));

    const ModuleRun run = Run(ThreePayees());

    EXPECT_EQ(0, run.Status);
    ASSERT_EQ(1u, run.Summaries.size());
    const std::string said = "\r\nThe export log cannot be written: " + Narrow(LogPath()) + " (";
    const size_t at = run.Summaries[0].find(said);
    ASSERT_NE(std::string::npos, at) << run.Summaries[0];
    EXPECT_EQ("Every payment passed its checks.", run.Summaries[0].substr(at - 32, 32));
    const size_t end = run.Summaries[0].find("\r\n", at + 2);
    EXPECT_EQ("). This file will not be recorded in it.", run.Summaries[0].substr(end - 40, 40)) << run.Summaries[0];
    EXPECT_TRUE(FileExists(PaymentPath()));
    EXPECT_EQ(ThreePayeesHistory(), ReadBytes(HistoryPath()));
}
