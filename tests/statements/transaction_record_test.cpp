// One statement line into one transaction record, as the module reads it: the line rules, the
// record, the reader over a block of memory. Field cutting, quotes, dates, amounts.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "statements/balance_file.h"
#include "statements/statement_lines.h"
#include "statements/transaction_record.h"

namespace {

// OLE Automation dates (days since 30 December 1899) of the days the tests use.
constexpr double k1March2019 = 43525;
constexpr double k31March2019 = 43555;
constexpr double k1April2019 = 43556;
constexpr double k29February2020 = 43890;

const char kExampleLine[] = R"("2019-03-31","2019-04-01","Y",-12.50,"CARD PAYMENT","DEB","REF1","000123")";
const char kColumnNames[] = "TransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo\n";

// A statement file held in memory, read line by line as the import reads it.
class MemoryStatement {
public:
    explicit MemoryStatement(const std::string& lines) : bytes_(kColumnNames + lines)
    {
        reader_.Open(std::make_unique<MemoryByteSource>(bytes_.data(), bytes_.size()));
    }
    StatementRead Next() { return reader_.ReadTransaction(record_); }
    const CBMLWTransactionRecord& Record() const { return record_; }

private:
    std::string bytes_;
    CBBM2BalanceFile reader_;
    CBMLWTransactionRecord record_;
};

// One transaction line through the reader.
CBMLWTransactionRecord Read(const std::string& line)
{
    MemoryStatement file(line + "\n");
    EXPECT_EQ(StatementRead::Record, file.Next()) << line;
    EXPECT_EQ(StatementRead::End, file.Next()) << line;
    return file.Record();
}

double Date(const char* text)
{
    double date = 0;
    return ReadStatementDate(text, &date) ? date : 0;
}

double Amount(const char* text)
{
    double amount = 0;
    return ReadStatementAmount(text, &amount) ? amount : 0;
}

void ExpectExampleRecord(const CBMLWTransactionRecord& record, const char* file = __builtin_FILE(),
                         int line = __builtin_LINE())
{
    ::testing::ScopedTrace caller(file, line, "called from here");
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

TEST(TransactionRecordTest, SevenFieldsAreDamagedKeepTheRecordAndEndTheReading)
{
    MemoryStatement file(std::string(kExampleLine) + "\n2019-01-01,2019-01-02,N,99,X,Y,Z\n" + kExampleLine + "\n");
    EXPECT_EQ(StatementRead::Record, file.Next());
    EXPECT_EQ(StatementRead::Damaged, file.Next());
    ExpectExampleRecord(file.Record());
    // Nothing after a damaged line is read.
    EXPECT_EQ(StatementRead::End, file.Next());

    StatementLineDamage damage;
    EXPECT_EQ(StatementLineKind::Damaged, ReadStatementLine("2019-01-01,2019-01-02,N,99,X,Y,Z", false, &damage).Kind);
    EXPECT_EQ("", damage.Column);
    EXPECT_EQ("8 fields separated by commas, but the line has 7 (a comma may be missing, or a double quote left open)",
              damage.Expected);
}

TEST(TransactionRecordTest, BlankLinesArePassedOverAndTheEndIsFinal)
{
    MemoryStatement file("\n \n,,,,,,,\n");
    EXPECT_EQ(StatementRead::End, file.Next());
    EXPECT_EQ(StatementRead::End, file.Next());
    EXPECT_EQ(StatementRead::End, file.Next());
    EXPECT_EQ(StatementLineKind::Skipped, ReadStatementLine("", false, nullptr).Kind);
    EXPECT_EQ(StatementLineKind::Skipped, ReadStatementLine(" \t", false, nullptr).Kind);
    EXPECT_EQ(StatementLineKind::Skipped, ReadStatementLine(",,\"\",,,,,", false, nullptr).Kind);
}

TEST(TransactionRecordTest, EmptyFieldsAfterTheEighthAreIgnoredAndFilledOnesDamageTheLine)
{
    ExpectExampleRecord(Read(std::string(kExampleLine) + ","));
    ExpectExampleRecord(Read(std::string(kExampleLine) + ",,\"\""));
    MemoryStatement file(std::string(kExampleLine) + "\n" + kExampleLine + R"(,"EXTRA",more)" + "\n");
    EXPECT_EQ(StatementRead::Record, file.Next());
    EXPECT_EQ(StatementRead::Damaged, file.Next());
    ExpectExampleRecord(file.Record());
}

TEST(TransactionRecordTest, AdjacentCommasLeaveClearedValues)
{
    MemoryStatement file(std::string(kExampleLine) + "\n" + R"("2019-03-31",,"Y",0,"PAID",,,)" + "\n");
    ASSERT_EQ(StatementRead::Record, file.Next());
    ASSERT_EQ(StatementRead::Record, file.Next());
    const CBMLWTransactionRecord& record = file.Record();
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
        MemoryStatement file(std::string(kExampleLine) + "\n" + line + "\n");
        EXPECT_EQ(StatementRead::Record, file.Next());
        EXPECT_EQ(StatementRead::Damaged, file.Next()) << line;
        ExpectExampleRecord(file.Record());
        // The record's own check refuses them too, should a line reach it unchecked.
        CBMLWTransactionRecord record = file.Record();
        EXPECT_FALSE(FillTransactionRecord(ReadStatementLine(line, false, nullptr), record)) << line;
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

TEST(TransactionRecordTest, ReadStatementDateAcceptsOnlyCalendarDates)
{
    EXPECT_EQ(k31March2019, Date("2019-03-31"));
    EXPECT_EQ(k1March2019, Date("2019-3-1"));
    EXPECT_EQ(k29February2020, Date("2020-02-29"));
    // Day first, the UK way.
    EXPECT_EQ(k31March2019, Date("31/03/2019"));
    EXPECT_EQ(k1March2019, Date("1/3/2019"));
    EXPECT_EQ(k1March2019, Date("01/03/2019"));
    EXPECT_EQ(k29February2020, Date("29/02/2020"));
    // Blanks and one pair of quotes around it.
    EXPECT_EQ(k31March2019, Date(" \"2019-03-31\" "));

    EXPECT_EQ(0, Date("2019-02-29"));
    EXPECT_EQ(0, Date("2019-02-30"));
    EXPECT_EQ(0, Date("2019-04-31"));
    EXPECT_EQ(0, Date("2019-00-10"));
    EXPECT_EQ(0, Date("2019-13-01"));
    EXPECT_EQ(0, Date("2019-03-00"));
    EXPECT_EQ(0, Date("2019-03"));
    EXPECT_EQ(0, Date("31/02/2019"));
    EXPECT_EQ(0, Date("3/31/2019"));  // month first is not the UK way
    EXPECT_EQ(0, Date(""));
    // Runs of hyphens, a stray quote, a two-digit year, text after the day: no dates.
    EXPECT_EQ(0, Date("-2019--03-31"));
    EXPECT_EQ(0, Date("\"2019-03-31"));
    EXPECT_EQ(0, Date("31/03/19"));
    EXPECT_EQ(0, Date("19-03-31"));
    EXPECT_EQ(0, Date("2019-03-31T00:00"));
    EXPECT_EQ(0, Date("31/03/2019 09:15"));
    // 67555 is 2019 in sixteen bits: it must not turn into a date in 2019.
    EXPECT_EQ(0, Date("67555-03-31"));
    EXPECT_EQ(0, Date("99999999999-03-31"));

    double date = 42;
    EXPECT_FALSE(ReadStatementDate("2019-02-30", &date));
    EXPECT_EQ(42, date) << "a refused date leaves the value alone";
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
    EXPECT_EQ(-12.5, Amount("-12.50"));
    EXPECT_EQ(12.5, Amount("  +12.5  "));
    EXPECT_EQ(12.5, Amount("\" 12.50 \""));
    EXPECT_EQ(0.5, Amount(".5"));
    EXPECT_EQ(7, Amount("7."));
    EXPECT_EQ(0.1, Amount("0.10"));
    EXPECT_EQ(999999999999.99, Amount("999999999999.99"));

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
        EXPECT_EQ(0, Amount(text)) << text;
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
    MemoryStatement file("2019-03-31,2019-04-01,Y,1,\"" + details + "\",C,R,N\n" + kExampleLine + "\n");
    ASSERT_EQ(StatementRead::Record, file.Next());
    EXPECT_EQ(details, std::string(file.Record().GetDetails()));
    EXPECT_STREQ("N", file.Record().GetChequeNo());
    ASSERT_EQ(StatementRead::Record, file.Next());
    ExpectExampleRecord(file.Record());
}

TEST(TransactionRecordTest, FieldCutting)
{
    const auto cut = [](const char* text, const char* end, const char** rest) {
        const StatementField field = CutStatementField(text, end, rest);
        return std::string(field.Text, field.Length);
    };
    const std::string line = R"(a,"b,c",,d)";
    const char* end = line.data() + line.size();
    const char* rest = nullptr;
    EXPECT_EQ("a", cut(line.data(), end, &rest));
    EXPECT_EQ(line.data() + 2, rest);
    EXPECT_EQ(R"("b,c")", cut(rest, end, &rest));
    EXPECT_EQ("", cut(rest, end, &rest));
    EXPECT_EQ("d", cut(rest, end, &rest));
    EXPECT_EQ(nullptr, rest);
    EXPECT_EQ("", cut(rest, end, &rest));
    EXPECT_EQ(nullptr, rest);

    // An unbalanced quote hides the commas after it: the line is one field short.
    StatementLineDamage damage;
    EXPECT_EQ(StatementLineKind::Damaged,
              ReadStatementLine(R"(2019-03-31,2019-04-01,"Y,1,D,C,R,N)", false, &damage).Kind);
    EXPECT_EQ("8 fields separated by commas, but the line has 3 (a comma may be missing, or a double quote left open)",
              damage.Expected);
    // The cut stops at the end it is given, not at a NUL byte.
    const std::string withNul("a\0b,c", 5);
    EXPECT_EQ(std::string("a\0b", 3), cut(withNul.data(), withNul.data() + withNul.size(), &rest));
}

TEST(TransactionRecordTest, WithoutQuotesRemovesOnlyOneEnclosingPair)
{
    const char* cases[][2] = {
        {R"("abc")", "abc"},    {R"("")", ""},          {R"(""x"")", R"("x")"}, {"\"", "\""},
        {R"("abc)", R"("abc)"}, {R"(abc")", R"(abc")"}, {"abc", "abc"},         {"", ""},
    };
    for (const auto& c : cases) {
        const StatementField field = WithoutQuotes(StatementField{c[0], std::string(c[0]).size()});
        EXPECT_EQ(c[1], std::string(field.Text, field.Length)) << c[0];
    }
}
