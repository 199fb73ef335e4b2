// The statement file reader on real files: the column-name line, the transaction lines, the end of
// the transactions and the diagnostics.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <string>
#include <vector>

#include "statements/balance_file.h"
#include "tests/statements/statement_test_support.h"
#include "tests/support/com_test.h"

using ::testing::ElementsAre;

namespace {

const char kQuotedNames[] = R"("TransDate","ValueDate","InToday","Amount","Details","TransCode","RFR","ChequeNo")";
const char kPlainNames[] = "TransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo";
const char kSmallQuotedNames[] = R"("transdate","valuedate","intoday","amount","details","transcode","rfr","chequeno")";
const char kSmallPlainNames[] = "transdate,valuedate,intoday,amount,details,transcode,rfr,chequeno";
const char kByteOrderMark[] = "\xEF\xBB\xBF";

std::string Transaction(int number)
{
    return "2019-03-" + std::to_string(number) + ",2019-04-01,Y," + std::to_string(number) + ".25,\"LINE " +
           std::to_string(number) + "\",DEB,REF,00" + std::to_string(number);
}

// Opens the reader on the file as the import does.
void OpenOn(CBBM2BalanceFile& reader, const std::string& path)
{
    reader.Open(OpenStatementFile(Wide(path).c_str()));
}

// 1 when the next transaction filled the record, 0 when there was none.
int Next(CBBM2BalanceFile& reader, CBMLWTransactionRecord& record)
{
    return reader.ReadTransaction(record) == StatementRead::Record ? 1 : 0;
}

// Opens the file as the import does and reads every transaction; gives their details texts.
std::vector<std::string> ReadAll(const std::string& contents)
{
    TempStatementFile file(contents);
    CBBM2BalanceFile reader;
    OpenOn(reader, file.Path());
    std::vector<std::string> details;
    CBMLWTransactionRecord record;
    while (Next(reader, record))
        details.emplace_back(record.GetDetails());
    return details;
}

int HeaderAccepted(const std::string& contents)
{
    TempStatementFile file(contents);
    CBBM2BalanceFile reader;
    OpenOn(reader, file.Path());
    return reader.HasValidHeader() ? 1 : 0;
}

}  // namespace

TEST(BalanceFileTest, BothColumnNameLinesAreAcceptedIgnoringCase)
{
    EXPECT_EQ(1, HeaderAccepted(std::string(kQuotedNames) + "\n"));
    EXPECT_EQ(1, HeaderAccepted(std::string(kPlainNames) + "\n"));
    EXPECT_EQ(1, HeaderAccepted(std::string(kSmallQuotedNames) + "\n"));
    EXPECT_EQ(1, HeaderAccepted(std::string(kSmallPlainNames) + "\n" + Transaction(1) + "\n"));
    EXPECT_EQ(1, HeaderAccepted(kSmallPlainNames));
}

TEST(BalanceFileTest, OtherFirstLinesAreRejected)
{
    EXPECT_EQ(0, HeaderAccepted(std::string(kSmallPlainNames) + " \n"));
    EXPECT_EQ(0, HeaderAccepted(std::string(" ") + kSmallPlainNames + "\n"));
    EXPECT_EQ(0, HeaderAccepted(std::string(kSmallPlainNames) + ",extra\n"));
    EXPECT_EQ(0, HeaderAccepted(std::string(kQuotedNames) + ",\"Extra\"\n"));
    EXPECT_EQ(0, HeaderAccepted("TransDate,ValueDate,InToday,Amount,Details,TransCode,RFR\n"));
    EXPECT_EQ(0, HeaderAccepted(Transaction(1) + "\n"));
    EXPECT_EQ(0, HeaderAccepted("\n" + std::string(kPlainNames) + "\n"));
}

TEST(BalanceFileTest, ByteOrderMarkBeforeTheColumnNamesIsSkipped)
{
    EXPECT_EQ(1, HeaderAccepted(kByteOrderMark + std::string(kQuotedNames) + "\r\n"));
    EXPECT_EQ(1, HeaderAccepted(kByteOrderMark + std::string(kPlainNames) + "\n"));
    EXPECT_EQ(1, HeaderAccepted(kByteOrderMark + std::string(kSmallPlainNames) + "\n"));
    // Nothing else about the comparison changes.
    EXPECT_EQ(0, HeaderAccepted(kByteOrderMark + std::string(kPlainNames) + " \n"));
    EXPECT_EQ(0, HeaderAccepted(std::string(kByteOrderMark) + kByteOrderMark + kPlainNames + "\n"));

    EXPECT_THAT(ReadAll(kByteOrderMark + std::string(kQuotedNames) + "\n" + Transaction(1) + "\n"),
                ElementsAre("LINE 1"));
}

