// Randomized bad input through the registered module: mutated statement files imported and
// mutated payment batches exported, each run ending in one of the documented results. A statement
// either comes in whole (status 0, every transaction line) or not at all (status 2, one message);
// a batch is written with a line of its layout's fields per payment, a result code on each, and S_FALSE exactly when some
// payment failed its checks. The counts come from BRENMARK_RANDOM_STATEMENTS and
// BRENMARK_RANDOM_BATCHES (scripts/soak runs 10,000 of each).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "standin/standin_host.h"
#include "statements/statement_lines.h"
#include "tests/statements/statement_test_support.h"
#include "tests/support/files.h"
#include "tests/support/registered_bank.h"

namespace {

long CountFromEnvironment(const char* name, long fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::strtol(text, nullptr, 10) : fallback;
}

const char kGoodStatement[] = "TransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo\r\n"
                              "2019-03-31,2019-04-01,Y,-12.50,CARD PAYMENT,DEB,REF1,\r\n"
                              "2019-04-01,2019-04-01,N,100.00,SALARY,CR,REF2,000123\r\n"
                              "02/04/2019,02/04/2019,N,1.99,FEE,DEB,REF3,\r\n"
                              "2019-04-03,2019-04-03,N,+7,\"QUOTED, DETAILS\",CR,REF4,\r\n";

const char* const kStatementTokens[] = {
    ",",
    "\"",
    "\r",
    "\n",
    "\r\n",
    "" /* a zero byte */,
    "\x1A",
    "\xEF\xBB\xBF",
    "\xFF\xFE",
    "-",
    "+",
    ".",
    "1e400",
    "31/02/2019",
    "2019-02-29",
    "9999-12-31",
    "\xC3\xA9",
    "\xA3",
    "\xE2\x82\xAC",
    "  ",
    ",,,,,,,,",
    "0.005",
};

std::string MutateStatement(std::mt19937& random)
{
    std::string text = kGoodStatement;
    const int mutations = 1 + static_cast<int>(random() % 4);
    for (int m = 0; m < mutations; ++m) {
        const size_t at = text.empty() ? 0 : random() % (text.size() + 1);
        switch (random() % 6) {
        case 0:  // a byte changed
            if (at < text.size())
                text[at] = static_cast<char>(random() % 256);
            break;
        case 1:  // a byte gone
            if (at < text.size())
                text.erase(at, 1);
            break;
        case 2: {  // a token put in
            const char* token = kStatementTokens[random() % (sizeof kStatementTokens / sizeof *kStatementTokens)];
            text.insert(at, *token ? std::string(token) : std::string(1, '\0'));
            break;
        }
        case 3: {  // a line repeated
            const size_t start = text.rfind('\n', at == 0 ? 0 : at - 1);
            const size_t from = start == std::string::npos ? 0 : start + 1;
            const size_t end = text.find('\n', from);
            text.insert(from, text.substr(from, end == std::string::npos ? std::string::npos : end - from + 1));
            break;
        }
        case 4:  // cut short
            text.resize(at);
            break;
        default:  // a long run of one byte
            text.insert(at, std::string(1 + random() % 400, static_cast<char>(random() % 256)));
            break;
        }
    }
    return text;
}

const wchar_t* const kTexts[] = {
    L"",
    L"J. Smith",
    L"O'Brien",
    L"Smith, J",
    L"Line\r\nBreak",
    L"\u0141ukasz",
    L"Caf\u00e9",
    L"\u20ac uro",
    L"12-34-56",
    L"123456",
    L"12345678",
    L"1234567",
    L"ABCDEFGH",
    L"1234",
    L"12345",
    L"/A1B",
    L"/AB",
    L"/A B",
    L"A very long name that goes on and on well past every field length the layouts have, and more",
    L"INV 1001",
    L"tab\there",
    L"&/-.",
    L"\u9aac\u9aac",
};
const double kAmounts[] = {10.5,
                           0,
                           -1,
                           0.001,
                           0.005,
                           0.015,
                           99999999.99,
                           1e300,
                           123456789.99,
                           std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN(),
                           1.005};

std::wstring AnyText(std::mt19937& random)
{
    return kTexts[random() % (sizeof kTexts / sizeof *kTexts)];
}

standin::PaymentData AnyPayment(std::mt19937& random, bool rtiHost)
{
    standin::PaymentData payment;
    payment.Amount = kAmounts[random() % (sizeof kAmounts / sizeof *kAmounts)];
    payment.PayerSortCode = random() % 2 ? L"40-11-22" : AnyText(random);
    payment.PayerAccountNumber = random() % 2 ? L"87654321" : AnyText(random);
    payment.PayerAccountName = AnyText(random);
    payment.PayeeBacsReference = AnyText(random);
    payment.PayeeSortCode = random() % 2 ? L"12-34-56" : AnyText(random);
    payment.PayeeAccountNumber = random() % 2 ? L"12345678" : AnyText(random);
    payment.PayeeAccountName = AnyText(random);
    payment.PayeeRollNumber = random() % 3 ? L"" : AnyText(random);
    payment.Details = AnyText(random);
    if (rtiHost) {
        payment.OffersRti = true;
        payment.IsRti = static_cast<long>(random() % 2);
        payment.RtiReference = AnyText(random);
    }
    return payment;
}

bool IsResultCode(long code)
{
    for (long known : {0L, 20L, 21L, 23L, 24L, 25L, 27L, 28L, 29L, 30L, 31L, 33L, 36L})
        if (code == known)
            return true;
    return false;
}

}  // namespace

