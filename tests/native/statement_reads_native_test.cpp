// How often the statement reader cuts a field and reads a date and an amount for each imported
// line, in the counting build of the native tests: the check pass and the adding pass each cut a
// line once and read each of its values once.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "statements/balance_file.h"
#include "statements/statement_lines.h"

namespace {

StatementReadCounts Minus(const StatementReadCounts& after, const StatementReadCounts& before)
{
    return {after.Dates - before.Dates, after.Amounts - before.Amounts, after.Fields - before.Fields};
}

void Print(const char* pass, const StatementReadCounts& counts, long lines)
{
    std::printf("%-12s per line: %.2f date reads, %.2f amount reads, %.2f field cuts\n", pass,
                static_cast<double>(counts.Dates) / lines, static_cast<double>(counts.Amounts) / lines,
                static_cast<double>(counts.Fields) / lines);
}

}  // namespace

TEST(StatementReads, EachLineIsCutAndReadOncePerPass)
{
    constexpr long kLines = 1000;
    std::string bytes = StatementColumnLine() + "\r\n";
    for (long i = 0; i < kLines; ++i)
        bytes += "2019-03-31,2019-04-01,Y,-12.50,\"CARD PAYMENT\",DEB,REF1,000123\r\n";
    CBBM2BalanceFile reader;
    reader.Open(std::make_unique<MemoryByteSource>(bytes.data(), bytes.size()));

    const StatementReadCounts start = CountedStatementReads();
    const StatementFileCheck check = reader.CheckTransactions();
    const StatementReadCounts checked = CountedStatementReads();
    ASSERT_FALSE(check.Damaged);
    ASSERT_EQ(kLines, check.Transactions);
    CBMLWTransactionRecord record;
    long added = 0;
    while (reader.ReadTransaction(record) == StatementRead::Record)
        ++added;
    ASSERT_EQ(kLines, added);
    ASSERT_TRUE(reader.SameBytesAsChecked());
    const StatementReadCounts end = CountedStatementReads();

    const StatementReadCounts checkPass = Minus(checked, start);
    const StatementReadCounts addingPass = Minus(end, checked);
    Print("check pass", checkPass, kLines);
    Print("adding pass", addingPass, kLines);
    Print("both", Minus(end, start), kLines);
    // Each pass cuts each field once and reads the date and the amount once; the adding pass also
    // reads the value date, which only the record keeps.
    EXPECT_EQ(kLines, checkPass.Dates);
    EXPECT_EQ(kLines, checkPass.Amounts);
    EXPECT_EQ(kStatementColumnCount * kLines, checkPass.Fields);
    EXPECT_EQ(2 * kLines, addingPass.Dates);
    EXPECT_EQ(kLines, addingPass.Amounts);
    EXPECT_EQ(kStatementColumnCount * kLines, addingPass.Fields);
}