TEST(BalanceFileTest, QuotedColumnNamesWithPlainTransactions)
{
    EXPECT_THAT(ReadAll(std::string(kQuotedNames) + "\n" + Transaction(1) + "\n" + Transaction(2) + "\n"),
                ElementsAre("LINE 1", "LINE 2"));
}

TEST(BalanceFileTest, EndOfFileIsFinal)
{
    TempStatementFile file(std::string(kPlainNames) + "\n" + Transaction(1));
    CBBM2BalanceFile reader;
    OpenOn(reader, file.Path());
    CBMLWTransactionRecord record;
    EXPECT_EQ(1, Next(reader, record));
    EXPECT_EQ(0, Next(reader, record));
    EXPECT_EQ(0, Next(reader, record));
    EXPECT_STREQ("LINE 1", record.GetDetails());
}

TEST(BalanceFileTest, TransactionLinesAreReadIntoTheRecord)
{
    TempStatementFile file(std::string(kPlainNames) + "\n" +
                           R"("2019-03-31","2019-04-01","Y",-12.50,"CARD PAYMENT","DEB","REF1","000123")" + "\n");
    CBBM2BalanceFile reader;
    OpenOn(reader, file.Path());
    CBMLWTransactionRecord record;
    ASSERT_EQ(1, Next(reader, record));
    EXPECT_EQ(43555, record.GetTransDate());
    EXPECT_EQ(-12.5, record.GetAmount());
    EXPECT_STREQ("CARD PAYMENT", record.GetDetails());
    EXPECT_STREQ("000123", record.GetChequeNo());
    EXPECT_EQ(0, Next(reader, record));
    // The failed read leaves the record as it was.
    EXPECT_STREQ("CARD PAYMENT", record.GetDetails());
}

TEST(BalanceFileTest, OnlyTheColumnNameLineGivesNoTransactions)
{
    EXPECT_THAT(ReadAll(std::string(kPlainNames) + "\n"), ElementsAre());
    EXPECT_THAT(ReadAll(kPlainNames), ElementsAre());
}

TEST(BalanceFileTest, BlankLinesAndEmptyRowsArePassedOver)
{
    std::string contents = std::string(kPlainNames) + "\n";
    for (int i = 1; i <= 3; ++i)
        contents += Transaction(i) + "\n";
    contents += "\n  \n,,,,,,,\n" + Transaction(4) + "\n\r\n" + Transaction(5) + "\n\n";
    EXPECT_THAT(ReadAll(contents), ElementsAre("LINE 1", "LINE 2", "LINE 3", "LINE 4", "LINE 5"));
}

TEST(BalanceFileTest, CheckFindsTheFirstDamagedLineAndCountsTheRest)
{
    TempStatementFile file(std::string(kPlainNames) + "\n" + Transaction(1) + "\n\n" +
                           "2019-03-31,2019-04-01,Y,12.50CR,D,C,R,\n" + Transaction(2) + "\nTotal,3\n");
    CBBM2BalanceFile reader;
    OpenOn(reader, file.Path());
    const StatementFileCheck check = reader.CheckTransactions();
    EXPECT_TRUE(check.Damaged);
    EXPECT_EQ(4, check.Line);
    EXPECT_EQ("Amount", check.Damage.Column);
    EXPECT_EQ("12.50CR", check.Damage.Found);
    EXPECT_EQ(1, check.FurtherDamagedLines);
    EXPECT_EQ(2, check.Transactions);
    // The reading starts again at the first transaction, and stops at the damaged line.
    CBMLWTransactionRecord record;
    ASSERT_EQ(1, Next(reader, record));
    EXPECT_STREQ("LINE 1", record.GetDetails());
    EXPECT_EQ(2, reader.LineNumber());
    EXPECT_EQ(0, Next(reader, record));
}