class BadInputTest : public RegisteredBankTest {};

TEST_F(BadInputTest, MutatedStatementFiles)
{
    const long runs = CountFromEnvironment("BRENMARK_RANDOM_STATEMENTS", 1000);
    std::mt19937 random(20261209);
    long imported = 0, refused = 0;
    TemporaryFile file(".csv");
    for (long run = 0; run < runs; ++run) {
        const std::string contents = MutateStatement(random);
        WriteBytes(file.Path(), contents);
        standin::Statement statement;
        statement.RecordTransactionCalls(false);
        const ModuleRun result = Import(statement, file.Path());
        SCOPED_TRACE("run " + std::to_string(run));
        ASSERT_EQ(S_OK, result.Result);
        ASSERT_FALSE(result.WindowTrouble);
        if (result.Status == 0) {
            ++imported;
            ASSERT_TRUE(result.Captions.empty());
            ASSERT_GE(statement.TransactionCount(), 0);
        } else {
            ASSERT_EQ(2, result.Status);
            ++refused;
            ASSERT_EQ(1u, result.Captions.size());
            ASSERT_EQ(0, statement.TransactionCount()) << "a refused file left transactions";
        }
    }
    std::printf("Randomized run: %ld mutated statement files, %ld imported whole, %ld refused whole\n", runs, imported,
                refused);
}

TEST_F(BadInputTest, MutatedPaymentBatches)
{
    const long runs = CountFromEnvironment("BRENMARK_RANDOM_BATCHES", 100);
    std::mt19937 random(7);
    long allPassed = 0, someFailed = 0;
    for (long run = 0; run < runs; ++run) {
        const bool rtiHost = random() % 4 == 0;
        const ExportLayout layout = rtiHost ? ExportLayout::OfferedByRtiHost
                                            : (random() % 2 ? ExportLayout::Ledgerway : ExportLayout::Lintrove);
        standin::PaymentBatch batch;
        batch.RecordPaymentCalls(false);
        const long count = 1 + static_cast<long>(random() % 5);
        for (long i = 0; i < count; ++i)
            batch.Add(AnyPayment(random, rtiHost));
        const ModuleRun result = Export(batch, nullptr, layout);
        SCOPED_TRACE("run " + std::to_string(run));
        ASSERT_FALSE(result.WindowTrouble);
        bool anyFailed = false;
        for (long i = 0; i < count; ++i) {
            ASSERT_TRUE(IsResultCode(batch.ResultCode(i))) << batch.ResultCode(i);
            anyFailed = anyFailed || batch.ResultCode(i) != 0;
        }
        ASSERT_EQ(anyFailed ? S_FALSE : S_OK, result.Result);
        ASSERT_EQ(anyFailed ? 1 : 0, result.Status);
        (anyFailed ? someFailed : allPassed) += 1;
        // A line per payment (and the header), each of its layout's fields, valid or not, however
        // the texts tried to break the fields.
        const std::string bytes = ReadBytes(PaymentPath());
        std::vector<std::string> lines;
        ASSERT_TRUE(SplitCrLfLines(bytes, lines)) << bytes;
        ASSERT_EQ(static_cast<size_t>(count + (layout == ExportLayout::Ledgerway ? 1 : 0)), lines.size()) << bytes;
        for (const std::string& line : lines)
            ASSERT_EQ(layout == ExportLayout::Ledgerway ? 12u : 6u, CountFields(line)) << line;
    }
    std::printf("Randomized run: %ld mutated payment batches, %ld all valid, %ld with invalid payments\n", runs,
                allPassed, someFailed);
}
