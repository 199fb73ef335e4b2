// One statement line into one transaction record: field cutting, quotes, dates, amounts.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>

#include "statements/statement_lines.h"
#include "statements/transaction_record.h"

namespace {

// OLE Automation dates (days since 30 December 1899) of the days the tests use.
constexpr double k1March2019 = 43525;
constexpr double k31March2019 = 43555;
constexpr double k1April2019 = 43556;
constexpr double k29February2020 = 43890;

const char kExampleLine[] = R"("2019-03-31","2019-04-01","Y",-12.50,"CARD PAYMENT","DEB","REF1","000123")";

CBMLWTransactionRecord Read(const std::string& line)
{
    std::istringstream stream(line + "\n");
    CBMLWTransactionRecord record;
    stream >> record;
    return record;
}

void ExpectExampleRecord(const CBMLWTransactionRecord& record)
{
    EXPECT_EQ(k31March2019, record.GetTransDate());
    EXPECT_EQ(k1April2019, record.GetValueDate());
    EXPECT_STREQ("Y", record.GetInToday());
    EXPECT_EQ(-12.5, record.GetAmount());
    EXPECT_STREQ("CARD PAYMENT", record.GetDetails());
    EXPECT_STREQ("DEB", record.GetTransCode());
    EXPECT_STREQ("REF1", record.GetRFR());
    EXPECT_STREQ("000123", record.GetChequeNo());
    EXPECT_TRUE(record.IsNegative());
}

}  // namespace

TEST(TransactionRecordTest, ExampleLineFillsEveryMember)
{
    ExpectExampleRecord(Read(kExampleLine));
}

TEST(TransactionRecordTest, QuotedAmountIsReadLikeTheOtherFields)
{
    CBMLWTransactionRecord record =
        Read(R"("2019-03-31","2019-04-01","Y","-12.50","CARD PAYMENT","DEB","REF1","000123")");
    ExpectExampleRecord(record);
}

TEST(TransactionRecordTest, CommaInsideQuotesDoesNotSplitAField)
{
    CBMLWTransactionRecord record = Read(R"(2019-03-31,2019-04-01,Y,5,"A, B",DEB,REF1,7)");
    EXPECT_STREQ("A, B", record.GetDetails());
    EXPECT_STREQ("DEB", record.GetTransCode());
    EXPECT_STREQ("7", record.GetChequeNo());
    EXPECT_EQ(5, record.GetAmount());
}

TEST(TransactionRecordTest, SevenFieldsRaiseTooFewFieldsAndKeepTheRecord)
{
    std::istringstream stream(std::string(kExampleLine) + "\n2019-01-01,2019-01-02,N,99,X,Y,Z\n");
    CBMLWTransactionRecord record;
    stream >> record;
    try {
        stream >> record;
        FAIL() << "no error raised";
    } catch (CBMLWTransactionRecord::Error error) {
        EXPECT_EQ(CBMLWTransactionRecord::TooFewFields, error);
    }
    ExpectExampleRecord(record);
}

TEST(TransactionRecordTest, EmptyLineAndEndOfStreamRaiseTooFewFields)
{
    std::istringstream stream("\n");
    CBMLWTransactionRecord record;
    EXPECT_THROW(stream >> record, CBMLWTransactionRecord::Error);
    EXPECT_THROW(stream >> record, CBMLWTransactionRecord::Error);
    EXPECT_THROW(stream >> record, CBMLWTransactionRecord::Error);
}

TEST(TransactionRecordTest, EmptyFieldsAfterTheEighthAreIgnoredAndFilledOnesDamageTheLine)
{
    ExpectExampleRecord(Read(std::string(kExampleLine) + ","));
    ExpectExampleRecord(Read(std::string(kExampleLine) + ",,\"\""));
    std::istringstream stream(std::string(kExampleLine) + "\n" + kExampleLine + R"(,"EXTRA",more)" + "\n");
    CBMLWTransactionRecord record;
    stream >> record;
    try {
        stream >> record;
        FAIL() << "no error raised";
    } catch (CBMLWTransactionRecord::Error error) {
        EXPECT_EQ(CBMLWTransactionRecord::DamagedLine, error);
    }
    ExpectExampleRecord(record);
}

TEST(TransactionRecordTest, AdjacentCommasLeaveClearedValues)
{
    std::istringstream stream(std::string(kExampleLine) + "\n" + R"("2019-03-31",,"Y",0,"PAID",,,)" + "\n");
    CBMLWTransactionRecord record;
    stream >> record;
    stream >> record;
    EXPECT_EQ(k31March2019, record.GetTransDate());
    EXPECT_EQ(0, record.GetValueDate());
    EXPECT_STREQ("Y", record.GetInToday());
    EXPECT_EQ(0, record.GetAmount());
    EXPECT_FALSE(record.IsNegative());
    EXPECT_STREQ("PAID", record.GetDetails());
    EXPECT_STREQ("", record.GetTransCode());
    EXPECT_STREQ("", record.GetRFR());
    EXPECT_STREQ("", record.GetChequeNo());
}