TEST(BalanceFileTest, CheckTellsTheEncoding)
{
    struct Case {
        std::string Contents;
        StatementEncoding Encoding;
    };
    const Case cases[] = {
        {std::string(kPlainNames) + "\n" + Transaction(1) + "\n", StatementEncoding::Ansi},
        {kByteOrderMark + std::string(kPlainNames) + "\n" + Transaction(1) + "\n", StatementEncoding::Utf8},
        {std::string(kPlainNames) + "\n2019-03-31,2019-04-01,Y,1,CAF\xC3\x89,C,R,\n", StatementEncoding::Utf8},
        {std::string(kPlainNames) + "\n2019-03-31,2019-04-01,Y,1,CAF\xC9,C,R,\n", StatementEncoding::Ansi},
        // One byte that is no UTF-8 anywhere makes the whole file ANSI.
        {std::string(kPlainNames) + "\n2019-03-31,2019-04-01,Y,1,\xC3\x89,C,R,\n2019-03-31,2019-04-01,Y,1,\xA3,C,R,\n",
         StatementEncoding::Ansi},
    };
    for (const Case& c : cases) {
        TempStatementFile file(c.Contents);
        CBBM2BalanceFile reader;
        OpenOn(reader, file.Path());
        const StatementFileCheck check = reader.CheckTransactions();
        EXPECT_FALSE(check.Damaged) << c.Contents;
        EXPECT_EQ(c.Encoding, check.Encoding) << c.Contents;
    }
}

TEST(BalanceFileTest, CtrlZAndCarriageReturnsInsideALineAreOrdinaryBytes)
{
    EXPECT_THAT(ReadAll(std::string(kPlainNames) +
                        "\r\n2019-03-31,2019-04-01,Y,1,\"A\x1A"
                        "B\rC\",C,R,\r\n" +
                        Transaction(2) + "\r\n"),
                ElementsAre("A\x1A"
                            "B\rC",
                            "LINE 2"));
}

TEST(BalanceFileTest, OverlongLineIsDamagedAndNotHeldWhole)
{
    const std::string huge = "2019-03-31,2019-04-01,Y,1,\"" + std::string(kLongestStatementLine, 'x') + "\",C,R,";
    TempStatementFile file(std::string(kPlainNames) + "\n" + huge + "\n" + Transaction(2) + "\n");
    CBBM2BalanceFile reader;
    OpenOn(reader, file.Path());
    const StatementFileCheck check = reader.CheckTransactions();
    EXPECT_TRUE(check.Damaged);
    EXPECT_EQ(2, check.Line);
    EXPECT_EQ("", check.Damage.Column);
    EXPECT_EQ(1, check.Transactions);
}

