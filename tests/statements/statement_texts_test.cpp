// Statement texts reach the host as a reader can trust them, through the registered module: each
// control character (C0, DEL, C1) and each bidirectional embedding, override and isolate of a
// details text or a cheque number becomes one space, in files of the ANSI code page and of UTF-8;
// every other character arrives as it is.
#include <gtest/gtest.h>

#include <string>

#include "tests/statements/statement_test_support.h"
#include "tests/support/registered_bank.h"

namespace {

const char kNames[] = "TransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo\r\n";

}  // namespace

class StatementTextsTest : public RegisteredBankTest {
protected:
    // Imports the file and gives its one transaction.
    standin::TransactionData ImportOne(const std::string& bytes)
    {
        TempStatementFile file(bytes);
        standin::Statement statement(log_);
        const ModuleRun run = Import(statement, file.Path());
        EXPECT_EQ(S_OK, run.Result);
        EXPECT_EQ(0, run.Status);
        EXPECT_TRUE(run.Captions.empty());
        const std::vector<standin::TransactionData> transactions = statement.Transactions();
        EXPECT_EQ(1u, transactions.size());
        return transactions.empty() ? standin::TransactionData() : transactions.front();
    }
};

TEST_F(StatementTextsTest, ControlCharactersInAnAnsiFileBecomeSpaces)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "needs the Western European code page";
    // C0 (SOH, tab, ESC, US), a CR inside the line, DEL; the code page's undefined bytes 0x81 and
    // 0x9D are the C1 characters U+0081 and U+009D; 0x80 and 0x9F are the euro sign and Y with
    // diaeresis, which stay.
    const standin::TransactionData transaction =
        ImportOne(std::string(kNames) + "2019-03-31,2019-04-01,Y,-12.50,\"A\x01"
                                        "B\tC\x1B"
                                        "D\x1F"
                                        "E\rF\x7F"
                                        "G\x81"
                                        "H\x9D"
                                        "I\x80\x9F\",DEB,REF1,"
                                        "\x02"
                                        "12\x81"
                                        "3\r\n");
    EXPECT_EQ(L"A B C D E F G H I\u20AC\u0178", transaction.Details);
    EXPECT_EQ(L" 12 3", transaction.Reference);
    EXPECT_EQ(L" 12 3", transaction.ChequeNumber);
}

TEST_F(StatementTextsTest, ControlAndBidirectionalCharactersInAUtf8FileBecomeSpaces)
{
    // With a byte-order mark: U+0085 and U+009B (C1), U+202A to U+202E (embeddings and overrides),
    // U+2066 to U+2069 (isolates); U+200F (a mark, not an embedding), U+2029 and U+206A, just
    // outside the ranges, and an accented letter stay.
    const std::string text = "\xC2\x85"
                             "a\xC2\x9B"
                             "b\xE2\x80\xAA\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD\xE2\x80\xAE"
                             "c\xE2\x81\xA6\xE2\x81\xA7\xE2\x81\xA8\xE2\x81\xA9"
                             "d\xE2\x80\x8F\xE2\x80\xA9\xE2\x81\xAA\xC3\xA9";
    const standin::TransactionData transaction =
        ImportOne("\xEF\xBB\xBF" + std::string(kNames) + "2019-03-31,2019-04-01,Y,5,\"" + text +
                  "\",CR,R,\xE2\x80\xAE"
                  "321\r\n");
    EXPECT_EQ(L" a b     c    d\u200F\u2029\u206A\u00E9", transaction.Details);
    EXPECT_EQ(L" 321", transaction.ChequeNumber);
}

// A text with nothing to replace comes as it is, and a cheque number of control characters alone
// still counts as one.
TEST_F(StatementTextsTest, PlainTextsAreUnchanged)
{
    const standin::TransactionData transaction =
        ImportOne(std::string(kNames) + "2019-03-31,2019-04-01,Y,5,\"CARD PAYMENT, SHOP 12 (UK) 'A' & B\",CR,R,\t\r\n");
    EXPECT_EQ(L"CARD PAYMENT, SHOP 12 (UK) 'A' & B", transaction.Details);
    EXPECT_EQ(L" ", transaction.Reference);
    EXPECT_TRUE(transaction.HasChequeNumber);
}