TEST(TransactionRecordTest, EmptyOrUnreadableDateOrAmountDamagesTheLine)
{
    const char* lines[] = {
        R"("2019-03-31","2019-04-01","Y",,"PAID",,,)",         // no amount
        R"(,"2019-04-01","Y",1,"PAID",,,)",                    // no date
        R"("2019-02-30","2019-04-01","Y",1,"PAID",,,)",        // no such day
        R"("2019-03-31","2019-04-01","Y",12.50CR,"PAID",,,)",  // not a plain sum
    };
    for (const char* line : lines) {
        std::istringstream stream(std::string(kExampleLine) + "\n" + line + "\n");
        CBMLWTransactionRecord record;
        stream >> record;
        EXPECT_THROW(stream >> record, CBMLWTransactionRecord::Error) << line;
        ExpectExampleRecord(record);
    }
    // The value date is not passed on: an unreadable one is kept as 0.
    EXPECT_EQ(0, Read("2019-03-31,someday,Y,1,D,C,R,N").GetValueDate());
}

TEST(TransactionRecordTest, DatesInTheLine)
{
    EXPECT_EQ(k1March2019, Read("2019-3-1,2019-03-01,Y,1,D,C,R,N").GetTransDate());
    EXPECT_EQ(k31March2019, Read("31/03/2019,2019-03-01,Y,1,D,C,R,N").GetTransDate());
    EXPECT_EQ(k1March2019, Read("1/3/2019,1/3/2019,Y,1,D,C,R,N").GetValueDate());
}

TEST(TransactionRecordTest, ParseStatementDateAcceptsOnlyCalendarDates)
{
    EXPECT_EQ(k31March2019, ParseStatementDate("2019-03-31"));
    EXPECT_EQ(k1March2019, ParseStatementDate("2019-3-1"));
    EXPECT_EQ(k29February2020, ParseStatementDate("2020-02-29"));
    // Day first, the UK way.
    EXPECT_EQ(k31March2019, ParseStatementDate("31/03/2019"));
    EXPECT_EQ(k1March2019, ParseStatementDate("1/3/2019"));
    EXPECT_EQ(k1March2019, ParseStatementDate("01/03/2019"));
    EXPECT_EQ(k29February2020, ParseStatementDate("29/02/2020"));
    // Blanks and one pair of quotes around it.
    EXPECT_EQ(k31March2019, ParseStatementDate(" \"2019-03-31\" "));

    EXPECT_EQ(0, ParseStatementDate("2019-02-29"));
    EXPECT_EQ(0, ParseStatementDate("2019-02-30"));
    EXPECT_EQ(0, ParseStatementDate("2019-04-31"));
    EXPECT_EQ(0, ParseStatementDate("2019-00-10"));
    EXPECT_EQ(0, ParseStatementDate("2019-13-01"));
    EXPECT_EQ(0, ParseStatementDate("2019-03-00"));
    EXPECT_EQ(0, ParseStatementDate("2019-03"));
    EXPECT_EQ(0, ParseStatementDate("31/02/2019"));
    EXPECT_EQ(0, ParseStatementDate("3/31/2019"));  // month first is not the UK way
    EXPECT_EQ(0, ParseStatementDate(""));
    // Runs of hyphens, a stray quote, a two-digit year, text after the day: no dates.
    EXPECT_EQ(0, ParseStatementDate("-2019--03-31"));
    EXPECT_EQ(0, ParseStatementDate("\"2019-03-31"));
    EXPECT_EQ(0, ParseStatementDate("31/03/19"));
    EXPECT_EQ(0, ParseStatementDate("19-03-31"));
    EXPECT_EQ(0, ParseStatementDate("2019-03-31T00:00"));
    EXPECT_EQ(0, ParseStatementDate("31/03/2019 09:15"));
    // 67555 is 2019 in sixteen bits: it must not turn into a date in 2019.
    EXPECT_EQ(0, ParseStatementDate("67555-03-31"));
    EXPECT_EQ(0, ParseStatementDate("99999999999-03-31"));
}