TEST(BalanceFileTest, FileHeldByAWriterThatSharesReadingIsRead)
{
    // A spreadsheet that shows the file holds it open for reading and writing and lets others read.
    TempStatementFile file(std::string(kPlainNames) + "\n" + Transaction(1) + "\n");
    HANDLE holder = CreateFileA(file.Path().c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    {
        CBBM2BalanceFile reader;
        OpenOn(reader, file.Path());
        EXPECT_TRUE(reader.HasValidHeader());
        EXPECT_FALSE(reader.CheckTransactions().Damaged);
        CBMLWTransactionRecord record;
        EXPECT_EQ(1, Next(reader, record));
        EXPECT_STREQ("LINE 1", record.GetDetails());
    }
    CloseHandle(holder);

    // One that shares nothing keeps everybody out.
    holder = CreateFileA(file.Path().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    try {
        OpenStatementFile(Wide(file.Path()).c_str());
        ADD_FAILURE() << "a file held without sharing was opened";
    } catch (const StatementFileError& error) {
        EXPECT_EQ(StatementFileProblem::InUse, error.Problem);
        EXPECT_EQ(static_cast<unsigned long>(ERROR_SHARING_VIOLATION), error.SystemCode);
    }
    CloseHandle(holder);
}

TEST(BalanceFileTest, OpeningTellsWhyAFileCannotBeRead)
{
    TempStatementFile file("");
    file.Remove();
    try {
        OpenStatementFile(Wide(file.Path()).c_str());
        ADD_FAILURE() << "a missing file was opened";
    } catch (const StatementFileError& error) {
        EXPECT_EQ(StatementFileProblem::NotFound, error.Problem);
        EXPECT_EQ(static_cast<unsigned long>(ERROR_FILE_NOT_FOUND), error.SystemCode);
    }
    try {
        OpenStatementFile((Wide(file.Path()) + L"\\no folder\\x.csv").c_str());
        ADD_FAILURE() << "a file in a missing folder was opened";
    } catch (const StatementFileError& error) {
        EXPECT_EQ(StatementFileProblem::NotFound, error.Problem);
    }
}

TEST(BalanceFileTest, ShortLineEndsTheTransactions)
{
    EXPECT_THAT(ReadAll(std::string(kPlainNames) + "\n" + Transaction(1) + "\n2019-03-02,2019-04-01,Y,1,X,Y,Z\n" +
                        Transaction(3) + "\n"),
                ElementsAre("LINE 1"));
}

TEST(BalanceFileTest, LastLineWithoutLineEndIsRead)
{
    EXPECT_THAT(ReadAll(std::string(kPlainNames) + "\n" + Transaction(1) + "\n" + Transaction(2)),
                ElementsAre("LINE 1", "LINE 2"));
}

TEST(BalanceFileTest, LongLineIsReadWholeAndTheReadingGoesOn)
{
    const std::string details(2000 - 40, 'D');
    const std::string longLine = "2019-03-05,2019-04-01,Y,5,\"" + details + "\",DEB,REF,0000005";
    ASSERT_GE(longLine.size(), 2000u);
    EXPECT_THAT(ReadAll(std::string(kPlainNames) + "\n" + Transaction(1) + "\n" + longLine + "\n" + Transaction(2) +
                        "\n" + Transaction(3) + "\n"),
                ElementsAre("LINE 1", details, "LINE 2", "LINE 3"));
}

TEST(BalanceFileTest, LongColumnNameLineIsNotMistakenForTheNames)
{
    // A long first line must not be cut down into something that compares equal.
    EXPECT_EQ(0, HeaderAccepted(std::string(kPlainNames) + std::string(600, ' ') + "\n"));
    EXPECT_EQ(0, HeaderAccepted(std::string(kPlainNames) + std::string(5000, ' ') + "\n"));
    // Its end is still found: the transactions after it are read.
    EXPECT_THAT(ReadAll(std::string(kPlainNames) + std::string(5000, ',') + "\n" + Transaction(1) + "\n"),
                ElementsAre("LINE 1"));
}

TEST(BalanceFileTest, CarriageReturnLineFeedLineEnds)
{
    TempStatementFile file(std::string(kQuotedNames) + "\r\n" + Transaction(1) + "\r\n" + Transaction(2) + "\r\n");
    CBBM2BalanceFile reader;
    OpenOn(reader, file.Path());
    EXPECT_TRUE(reader.HasValidHeader());
    CBMLWTransactionRecord record;
    ASSERT_EQ(1, Next(reader, record));
    EXPECT_STREQ("001", record.GetChequeNo());
    ASSERT_EQ(1, Next(reader, record));
    EXPECT_STREQ("002", record.GetChequeNo());
    EXPECT_EQ(0, Next(reader, record));
}

// A reader that was never opened reads nothing: its first read is a failure, not an end.
TEST(BalanceFileTest, ReaderThatWasNeverOpened)
{
    CBBM2BalanceFile reader;
    EXPECT_FALSE(reader.HasValidHeader());
    CBMLWTransactionRecord record;
    EXPECT_THROW(reader.ReadTransaction(record), HRESULT);
    EXPECT_FALSE(reader.SameBytesAsChecked());
}

TEST(BalanceFileTest, EmptyFile)
{
    TempStatementFile file("");
    CBBM2BalanceFile reader;
    OpenOn(reader, file.Path());
    EXPECT_FALSE(reader.HasValidHeader());
    CBMLWTransactionRecord record;
    EXPECT_EQ(0, Next(reader, record));
}

TEST(BalanceFileTest, DiagnosticsOfAWholeRead)
{
    TempStatementFile file(std::string(kPlainNames) + "\n" + Transaction(1) + "\n");
    DebugOutputCapture output;
    CBBM2BalanceFile reader;
    OpenOn(reader, file.Path());
    CBMLWTransactionRecord record;
    EXPECT_EQ(1, Next(reader, record));
    EXPECT_EQ(0, Next(reader, record));
    // Reading to the end says nothing more.
    EXPECT_THAT(output.Texts(), ElementsAre("ReadFieldNamesHeader"));
}

TEST(BalanceFileTest, OpeningWithoutAFileFails)
{
    CBBM2BalanceFile reader;
    EXPECT_THROW(reader.Open(nullptr), HRESULT);
    EXPECT_THROW(OpenStatementFile(nullptr), StatementFileError);
}

TEST(BalanceFileTest, FileStaysReadableAndWritableByOthersWhileOpen)
{
    TempStatementFile file(std::string(kPlainNames) + "\n" + Transaction(1) + "\n");
    CBBM2BalanceFile reader;
    OpenOn(reader, file.Path());
    ASSERT_TRUE(reader.HasValidHeader());
    HANDLE other = CreateFileA(file.Path().c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, other);
    if (other != INVALID_HANDLE_VALUE)
        CloseHandle(other);
}
