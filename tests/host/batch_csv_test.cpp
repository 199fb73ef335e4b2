// The sample host program's input side, in process: the payment batch file (columns, quoting,
// texts handed on unchanged, every bad input named by file, line and field), the statement file
// check, the synthetic batch generator, and the program's answers to bad input before any module
// is involved.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hostprogram/batch_csv.h"
#include "hostprogram/batch_generator.h"
#include "hostprogram/csv_reader.h"
#include "hostprogram/host_import.h"
#include "hostprogram/host_program.h"
#include "tests/support/com_test.h"

using hostprogram::BatchDefaults;
using hostprogram::BatchPayment;
using hostprogram::InputError;
using hostprogram::ReadPaymentBatch;

namespace {

class BatchFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        static int count = 0;
        folder_ = std::string(temp) + "bmcsv" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
        CreateDirectoryA(folder_.c_str(), nullptr);
    }
    void TearDown() override
    {
        for (const std::string& file : files_)
            DeleteFileA(file.c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    // Writes the bytes exactly as given and returns the file's path.
    std::string File(const std::string& name, const std::string& bytes)
    {
        const std::string path = folder_ + "\\" + name;
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << bytes;
        files_.push_back(path);
        return path;
    }

    // The message of the InputError that reading the batch raises; "" when it reads.
    std::string ReadError(const std::string& path, const BatchDefaults& defaults = {})
    {
        try {
            ReadPaymentBatch(path, defaults);
        } catch (const InputError& error) {
            return error.what();
        }
        return "";
    }

    std::string folder_;
    std::vector<std::string> files_;
};

const char kHeader[] = "PayeeSortCode,PayeeAccountNumber,PayeeAccountName,Amount\n";

// ---------------------------------------------------------------------------------------------
// What a batch file gives the host's payments.

TEST_F(BatchFileTest, SampleBatchGivesEveryHostFieldAsWritten)
{
    const std::vector<BatchPayment> payments =
        ReadPaymentBatch(Narrow(SourcePath(L"samples/payments.csv")), BatchDefaults());

    ASSERT_EQ(7u, payments.size());
    const standin::PaymentData& first = payments[0].Data;
    EXPECT_EQ(2, payments[0].Line);
    EXPECT_EQ(L"40-11-22", first.PayerSortCode);
    EXPECT_EQ(L"87654321", first.PayerAccountNumber);
    EXPECT_EQ(L"Acme Ltd", first.PayerAccountName);
    EXPECT_EQ(L"12-34-56", first.PayeeSortCode);
    EXPECT_EQ(L"12345678", first.PayeeAccountNumber);
    EXPECT_EQ(L"J. Smith & Co", first.PayeeAccountName);
    EXPECT_EQ(L"12", first.PayeeBacsReference);
    EXPECT_EQ(L"", first.PayeeRollNumber);
    EXPECT_EQ(1234.5, first.Amount);
    EXPECT_EQ(L"March invoice", first.Details);
    EXPECT_FALSE(first.OffersRti);
    EXPECT_EQ(L"ab/12-3", payments[4].Data.PayeeRollNumber);
    EXPECT_EQ(-5.0, payments[5].Data.Amount);
    // A quoted field keeps its comma.
    EXPECT_EQ(L"Smith, Jones & Co", payments[6].Data.PayeeAccountName);
    EXPECT_EQ(8, payments[6].Line);
}

TEST_F(BatchFileTest, ColumnsComeInAnyOrderAndCaseAndMissingPayerFieldsAreThePayingAccounts)
{
    const std::string path =
        File("order.csv", "amount,ISRTI,payeeaccountname,RtiReference,PayeeSortCode,PayeeAccountNumber\r\n"
                          "99.9,1,A. Baker,/A1B,12-34-56,12345678\r\n"
                          "1,0,B. Baker,,20-00-00,00000001\r\n");
    BatchDefaults defaults;
    defaults.PayerSortCode = L"40-11-22";
    defaults.PayerAccountNumber = L"87654321";
    defaults.OffersRti = true;

    const std::vector<BatchPayment> payments = ReadPaymentBatch(path, defaults);

    ASSERT_EQ(2u, payments.size());
    const standin::PaymentData& payment = payments[0].Data;
    EXPECT_EQ(99.9, payment.Amount);
    EXPECT_EQ(1, payment.IsRti);
    EXPECT_EQ(L"/A1B", payment.RtiReference);
    EXPECT_EQ(L"A. Baker", payment.PayeeAccountName);
    EXPECT_EQ(L"12-34-56", payment.PayeeSortCode);
    EXPECT_EQ(L"40-11-22", payment.PayerSortCode);
    EXPECT_EQ(L"87654321", payment.PayerAccountNumber);
    EXPECT_EQ(L"", payment.PayerAccountName);
    EXPECT_TRUE(payment.OffersRti);
    EXPECT_EQ(0, payments[1].Data.IsRti);
    EXPECT_EQ(L"00000001", payments[1].Data.PayeeAccountNumber);
}

TEST_F(BatchFileTest, TextsReachTheHostUnchanged)
{
    // Spaces, quotes and characters beyond ASCII are the checks' business, not the reader's.
    const std::string path = File("texts.csv", "\xEF\xBB\xBF"
                                               "PayeeSortCode,PayeeAccountNumber,PayeeAccountName,Amount,Details\n"
                                               "12-34-56, 1234567,\"O\"\"Brien \",  7.25 ,\"Caf\xC3\xA9 \xE2\x82\xAC"
                                               "5\"\n"
                                               "\n"
                                               "12-34-56,12345678,   ,.5,\n");

    const std::vector<BatchPayment> payments = ReadPaymentBatch(path, BatchDefaults());

    ASSERT_EQ(2u, payments.size());
    EXPECT_EQ(L" 1234567", payments[0].Data.PayeeAccountNumber);
    EXPECT_EQ(L"O\"Brien ", payments[0].Data.PayeeAccountName);
    EXPECT_EQ(7.25, payments[0].Data.Amount);
    EXPECT_EQ(L"Caf\u00E9 \u20AC5", payments[0].Data.Details);
    // The blank line is skipped but counted.
    EXPECT_EQ(4, payments[1].Line);
    EXPECT_EQ(L"   ", payments[1].Data.PayeeAccountName);
    EXPECT_EQ(0.5, payments[1].Data.Amount);
}

TEST_F(BatchFileTest, AColumnNameLineAloneIsAnEmptyBatch)
{
    EXPECT_TRUE(ReadPaymentBatch(File("empty-batch.csv", kHeader), BatchDefaults()).empty());
}

// ---------------------------------------------------------------------------------------------
// Bad input: the first problem, named by file, line and field.

TEST_F(BatchFileTest, FilesThatCannotBeReadAreNamed)
{
    const std::string missing = folder_ + "\\missing.csv";
    EXPECT_EQ(missing + ": cannot be read: no such file", ReadError(missing));
    EXPECT_EQ(folder_ + ": cannot be read: is a folder, not a file", ReadError(folder_));
    const std::string empty = File("empty.csv", "");
    EXPECT_EQ(empty + ": the file is empty: it needs a column-name line", ReadError(empty));
}

TEST_F(BatchFileTest, ColumnNameLineProblemsNameTheColumn)
{
    const std::string missing = File("missing.csv", "PayeeSortCode,PayeeAccountName,Amount\n12-34-56,A,1\n");
    EXPECT_EQ(missing + ":1: PayeeAccountNumber: missing from the column-name line", ReadError(missing));

    const std::string unknown = File("unknown.csv", "PayeeSortCode,PayeeAccountNumber,PayeeAccountName,Amout\n");
    EXPECT_EQ(unknown + ":1: column 4: \"Amout\" is not a payment field (the columns are PayerSortCode, "
                        "PayerAccountNumber, PayerAccountName, PayeeSortCode, PayeeAccountNumber, PayeeAccountName, "
                        "PayeeBacsReference, PayeeRollNumber, Amount, Details, RtiReference, IsRti)",
              ReadError(unknown));

    const std::string twice = File("twice.csv", "PayeeSortCode,PayeeAccountNumber,amount,PayeeAccountName,Amount\n");
    EXPECT_EQ(twice + ":1: Amount: named twice (columns 3 and 5)", ReadError(twice));

    const std::string unnamed = File("unnamed.csv", "PayeeSortCode,,PayeeAccountNumber,PayeeAccountName,Amount\n");
    EXPECT_EQ(unnamed + ":1: column 2: no name (the columns are PayerSortCode, PayerAccountNumber, "
                        "PayerAccountName, PayeeSortCode, PayeeAccountNumber, PayeeAccountName, PayeeBacsReference, "
                        "PayeeRollNumber, Amount, Details, RtiReference, IsRti)",
              ReadError(unnamed));
}

TEST_F(BatchFileTest, AmountsMustBeDecimalNumbers)
{
    struct Case {
        const char* Field;
        const char* Problem;
    };
    const Case cases[] = {
        {"12.3x", "\"12.3x\" is not a decimal number"}, {"\"1,234.50\"", "\"1,234.50\" is not a decimal number"},
        {"1e3", "\"1e3\" is not a decimal number"},     {"-", "\"-\" is not a decimal number"},
        {"inf", "\"inf\" is not a decimal number"},     {"", "empty: a payment needs an amount"},
    };
    for (const Case& c : cases) {
        const std::string path = File(
            "amount.csv", std::string(kHeader) + "12-34-56,12345678,A,1.00\n12-34-56,12345678,B," + c.Field + "\n");
        EXPECT_EQ(path + ":3: Amount: " + c.Problem, ReadError(path)) << c.Field;
    }
    double amount = 0;
    EXPECT_TRUE(hostprogram::ParseAmount(" -12.50 ", &amount));
    EXPECT_EQ(-12.5, amount);
    EXPECT_TRUE(hostprogram::ParseAmount("+3", &amount));
    EXPECT_EQ(3.0, amount);
    EXPECT_TRUE(hostprogram::ParseAmount("7.", &amount));
    EXPECT_EQ(7.0, amount);
    EXPECT_FALSE(hostprogram::ParseAmount("0x10", &amount));
    EXPECT_FALSE(hostprogram::ParseAmount("1 000", &amount));
    EXPECT_FALSE(hostprogram::ParseAmount(std::string(400, '9'), &amount));  // beyond a double
}

TEST_F(BatchFileTest, LineProblemsNameTheLineAndTheField)
{
    const std::string few = File("few.csv", std::string(kHeader) + "12-34-56,12345678,A,1\n\n12-34-56,12345678\n");
    EXPECT_EQ(few + ":4: PayeeAccountName: missing: the line has 2 fields, the column-name line names 4",
              ReadError(few));

    const std::string many = File("many.csv", std::string(kHeader) + "12-34-56,12345678,Smith, Jones,1\n");
    EXPECT_EQ(many + ":2: field 5: not named in the column-name line: the line has 5 fields, the column-name line "
                     "names 4",
              ReadError(many));

    const std::string open = File("open.csv", std::string(kHeader) + "12-34-56,12345678,\"Smith, Jones,1\n");
    EXPECT_EQ(open + ":2: PayeeAccountName: the quoted text is not closed on its line", ReadError(open));

    const std::string after = File("after.csv", std::string(kHeader) + "12-34-56,\"1234\"5678,A,1\n");
    EXPECT_EQ(after + ":2: PayeeAccountNumber: text after the closing quote", ReadError(after));

    const std::string notUtf8 = File("latin1.csv", std::string(kHeader) + "12-34-56,12345678,Caf\xE9,1\n");
    EXPECT_EQ(notUtf8 + ":2: PayeeAccountName: not UTF-8 text", ReadError(notUtf8));

    const std::string rti = File("rti.csv", "PayeeSortCode,PayeeAccountNumber,PayeeAccountName,Amount,IsRti\n"
                                            "12-34-56,12345678,A,1,yes\n");
    EXPECT_EQ(rti + ":2: IsRti: \"yes\" is not a whole number (0 or 1)", ReadError(rti));
}

TEST_F(BatchFileTest, TheFirstProblemIsReportedWhereverItIs)
{
    // Good lines before a bad one are no excuse: the batch is refused whole.
    std::string bytes = kHeader;
    for (int i = 0; i < 500; ++i)
        bytes += "12-34-56,12345678,A,1.00\n";
    bytes += "12-34-56,12345678,A,one\n";
    const std::string path = File("late.csv", bytes);
    EXPECT_EQ(path + ":502: Amount: \"one\" is not a decimal number", ReadError(path));
}

// ---------------------------------------------------------------------------------------------
// The statement file check made before the module is asked.

TEST_F(BatchFileTest, StatementFilesStartWithAColumnNameLine)
{
    std::string why;
    EXPECT_TRUE(hostprogram::CheckStatementFile(Narrow(SourcePath(L"samples/statement.csv")), &why));
    EXPECT_TRUE(hostprogram::CheckStatementFile(
        File("quoted.csv", "\"transdate\",\"VALUEDATE\",\"InToday\",\"Amount\",\"Details\",\"TransCode\",\"RFR\","
                           "\"ChequeNo\"\r\n"),
        &why));
    EXPECT_FALSE(hostprogram::CheckStatementFile(File("payments.csv", kHeader), &why));
    EXPECT_EQ("the first line is not the column-name line "
              "TransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo (quoted or not)",
              why);
    // A UTF-8 byte-order mark before the names is what the module's own filter accepts too.
    EXPECT_TRUE(hostprogram::CheckStatementFile(
        File("bom.csv", "\xEF\xBB\xBFTransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo\n"), &why));
    EXPECT_FALSE(hostprogram::CheckStatementFile(
        File("bom2.csv", "\xEF\xBB\xBF\xEF\xBB\xBFTransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo\n"),
        &why));
    EXPECT_FALSE(hostprogram::CheckStatementFile(File("nothing.csv", ""), &why));
    EXPECT_EQ("the file is empty", why);
    EXPECT_THROW(hostprogram::CheckStatementFile(folder_ + "\\none.csv", &why), InputError);
}

// ---------------------------------------------------------------------------------------------
// Synthetic batches.

std::string Generated(long count, double share, std::uint64_t seed)
{
    hostprogram::GeneratorOptions options;
    options.Count = count;
    options.InvalidShare = share;
    options.Seed = seed;
    std::ostringstream out;
    hostprogram::WriteSyntheticBatch(out, options);
    return out.str();
}

// Whether a generated payment fails the checks every layout makes: its payee sort code, its payee
// account number or its amount.
bool FailsBothLayouts(const standin::PaymentData& payment)
{
    std::wstring sortDigits;
    for (wchar_t c : payment.PayeeSortCode) {
        if (c >= L'0' && c <= L'9')
            sortDigits += c;
    }
    return sortDigits.size() != 6 || payment.PayeeAccountNumber.size() != 8 || !(payment.Amount > 0);
}

TEST_F(BatchFileTest, GeneratedBatchesAreTheSameForTheSameSeed)
{
    const std::string first = Generated(200, 0.1, 7);
    EXPECT_EQ(first, Generated(200, 0.1, 7));
    EXPECT_NE(first, Generated(200, 0.1, 8));
    EXPECT_EQ(0u,
              first.find("PayerSortCode,PayerAccountNumber,PayerAccountName,PayeeSortCode,PayeeAccountNumber,"
                         "PayeeAccountName,PayeeBacsReference,PayeeRollNumber,Amount,Details,RtiReference,IsRti\r\n"));
    // Line ends are CR LF throughout: 201 lines, 201 CR LF pairs, no bare LF.
    size_t lineFeeds = 0, pairs = 0;
    for (size_t i = 0; i < first.size(); ++i) {
        if (first[i] == '\n') {
            ++lineFeeds;
            pairs += i > 0 && first[i - 1] == '\r';
        }
    }
    EXPECT_EQ(201u, lineFeeds);
    EXPECT_EQ(201u, pairs);
}

TEST_F(BatchFileTest, GeneratedBatchesHoldExactlyTheShareOfInvalidPayments)
{
    struct Case {
        long Count;
        double Share;
        long Invalid;
    };
    for (const Case& c : {Case{1000, 0.1, 100}, Case{7, 0.5, 4}, Case{50, 0, 0}, Case{20, 1, 20}, Case{0, 0.3, 0}}) {
        const std::string path = File("generated.csv", Generated(c.Count, c.Share, 42));
        const std::vector<BatchPayment> payments = ReadPaymentBatch(path, BatchDefaults());
        ASSERT_EQ(static_cast<size_t>(c.Count), payments.size());
        long invalid = 0;
        for (const BatchPayment& payment : payments)
            invalid += FailsBothLayouts(payment.Data);
        EXPECT_EQ(c.Invalid, invalid) << c.Count << " at " << c.Share;
    }
}

// ---------------------------------------------------------------------------------------------
// The program's answers to bad input: exit code 2 and one message, before any module is involved
// (none is registered for this test program, so reaching for one would give another message).

struct ProgramRun {
    int Code;
    std::string Out, Err;
};

ProgramRun RunProgram(std::vector<std::string> arguments)
{
    std::ostringstream out, err;
    const int code = hostprogram::RunHostProgram(arguments, out, err);
    return {code, out.str(), err.str()};
}

TEST_F(BatchFileTest, BadInputEndsTheProgramWithCodeTwoAndOneMessage)
{
    const std::string bad = File("bad.csv", std::string(kHeader) + "12-34-56,12345678,A,1\n12-34-56,12345678,B,x\n");
    const std::string output = folder_ + "\\out.csv";
    struct Case {
        std::vector<std::string> Arguments;
        std::string Message;
    };
    const Case cases[] = {
        {{"export", bad, "--output", output, "--layout", "lintrove"},
         bad + ":3: Amount: \"x\" is not a decimal number\n"},
        {{"export", folder_ + "\\none.csv", "--output", output},
         folder_ + "\\none.csv: cannot be read: no such file\n"},
        {{"import", bad},
         bad + ":1: not a statement file: the first line is not the column-name line "
               "TransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo (quoted or not)\n"},
        {{"import", folder_ + "\\none.csv"}, folder_ + "\\none.csv: cannot be read: no such file\n"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = RunProgram(c.Arguments);
        EXPECT_EQ(hostprogram::kExitError, run.Code) << c.Arguments[1];
        EXPECT_EQ("brenmark_host: " + c.Message, run.Err);
        EXPECT_EQ("", run.Out);
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(output.c_str()));
}

TEST_F(BatchFileTest, CommandLineMistakesAreNamed)
{
    const std::string batch = File("good.csv", std::string(kHeader) + "12-34-56,12345678,A,1\n");
    const std::string output = folder_ + "\\out.csv";
    const std::string hint = "\n(brenmark_host help lists the commands and options)\n";
    struct Case {
        std::vector<std::string> Arguments;
        std::string Message;
    };
    const Case cases[] = {
        {{"export", batch}, "export needs --output FILE to answer the save dialog (or --cancel-save)"},
        {{"export", batch, "--output", output, "--layout", "sideways"},
         "--layout is ledgerway or lintrove, not \"sideways\""},
        {{"export", batch, "--output", output, "--debit-date", "2026-02-30"},
         "--debit-date is a date written YYYY-MM-DD, not \"2026-02-30\""},
        {{"export", batch, "--output", output, "--debit-date=07/12/2026"},
         "--debit-date is a date written YYYY-MM-DD, not \"07/12/2026\""},
        {{"export", batch, "--output", output, "--remittance", "Y"}, "--remittance is yes or no, not \"Y\""},
        {{"export", batch, "--output", folder_ + "\\no-such-folder\\out.csv"},
         "--output: the folder " + folder_ + "\\no-such-folder does not exist"},
        {{"export", batch, "--output", folder_}, "--output: " + folder_ + " is a folder, not a file"},
        {{"export", batch, "--output", output, "--seed", "1"}, "--seed is not an option of export"},
        {{"export", batch, "--output"}, "--output needs a value"},
        {{"export", batch, "--rti=1", "--output", output}, "--rti takes no value"},
        {{"export", batch, batch, "--output", output}, "one file only: \"" + batch + "\" is one too many"},
        {{"export", batch, "--output", output, "--unattended", "--interactive"},
         "--unattended and --interactive exclude each other"},
        {{"import"}, "import needs a file"},
        {{"generate", "ten"}, "generate needs a number of payments from 0 to 2147483647, not \"ten\""},
        {{"generate", "10", "--invalid", "1.5"},
         "--invalid is a share from 0 to 1 or a percentage from 0% to 100%, not \"1.5\""},
        {{"generate", "10", "--seed", "-1"}, "--seed is a whole number from 0, not \"-1\""},
        {{"pay", batch}, "\"pay\" is not a command: export, import or generate"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = RunProgram(c.Arguments);
        EXPECT_EQ(hostprogram::kExitError, run.Code) << c.Message;
        EXPECT_EQ("brenmark_host: " + c.Message + hint, run.Err);
        EXPECT_EQ("", run.Out);
    }
    const ProgramRun bare = RunProgram({});
    EXPECT_EQ(hostprogram::kExitError, bare.Code);
    EXPECT_EQ(0u, bare.Err.find("Usage:")) << bare.Err;
    const ProgramRun help = RunProgram({"help"});
    EXPECT_EQ(hostprogram::kExitPassed, help.Code);
    EXPECT_EQ(0u, help.Out.find("Usage:")) << help.Out;
    // The help points users to the guide.
    EXPECT_NE(std::string::npos, help.Out.find("docs/guide.md")) << help.Out;
}

TEST_F(BatchFileTest, GenerateWritesTheSameFileAsTheGenerator)
{
    const std::string output = folder_ + "\\generated.csv";
    files_.push_back(output);

    const ProgramRun run = RunProgram({"generate", "25", "--invalid", "20%", "--seed", "9", "--output", output});

    EXPECT_EQ(hostprogram::kExitPassed, run.Code) << run.Err;
    EXPECT_EQ("Wrote 25 payments (5 invalid) to " + output + "\n", run.Out);
    std::ifstream file(output, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    EXPECT_EQ(Generated(25, 0.2, 9), bytes.str());
    const ProgramRun toOut = RunProgram({"generate", "25", "--invalid", "0.2", "--seed", "9"});
    EXPECT_EQ(Generated(25, 0.2, 9), toOut.Out);
}

}  // namespace
