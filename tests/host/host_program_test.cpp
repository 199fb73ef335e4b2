// The sample host program run as its own process under Wine against the registered module, as a
// user or a benchmark runs it: the sample batch exported in both layouts (the written files byte for
// byte, the printed table), the RTI batch, cancelled and empty runs, bad input that never reaches
// the module, the statement import, and generated batches. One in-process case plays the user of an
// interactive run through the modal-UI driver.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "hostprogram/host_export.h"
#include "modal/modal_driver.h"
#include "modal/summary_answers.h"
#include "payments/payment_resources.h"
#include "support/text_conversion.h"
#include "tests/support/com_test.h"
#include "tests/support/files.h"
#include "tests/support/process.h"

namespace {

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

struct HostRun {
    DWORD Code = 0;
    std::string Output;  // standard output and error together
};

// The program's lines, without Wine's own notes about the drives the save dialog looks at.
std::string WithoutWineNotes(const std::string& output)
{
    std::istringstream lines(output);
    std::string line, kept;
    while (std::getline(lines, line)) {
        if (line.compare(0, 6, "wine: ") != 0)
            kept += line + "\n";
    }
    return kept;
}

const char kLintroveBytes[] = "123456,12345678,J. SMITH & CO,1234.50,12,March invoice\r\n"
                              "200000,01234567,HILL FARM SUPPLIES,250.00,1001,Feed and seed\r\n"
                              "301234,55667788,O'BRIEN GARDEN CAR,89.99,7,Hedge cutting\r\n"
                              "12345,11223344,NORTHGATE MOTORS,410.00,88,Van service\r\n"
                              "601613,31926819,BRIGHT BUILDING SO,75.00,AB/12-3,Mortgage top-up\r\n"
                              "404784,70872490,M. KOWALSKI,-5.00,19,Refund reversal\r\n"
                              "204577,43218765,SMITH  JONES & CO,1200.00,INV#77,Consultancy\r\n";

const char kLedgerwayBytes[] =
    "DebitDate,BankRef,DBAcNo,DBAcType,DBSC,BenName,BenAcNo,BenAcType,BenSC,BenRef,Amount,RemAdvReq\r\n"
    "07/12/2026,0012,87654321,00,401122,J. Smith & Co,12345678,00,123456,Acme Ltd,1234.50,Y\r\n"
    "07/12/2026,1001,87654321,00,401122,Hill Farm Supplies,1234567,00,200000,Acme Ltd,250.00,Y\r\n"
    "07/12/2026,0007,87654321,00,401122,O'Brien Garden Care,55667788,00,301234,Acme Ltd,89.99,Y\r\n"
    "07/12/2026,0088,87654321,00,401122,Northgate Motors,11223344,00,12345,Acme Ltd,410.00,Y\r\n"
    "07/12/2026,0000,87654321,00,401122,Bright Building Society,31926819,00,601613,AB/12-3,75.00,Y\r\n"
    "07/12/2026,0019,87654321,00,401122,M. Kowalski,70872490,00,404784,Acme Ltd,-5.00,Y\r\n"
    "07/12/2026,inv#77,87654321,00,401122,Smith  Jones & Co,43218765,00,204577,Acme Ltd,1200.00,Y\r\n";

class HostProgramTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registered_ = RegisterBuiltModule() == 0; }

    void SetUp() override
    {
        ASSERT_TRUE(registered_) << "regsvr32 could not register the built module";
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "bmhost-" + std::to_string(GetCurrentProcessId()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name();
        CreateDirectoryA(folder_.c_str(), nullptr);
        // The summary compares payees with the module's history of earlier runs: each test starts
        // with none.
        wchar_t common[MAX_PATH] = {};
        SHGetSpecialFolderPathW(nullptr, common, CSIDL_COMMON_APPDATA, FALSE);
        DeleteFileW((std::wstring(common) + L"\\TOLVAR\\Tolvar EBanking\\PAYEEHISTORY.TXT").c_str());
    }

    void TearDown() override
    {
        WIN32_FIND_DATAA found{};
        const HANDLE search = FindFirstFileA((folder_ + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileA((folder_ + "\\" + found.cFileName).c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(folder_.c_str());
    }

    std::string Path(const std::string& name) const { return folder_ + "\\" + name; }
    static std::string Sample(const wchar_t* name) { return Narrow(SourcePath(std::wstring(L"samples\\") + name)); }

    HostRun Host(const std::string& arguments)
    {
        const ProcessResult result = RunProcess(L"\"" + BuildPath(L"brenmark_host.exe") + L"\" " + Wide(arguments));
        return {result.ExitCode, WithoutWineNotes(result.Output)};
    }

    std::string folder_;
    static bool registered_;
};

bool HostProgramTest::registered_ = false;

// ---------------------------------------------------------------------------------------------
// Exports

TEST_F(HostProgramTest, ExportsTheSampleBatchInTheLintroveLayout)
{
    const std::string output = Path("lintrove.csv");

    const HostRun run = Host("export " + Quoted(Sample(L"payments.csv")) +
                             " --sort-code 40-11-22 --account 87654321 --layout lintrove --output " + Quoted(output));

    EXPECT_EQ(1u, run.Code) << run.Output;
    EXPECT_EQ(kLintroveBytes, ReadBytes(output));
    EXPECT_EQ(
        "Batch: " + Sample(L"payments.csv") +
            ", 7 payments\n"
            "Dialogs:\n"
            "  \"Brenmark Ledgerway/Lintrove Payment Processing\": Lintrove layout: OK\n"
            "  \"Save As\": " +
            output +
            ": Save\n"
            "  \"Payment Summary\": Save\n"
            "Output file: " +
            output +
            "\n"
            "Result: S_FALSE\n"
            "Status: 1 (written, some failed)\n"
            "Payments: 7, 3 passed, 4 failed\n"
            "\n"
            "Payment  Line  Payee                     Amount  Code  Result text\n"
            "      1     2  J. Smith & Co            1234.50     0  Payment processed successfully.\n"
            "      2     3  Hill Farm Supplies        250.00     0  Payment processed successfully.\n"
            "      3     4  O'Brien Garden Care        89.99    30  Invalid or missing Payee bank account name.\n"
            "      4     5  Northgate Motors          410.00    28  Invalid Payee Sort Code: the sort code must be "
            "6 digits in length (excluding hyphens).\n"
            "      5     6  Bright Building Society    75.00     0  Payment processed successfully.\n"
            "      6     7  M. Kowalski                -5.00    21  Invalid Amount specified for payment: negative "
            "payments not supported.\n"
            "      7     8  Smith, Jones & Co        1200.00    27  Invalid Payee BACS Reference. This value must "
            "comprise only alpha numeric values, and be no more than 18 characters long.\n"
            "\n"
            "Payment Summary:\n"
            "  Payment file: " +
            output +
            "\n"
            "  Layout: Lintrove\n"
            "  Number of payments: 7\n"
            "  Total: 3,254.49\n"
            "  Payments that failed a check: 4 (they are in the file all the same; correct them in your accounts and "
            "export again)\n"
            "      Payment 3, O'Brien Garden Care: Invalid or missing Payee bank account name.\n"
            "      Payment 4, Northgate Motors: Invalid Payee Sort Code: the sort code must be 6 digits in length "
            "(excluding hyphens).\n"
            "      Payment 6, M. Kowalski: Invalid Amount specified for payment: negative payments not supported.\n"
            "      Payment 7, Smith, Jones & Co: Invalid Payee BACS Reference. This value must comprise only alpha "
            "numeric values, and be no more than 18 characters long.\n"
            "\n"
            "  Compare the number of payments and the total with your bank's upload page before you confirm the "
            "upload.\n"
            "  Confirm any changed bank details with the payee, on a telephone number you already hold, before you "
            "pay.\n"
            "\n"
            "  No earlier payment from this paying account is known, so payees are not compared this time.\n",
        run.Output);
}

TEST_F(HostProgramTest, ExportsTheSampleBatchInTheLedgerwayLayoutWithDateAndRemittance)
{
    const std::string output = Path("ledgerway.csv");

    const HostRun run = Host("export " + Quoted(Sample(L"payments.csv")) +
                             " --sort-code 40-11-22 --account 87654321 --layout ledgerway --debit-date 2026-12-07"
                             " --today 2026-12-01 --remittance yes --output " +
                             Quoted(output));

    EXPECT_EQ(1u, run.Code) << run.Output;
    EXPECT_EQ(kLedgerwayBytes, ReadBytes(output));
    const std::string dialog = "  \"Brenmark Ledgerway/Lintrove Payment Processing\": Ledgerway layout, debit date "
                               "07/12/2026, remittance advice yes: OK\n";
    EXPECT_NE(std::string::npos, run.Output.find(dialog)) << run.Output;
    const std::string table =
        "Payment  Line  Payee                     Amount  Code  Result text\n"
        "      1     2  J. Smith & Co            1234.50     0  Payment processed successfully.\n"
        "      2     3  Hill Farm Supplies        250.00    29  Invalid Payee Bank Account Number: the account "
        "number must be 8 digits.\n"
        "      3     4  O'Brien Garden Care        89.99     0  Payment processed successfully.\n"
        "      4     5  Northgate Motors          410.00    28  Invalid Payee Sort Code: the sort code must be 6 "
        "digits in length (excluding hyphens).\n"
        "      5     6  Bright Building Society    75.00     0  Payment processed successfully.\n"
        "      6     7  M. Kowalski                -5.00    21  Invalid Amount specified for payment: negative "
        "payments not supported.\n"
        "      7     8  Smith, Jones & Co        1200.00    30  Invalid or missing Payee bank account name.\n";
    EXPECT_NE(std::string::npos, run.Output.find("Result: S_FALSE\nStatus: 1 (written, some failed)\n"
                                                 "Payments: 7, 3 passed, 4 failed\n\n" +
                                                 table))
        << run.Output;
}

TEST_F(HostProgramTest, TheOptionsDialogOpensOnTheEarliestDebitDateForThePinnedToday)
{
    const std::string output = Path("earliest.csv");

    // Made on Christmas Eve 2026: Christmas Day and Boxing Day's substitute put the date at the 30th.
    const HostRun run = Host("export " + Quoted(Sample(L"payments.csv")) +
                             " --sort-code 40-11-22 --account 87654321 --layout ledgerway --today 2026-12-24"
                             " --output " +
                             Quoted(output));

    EXPECT_EQ(1u, run.Code) << run.Output;
    EXPECT_NE(std::string::npos, run.Output.find("  \"Brenmark Ledgerway/Lintrove Payment Processing\": Ledgerway "
                                                 "layout, debit date 30/12/2026, remittance advice no: OK\n"))
        << run.Output;
    EXPECT_EQ(std::string::npos, run.Output.find("Debit Date")) << run.Output;
    EXPECT_EQ(0u, ReadBytes(output).find("DebitDate,BankRef,DBAcNo,DBAcType,DBSC,BenName,BenAcNo,BenAcType,BenSC,"
                                         "BenRef,Amount,RemAdvReq\r\n30/12/2026,"));
}

TEST_F(HostProgramTest, TheDebitDateQuestionIsAnsweredAndReported)
{
    const std::string output = Path("question.csv");
    const std::string question =
        "  \"Debit Date\" \"Friday 25/12/2026 is Christmas Day, a bank holiday in England and Wales: Bacs does not "
        "process payments on it. Use Tuesday 29/12/2026, the next date the bank can debit, instead?\": ";
    const std::string command = "export " + Quoted(Sample(L"payments.csv")) +
                                " --layout ledgerway --today 2026-12-10 --debit-date 2026-12-25 --output " +
                                Quoted(output);

    const HostRun offered = Host(command + " --debit-date-answer yes");
    EXPECT_EQ(1u, offered.Code) << offered.Output;
    EXPECT_NE(std::string::npos, offered.Output.find(question + "Yes\n")) << offered.Output;
    EXPECT_EQ(0u, ReadBytes(output).find("DebitDate,BankRef,DBAcNo,DBAcType,DBSC,BenName,BenAcNo,BenAcType,BenSC,"
                                         "BenRef,Amount,RemAdvReq\r\n29/12/2026,"));

    // Without an answer the date given is kept, as the user who knows their bank may.
    const HostRun kept = Host(command);
    EXPECT_EQ(1u, kept.Code) << kept.Output;
    EXPECT_NE(std::string::npos, kept.Output.find(question + "No\n")) << kept.Output;
    EXPECT_EQ(0u, ReadBytes(output).find("DebitDate,BankRef,DBAcNo,DBAcType,DBSC,BenName,BenAcNo,BenAcType,BenSC,"
                                         "BenRef,Amount,RemAdvReq\r\n25/12/2026,"));
}

TEST_F(HostProgramTest, RtiPaymentsGetNoOptionsDialogAndTheLintroveLayout)
{
    const std::string output = Path("rti.csv");

    const HostRun run = Host("export " + Quoted(Sample(L"payments-rti.csv")) + " --rti --output " + Quoted(output));

    EXPECT_EQ(1u, run.Code) << run.Output;
    EXPECT_EQ("123456,12345678,J. SMITH,1500.00,1001,/A1B\r\n"
              "200000,23456789,A. BAKER,1420.25,1002,/A B\r\n"
              "301234,34567890,R. O. EVANS,1380.00,1003,A123\r\n"
              "404784,45678901,T. OKAFOR,95.10,1004,Expenses March\r\n"
              "601613,56789012,M. KOWALSKI,1610.40,1005,/AB \r\n",
              ReadBytes(output));
    EXPECT_NE(std::string::npos, run.Output.find("Dialogs:\n  \"Save As\": " + output +
                                                 ": Save\n  \"Payment Summary\": Save\nOutput file:"))
        << run.Output;
    const std::string rtiText =
        "Invalid RTI Ref: Value must start with / followed by 3 alpha-numeric characters (excluding & or spaces).";
    EXPECT_NE(std::string::npos,
              run.Output.find("Payment  Line  Payee         Amount  Code  Result text\n"
                              "      1     2  J. Smith     1500.00     0  Payment processed successfully.\n"
                              "      2     3  A. Baker     1420.25    36  " +
                              rtiText +
                              "\n"
                              "      3     4  R. O. Evans  1380.00    36  " +
                              rtiText +
                              "\n"
                              "      4     5  T. Okafor      95.10     0  Payment processed successfully.\n"
                              "      5     6  M. Kowalski  1610.40    36  " +
                              rtiText + "\n"))
        << run.Output;
}

TEST_F(HostProgramTest, AllValidBatchExitsWithZeroAndAnExistingFileIsReplaced)
{
    const std::string batch = Path("valid.csv");
    WriteBytes(batch, "PayeeSortCode,PayeeAccountNumber,PayeeAccountName,Amount,PayeeBacsReference,Details\n"
                      "12-34-56,12345678,J. Smith,10.5,42,Rent\n");
    const std::string output = Path("out.txt");
    WriteBytes(output, "an older file\r\n");

    const HostRun run = Host("export " + Quoted(batch) + " --layout lintrove --output " + Quoted(output));

    EXPECT_EQ(0u, run.Code) << run.Output;
    EXPECT_EQ("123456,12345678,J. SMITH,10.50,42,Rent\r\n", ReadBytes(output));
    // The save dialog asks before it replaces the file; its caption is the system's own.
    const size_t save = run.Output.find("  \"Save As\": " + output + ": Save\n  \"");
    EXPECT_NE(std::string::npos, save) << run.Output;
    EXPECT_NE(std::string::npos,
              run.Output.find("\": Yes\n  \"Payment Summary\": Save\nOutput file: " + output + "\n", save))
        << run.Output;
    EXPECT_NE(std::string::npos, run.Output.find("Result: S_OK\nStatus: 0 (written, all passed)\n"
                                                 "Payments: 1, 1 passed, 0 failed\n"))
        << run.Output;
}

TEST_F(HostProgramTest, InteractiveRunWithoutDisplayIsAnsweredFromTheOptions)
{
    // The test prefix draws with Wine's null driver: nobody could see the dialogs.
    const std::string output = Path("shown.csv");

    const HostRun run = Host("export " + Quoted(Sample(L"payments.csv")) +
                             " --interactive --layout lintrove --output " + Quoted(output));

    EXPECT_EQ(1u, run.Code) << run.Output;
    EXPECT_EQ(0u, run.Output.find("brenmark_host: no display: the dialogs are answered from the options\n"))
        << run.Output;
    EXPECT_EQ(kLintroveBytes, ReadBytes(output));
}

TEST_F(HostProgramTest, CancelledSaveWritesNothingAndEndsWithCodeTwo)
{
    const std::string output = Path("never.csv");

    const HostRun run = Host("export " + Quoted(Sample(L"payments.csv")) +
                             " --layout lintrove --cancel-save --output " + Quoted(output));

    EXPECT_EQ(2u, run.Code) << run.Output;
    EXPECT_FALSE(FileExists(output));
    EXPECT_NE(std::string::npos, run.Output.find("  \"Save As\": Cancel\n"
                                                 "Output file: none\n"
                                                 "Result: S_OK\n"
                                                 "Status: 3 (nothing written: empty batch or cancelled)\n"
                                                 "Payments: 7, 0 passed, 0 failed, 7 not reached\n"))
        << run.Output;
    EXPECT_NE(std::string::npos,
              run.Output.find("      1     2  J. Smith & Co            1234.50     -  (not reached)\n"))
        << run.Output;
}

TEST_F(HostProgramTest, CancelledSummaryWritesNothingAndPrintsWhatTheUserRead)
{
    const std::string output = Path("unsure.csv");

    const HostRun run = Host("export " + Quoted(Sample(L"payments.csv")) +
                             " --layout lintrove --summary cancel --output " + Quoted(output));

    EXPECT_EQ(2u, run.Code) << run.Output;
    EXPECT_FALSE(FileExists(output));
    EXPECT_EQ(std::vector<std::wstring>{}, FolderEntries(Wide(folder_)));
    EXPECT_NE(std::string::npos, run.Output.find(": Save\n"
                                                 "  \"Payment Summary\": Cancel\n"
                                                 "Output file: none\n"
                                                 "Result: S_OK\n"
                                                 "Status: 3 (nothing written: empty batch or cancelled)\n"))
        << run.Output;
    // The result codes the run put stay.
    EXPECT_NE(std::string::npos, run.Output.find("      3     4  O'Brien Garden Care        89.99    30  "))
        << run.Output;
    EXPECT_NE(std::string::npos, run.Output.find("\nPayment Summary:\n  Payment file: " + output +
                                                 "\n  Layout: Lintrove\n  Number of payments: 7\n"))
        << run.Output;
}

TEST_F(HostProgramTest, TheSummaryIsAnsweredSaveOrCancelOnly)
{
    const HostRun run =
        Host("export " + Quoted(Sample(L"payments.csv")) + " --summary maybe --output " + Quoted(Path("x.csv")));

    EXPECT_EQ(2u, run.Code);
    EXPECT_NE(std::string::npos, run.Output.find("--summary is save or cancel, not \"maybe\"")) << run.Output;
}

TEST_F(HostProgramTest, CancelledOptionsLeaveTheRunOnItsDefaults)
{
    // Cancel keeps the run's defaults: the Lintrove layout, whatever the dialog offered.
    const std::string output = Path("defaults.csv");

    const HostRun run = Host("export " + Quoted(Sample(L"payments.csv")) +
                             " --sort-code 40-11-22 --account 87654321 --cancel-options --output " + Quoted(output));

    EXPECT_EQ(1u, run.Code) << run.Output;
    EXPECT_EQ(kLintroveBytes, ReadBytes(output));
    EXPECT_NE(std::string::npos, run.Output.find("Dialogs:\n"
                                                 "  \"Brenmark Ledgerway/Lintrove Payment Processing\": Cancel\n"
                                                 "  \"Save As\": " +
                                                 output + ": Save\n"))
        << run.Output;
}

TEST_F(HostProgramTest, EmptyBatchShowsNoDialogAndPasses)
{
    const std::string batch = Path("empty.csv");
    WriteBytes(batch, "PayeeSortCode,PayeeAccountNumber,PayeeAccountName,Amount\r\n");
    const std::string output = Path("none.csv");

    const HostRun run = Host("export " + Quoted(batch) + " --output " + Quoted(output));

    EXPECT_EQ(0u, run.Code) << run.Output;
    EXPECT_FALSE(FileExists(output));
    EXPECT_EQ("Batch: " + batch +
                  ", 0 payments\n"
                  "Dialogs:\n"
                  "  (none)\n"
                  "Output file: none\n"
                  "Result: S_OK\n"
                  "Status: 3 (nothing written: empty batch or cancelled)\n"
                  "Payments: 0, 0 passed, 0 failed\n",
              run.Output);
}

TEST_F(HostProgramTest, ExportsIntoFoldersNamedInPolishAndChinese)
{
    for (const std::wstring name : {L"P\u0142atno\u015bci \u017b\u00f3\u0142\u0107", L"\u4ed8\u6b3e\u6587\u4ef6"}) {
        const std::wstring folder = Wide(folder_) + L"\\" + name;
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        const std::wstring output = folder + L"\\lintrove.csv";

        const ProcessResult result = RunProcess(
            L"\"" + BuildPath(L"brenmark_host.exe") + L"\" export \"" + SourcePath(L"samples\\payments.csv") +
            L"\" --sort-code 40-11-22 --account 87654321 --layout lintrove --output \"" + output + L"\"");

        const std::string printed = WithoutWineNotes(result.Output);
        const std::string bytes = ReadBytes(output);
        DeleteFileW(output.c_str());
        RemoveDirectoryW(folder.c_str());
        EXPECT_EQ(1u, result.ExitCode) << printed;
        EXPECT_EQ(kLintroveBytes, bytes);
        EXPECT_NE(std::string::npos, printed.find("  \"Save As\": " + Utf8FromWide(output) +
                                                  ": Save\n  \"Payment Summary\": Save\nOutput file: " +
                                                  Utf8FromWide(output) + "\nResult: S_FALSE\n"))
            << printed;
    }
}

TEST_F(HostProgramTest, AnOutputFileThatCannotBeReplacedStaysAndTheMessageIsPrinted)
{
    const std::string output = Path("held.csv");
    WriteBytes(output, "held elsewhere\r\n");
    // Another program reads the file and lets others read and write it, but not remove it.
    const HANDLE held = CreateFileA(output.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    const HostRun run =
        Host("export " + Quoted(Sample(L"payments.csv")) + " --layout lintrove --output " + Quoted(output));

    CloseHandle(held);
    EXPECT_EQ(2u, run.Code) << run.Output;
    EXPECT_EQ("held elsewhere\r\n", ReadBytes(output));
    for (const std::wstring& name : FolderEntries(Wide(folder_)))
        EXPECT_NE(0u, name.find(L"held.csv.partial")) << "an unfinished copy is left: " << Narrow(name);
    const size_t message =
        run.Output.find("\n  \"Payment Export\" \"The payment file could not be written to " + output + " Reason: ");
    ASSERT_NE(std::string::npos, message) << run.Output;
    EXPECT_NE(std::string::npos, run.Output.find(" The file there, if there was one, is unchanged.\": OK\n"
                                                 "Output file: none\n"
                                                 "Result: S_FALSE\n"
                                                 "Status: 2 (not written)\n",
                                                 message))
        << run.Output;
}

TEST_F(HostProgramTest, BadBatchNeverReachesTheModule)
{
    const std::string batch = Path("bad.csv");
    WriteBytes(batch, "PayeeSortCode,PayeeAccountNumber,PayeeAccountName,Amount\n"
                      "12-34-56,12345678,J. Smith,10.5\n"
                      "12-34-56,12345678,A. Baker\n");
    const std::string output = Path("out.csv");

    const HostRun run = Host("export " + Quoted(batch) + " --layout lintrove --output " + Quoted(output));

    EXPECT_EQ(2u, run.Code);
    EXPECT_EQ("brenmark_host: " + batch + ":3: Amount: missing: the line has 3 fields, the column-name line names 4\n",
              run.Output);
    // An unattended run that reached the module would have written the first payment.
    EXPECT_FALSE(FileExists(output));
}

TEST_F(HostProgramTest, MissingTypeLibrariesAreNamed)
{
    const HostRun run = Host("import " + Quoted(Sample(L"statement.csv")) + " --type-libraries " + Quoted(folder_));

    EXPECT_EQ(2u, run.Code);
    EXPECT_EQ("brenmark_host: The folder " + folder_ +
                  " does not hold the host type libraries (TolvarEBanking.tlb, TolvarBankPayments.tlb, "
                  "TolvarBankReconciliation.tlb)\n",
              run.Output);
}

TEST_F(HostProgramTest, WithoutTheModuleRegisteredTheProgramSaysSo)
{
    ASSERT_EQ(0u, RegisterBuiltModule(L"/u"));
    const HostRun run = Host("import " + Quoted(Sample(L"statement.csv")));
    const DWORD registered = RegisterBuiltModule();

    EXPECT_EQ(2u, run.Code);
    EXPECT_EQ("brenmark_host: The bank module is not registered: no class for TolvarBrenmarkLintrove.Bank: "
              "0x800401F3 CO_E_CLASSSTRING. Register TolvarBrenmarkLintrove.dll with regsvr32 first.\n",
              run.Output);
    EXPECT_EQ(0u, registered);
}

// ---------------------------------------------------------------------------------------------
// Import

TEST_F(HostProgramTest, ImportPrintsTheTransactionsTheHostReceived)
{
    const HostRun run = Host("import " + Quoted(Sample(L"statement.csv")));

    EXPECT_EQ(0u, run.Code) << run.Output;
    EXPECT_EQ("Statement file: " + Sample(L"statement.csv") +
                  "\n"
                  "File filter: accepts it as \"Statement Transaction file (CSV format)\"\n"
                  "Messages: (none)\n"
                  "Result: S_OK\n"
                  "Status: 0\n"
                  "Statement: reset 1 time\n"
                  "Transactions: 5\n"
                  "\n"
                  "Seq  Date         Amount  Kind     Details             Reference  Cheque\n"
                  "  1  2019-03-29  1500.00  receipt  SALARY MARCH\n"
                  "  2  2019-03-31   -12.50  payment  CARD PAYMENT        000123     000123\n"
                  "  3  2019-04-01  -650.00  payment  RENT, FLAT 2\n"
                  "  4  2019-04-02     0.00  receipt  INTEREST \"\"GROSS\"\"\n"
                  "  5  2019-04-03   -45.99  payment  CHEQUE PAID         000124     000124\n",
              run.Output);
}

TEST_F(HostProgramTest, ImportShowsTheRefusalOfADamagedFile)
{
    const std::string statement = Path("short.csv");
    WriteBytes(statement, "\"TransDate\",\"ValueDate\",\"InToday\",\"Amount\",\"Details\",\"TransCode\",\"RFR\","
                          "\"ChequeNo\"\r\n"
                          "2024-01-02,2024-01-02,N,-12.34,CARD,DEB,,\r\n"
                          "2024-01-03,2024-01-03,N,\"5\",QUOTED AMOUNT,DEB,,\r\n"
                          "2024-01-04,2024-01-04,N,7\r\n"
                          "2024-01-05,2024-01-05,N,8,AFTER,DEB,,\r\n");

    const HostRun run = Host("import " + Quoted(statement));

    EXPECT_EQ(2u, run.Code) << run.Output;
    EXPECT_NE(std::string::npos,
              run.Output.find(
                  "Messages:\n"
                  "  \"Statement Import\" answered OK:\n"
                  "    The statement file cannot be imported:\n"
                  "    " +
                  statement +
                  "\n"
                  "    \n"
                  "    Line 4: found \"2024-01-04,2024-01-04,N,7\"; expected 8 fields separated by commas, but the "
                  "line has 4 (a comma may be missing, or a double quote left open).\n"
                  "    \n"
                  "    Nothing was imported; the statement is unchanged. No other line is damaged.\n"
                  "Result: S_OK\n"
                  "Status: 2 (nothing imported)\n"
                  "Statement: untouched\n"
                  "Transactions: 0\n"))
        << run.Output;
}

TEST_F(HostProgramTest, ImportTakesAFileMarkedUtf8)
{
    const std::string statement = Path("marked.csv");
    WriteBytes(statement, "\xEF\xBB\xBFTransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo\n"
                          "31/03/2019,,N,-4.50,CAF\xC3\x89 \xE2\x82\xAC,DEB,,\n");
    const HostRun run = Host("import " + Quoted(statement));
    EXPECT_EQ(0u, run.Code) << run.Output;
    EXPECT_NE(std::string::npos, run.Output.find("  1  2019-03-31   -4.50  payment  CAF\xC3\x89 \xE2\x82\xAC\n"))
        << run.Output;
}

// ---------------------------------------------------------------------------------------------
// Generated batches

TEST_F(HostProgramTest, GeneratedBatchesAreDeterministicAndKeepTheirShareThroughTheModule)
{
    const std::string first = Path("first.csv"), second = Path("second.csv"), other = Path("other.csv");

    const HostRun made = Host("generate 40 --invalid 10% --seed 5 --output " + Quoted(first));
    Host("generate 40 --invalid 10% --seed 5 --output " + Quoted(second));
    Host("generate 40 --invalid 10% --seed 6 --output " + Quoted(other));

    EXPECT_EQ(0u, made.Code) << made.Output;
    EXPECT_EQ("Wrote 40 payments (4 invalid) to " + first + "\n", made.Output);
    ASSERT_TRUE(FileExists(first));
    EXPECT_EQ(ReadBytes(first), ReadBytes(second));
    EXPECT_NE(ReadBytes(first), ReadBytes(other));
    for (const char* layout : {"lintrove", "ledgerway"}) {
        const HostRun run = Host("export " + Quoted(first) + " --sort-code 40-11-22 --account 87654321 --layout " +
                                 layout + " --no-table --output " + Quoted(Path(std::string(layout) + ".csv")));
        EXPECT_EQ(1u, run.Code) << run.Output;
        EXPECT_NE(std::string::npos, run.Output.find("Status: 1 (written, some failed)\nPayments: 40, 36 passed, "
                                                     "4 failed\n"))
            << layout << "\n"
            << run.Output;
        EXPECT_EQ(std::string::npos, run.Output.find("Payment  Line")) << run.Output;
    }
}

// ---------------------------------------------------------------------------------------------
// An interactive run, in process: the user, played by the driver, picks the layout and a name of
// their own; the host reports the file the save dialog was given.

class InteractiveExportTest : public ComTest {};

// The host reports the file the module's save dialog gave it, whatever the dialog shows as it
// closes (a fresh Wine prefix reports its desktop there): a bare name, and a name that climbs out
// of the folder the dialog opened in.
TEST_F(InteractiveExportTest, TheHostReportsTheFileTheUserChose)
{
    ASSERT_EQ(0u, RegisterBuiltModule());
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "bmhost-interactive-" + std::to_string(GetCurrentProcessId());
    const std::string inner = folder + "\\inner";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA(inner.c_str(), nullptr);

    struct Case {
        const char* Typed;
        std::string Written;
    };
    const Case cases[] = {{"june", inner + "\\june.csv"},  // a name without its extension
                          {"..\\july", folder + "\\july.csv"}};
    for (const Case& c : cases) {
        hostprogram::ExportRequest request;
        request.Unattended = false;
        hostprogram::BatchPayment payment;
        payment.Line = 2;
        payment.Data.PayeeSortCode = L"12-34-56";
        payment.Data.PayeeAccountNumber = L"12345678";
        payment.Data.PayeeAccountName = L"J. Smith";
        payment.Data.PayeeBacsReference = L"7";
        payment.Data.Amount = 3;
        request.Payments.push_back(payment);
        request.DefaultDirectory = inner;
        request.DefaultFileName = "PAYMENTS.CSV";
        request.Extension = "csv";

        modal::ModalDriver user;
        user.On(hostprogram::kOptionsCaption).Click(IDC_LINTROVE_LAYOUT).Press(IDOK);
        user.On("Save As").Type(0x47C, c.Typed).Press(IDOK);
        modal::AlwaysAnswerSummary(user);
        hostprogram::ExportOutcome outcome;
        {
            hostprogram::HostSession session(BuildPath(L"generated"));
            outcome = hostprogram::RunExport(session, request);
        }

        EXPECT_EQ(S_OK, outcome.Result) << c.Typed << ": " << outcome.ErrorDescription;
        EXPECT_EQ(0, outcome.Status) << c.Typed;
        EXPECT_EQ(c.Written, outcome.ChosenPath) << c.Typed;
        EXPECT_EQ("123456,12345678,J. SMITH,3.00,7,\r\n", ReadBytes(c.Written)) << c.Typed;
        EXPECT_TRUE(outcome.Windows.empty()) << c.Typed;  // nothing of the host's answered them
        EXPECT_EQ(0, user.UnexpectedCount()) << user.Summary();
        DeleteFileA(c.Written.c_str());
    }
    RemoveDirectoryA(inner.c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