TEST(TransactionRecordTest, QuotesInsideAFieldStay)
{
    CBMLWTransactionRecord record = Read(R"(2019-03-31,2019-04-01,Y,1,"say ""hi""",C,R,")");
    EXPECT_STREQ(R"(say ""hi"")", record.GetDetails());
    // A lone quote is not a pair of enclosing quotes.
    EXPECT_STREQ("\"", record.GetChequeNo());
}

TEST(TransactionRecordTest, ZeroAndMinusZeroAreReceipts)
{
    CBMLWTransactionRecord zero = Read("2019-03-31,2019-04-01,Y,0,D,C,R,N");
    EXPECT_EQ(0, zero.GetAmount());
    EXPECT_FALSE(zero.IsNegative());
    CBMLWTransactionRecord minusZero = Read("2019-03-31,2019-04-01,Y,-0,D,C,R,N");
    EXPECT_EQ(0, minusZero.GetAmount());
    EXPECT_FALSE(minusZero.IsNegative());
    CBMLWTransactionRecord minusCent = Read("2019-03-31,2019-04-01,Y,-0.01,D,C,R,N");
    EXPECT_TRUE(minusCent.IsNegative());
}

TEST(TransactionRecordTest, AmountIsAPlainSumOfMoney)
{
    EXPECT_EQ(-12.5, ParseStatementAmount("-12.50"));
    EXPECT_EQ(12.5, ParseStatementAmount("  +12.5  "));
    EXPECT_EQ(12.5, ParseStatementAmount("\" 12.50 \""));
    EXPECT_EQ(0.5, ParseStatementAmount(".5"));
    EXPECT_EQ(7, ParseStatementAmount("7."));
    EXPECT_EQ(0.1, ParseStatementAmount("0.10"));
    EXPECT_EQ(999999999999.99, ParseStatementAmount("999999999999.99"));

    for (const char* text : {"+12.5GBP",
                             "1.25e3",
                             "3e",
                             "1,000.00",
                             "",
                             "-",
                             ".",
                             "GBP 5",
                             "\xA3"
                             "5",
                             "12.50CR",
                             "12.50-",
                             "12.50 DR",
                             "(12.50)",
                             "1.234",
                             "1000000000000",
                             "1e400",
                             "inf",
                             "nan",
                             "0x10",
                             "--1",
                             "1 000"}) {
        double amount = 42;
        EXPECT_FALSE(ReadStatementAmount(text, &amount)) << text;
        EXPECT_EQ(42, amount) << text;
        EXPECT_EQ(0, ParseStatementAmount(text)) << text;
    }
}

TEST(TransactionRecordTest, AmountIgnoresTheProcessLocale)
{
    // A host that sets a locale with a decimal comma must not turn -12.50 into -12.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_NUMERIC, "German_Germany.1252") && !std::setlocale(LC_NUMERIC, "de-DE"))
        GTEST_SKIP() << "no German locale on this system";
    const bool commaLocale = std::strtod("0.5", nullptr) != 0.5;
    const double amount = Read("2019-03-31,2019-04-01,Y,-12.50,D,C,R,N").GetAmount();
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_TRUE(commaLocale) << "the locale does not change the C library's decimal point";
    EXPECT_EQ(-12.5, amount);
}

TEST(TransactionRecordTest, LongLineIsReadWhole)
{
    const std::string details(2000, 'x');
    std::istringstream stream("2019-03-31,2019-04-01,Y,1,\"" + details + "\",C,R,N\n" + kExampleLine + "\n");
    CBMLWTransactionRecord record;
    stream >> record;
    EXPECT_EQ(details, std::string(record.GetDetails()));
    EXPECT_STREQ("N", record.GetChequeNo());
    stream >> record;
    ExpectExampleRecord(record);
}

TEST(TransactionRecordTest, FieldCutting)
{
    EXPECT_EQ(0, CountFields(nullptr, ','));
    EXPECT_EQ(1, CountFields("", ','));
    EXPECT_EQ(3, CountFields(R"(a,"b,c",d)", ','));
    EXPECT_EQ(2, CountFields(R"(a,"b,c,d)", ','));

    const char* text = R"(a,"b,c",,d)";
    const char* rest = nullptr;
    EXPECT_STREQ("a", NextField(text, ',', &rest));
    EXPECT_EQ(text + 2, rest);
    EXPECT_STREQ(R"("b,c")", NextField(rest, ',', &rest));
    EXPECT_STREQ("", NextField(rest, ',', &rest));
    EXPECT_STREQ("d", NextField(rest, ',', &rest));
    EXPECT_EQ(nullptr, rest);
    EXPECT_STREQ("", NextField(rest, ',', &rest));
    EXPECT_EQ(nullptr, rest);
}

TEST(TransactionRecordTest, StripQuotesRemovesOnlyOneEnclosingPair)
{
    const char* cases[][2] = {
        {R"("abc")", "abc"},    {R"("")", ""},          {R"(""x"")", R"("x")"}, {"\"", "\""},
        {R"("abc)", R"("abc)"}, {R"(abc")", R"(abc")"}, {"abc", "abc"},         {"", ""},
    };
    for (const auto& c : cases) {
        CString text(c[0]);
        StripQuotes(text);
        EXPECT_STREQ(c[1], text) << c[0];
    }
}
