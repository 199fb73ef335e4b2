// The statement line rules in the native build: each kind of damage, the skipped lines, dates and
// amounts (the Windows tests drive the same rules through the registered module).
#include <gtest/gtest.h>

#include <string>

#include "statements/statement_lines.h"

namespace {

StatementLineKind Kind(const std::string& line, StatementLineDamage* damage = nullptr)
{
    return ReadStatementLine(line, false, damage).Kind;
}

}  // namespace

TEST(StatementLinesTest, TransactionsSkippedAndDamagedLines)
{
    EXPECT_EQ(StatementLineKind::Transaction, Kind("2019-03-31,2019-04-01,Y,-12.50,CARD,DEB,R,000123"));
    EXPECT_EQ(StatementLineKind::Transaction, Kind("1/3/2019,,Y,+1,CARD,DEB,R,"));
    EXPECT_EQ(StatementLineKind::Transaction, Kind("1/3/2019,,Y,1,\"A, B\",DEB,R,,"));
    // A trailing comma after a whole amount, or three-digit details after it on a line of eight.
    EXPECT_EQ(StatementLineKind::Transaction, Kind("1/3/2019,,Y,1,250,DEB,R,"));
    EXPECT_EQ(StatementLineKind::Transaction, Kind("1/3/2019,,Y,1.00,250.00,DEB,R,,"));
    EXPECT_EQ(StatementLineKind::Transaction, Kind("1/3/2019,,Y,1,2500,DEB,R,,"));
    for (const char* skipped : {"", "   ", "\t", ",,,,,,,", ",,,,,,,,,"})
        EXPECT_EQ(StatementLineKind::Skipped, Kind(skipped)) << skipped;

    struct Case {
        const char* Line;
        const char* Column;
        const char* Found;
    };
    const Case cases[] = {
        {"2019-03-31,2019-04-01,Y,1,CARD,DEB,R", "", "2019-03-31,2019-04-01,Y,1,CARD,DEB,R"},
        {"2019-03-31,2019-04-01,Y,1,250.00,CARD,DEB,R,1", "9 (after ChequeNo)", "1"},
        // The same amount when the cheque number is empty: the line would pass as a sum of 1.00.
        {"2019-03-31,2019-04-01,Y,-1,250.00,CARD,DEB,R,", "Amount", "-1,250.00"},
        {"2019-03-31,2019-04-01,Y,1,250,000.00,CARD,DEB,,", "Amount", "1,250,000.00"},
        {"2019-03-31,2019-04-01,Y, 12 , 345 ,CARD,DEB,R,", "Amount", "12,345"},
        {"2019-03-31,2019-04-01,Y,12.50CR,CARD,DEB,R,", "Amount", "12.50CR"},
        {"2019-03-31,2019-04-01,Y,,CARD,DEB,R,", "Amount", ""},
        {"31/03/19,2019-04-01,Y,1,CARD,DEB,R,", "TransDate", "31/03/19"},
        {"2019-02-30,2019-04-01,Y,1,CARD,DEB,R,", "TransDate", "2019-02-30"},
    };
    for (const Case& c : cases) {
        StatementLineDamage damage;
        EXPECT_EQ(StatementLineKind::Damaged, Kind(c.Line, &damage)) << c.Line;
        EXPECT_EQ(c.Column, damage.Column) << c.Line;
        EXPECT_EQ(c.Found, damage.Found) << c.Line;
        EXPECT_FALSE(damage.Expected.empty()) << c.Line;
    }
    StatementLineDamage damage;
    EXPECT_EQ(StatementLineKind::Damaged, Kind(std::string("2019-03-31,2019-04-01,Y,1,C\0D,DEB,R,", 37), &damage));
    EXPECT_EQ("C<NUL>D", damage.Found);
    EXPECT_EQ(StatementLineKind::Damaged, ReadStatementLine("2019-03-31,,Y,1,CAF\xC9,DEB,R,", true, &damage).Kind);
    EXPECT_EQ("Details", damage.Column);
}

TEST(StatementLinesTest, AmountsAreExactSums)
{
    double amount = 0;
    ASSERT_TRUE(ReadStatementAmount("0.10", &amount));
    EXPECT_EQ(0.1, amount);
    ASSERT_TRUE(ReadStatementAmount("\" -999999999999.99 \"", &amount));
    EXPECT_EQ(-999999999999.99, amount);
    for (const char* bad : {"1e400", "nan", "1,000", "12.345", "1000000000000",
                            "\xA3"
                            "1",
                            "+-1"})
        EXPECT_FALSE(ReadStatementAmount(bad, &amount)) << bad;
}

TEST(StatementLinesTest, FoundTextStaysShortWhateverItHolds)
{
    // Found by fuzzing: control bytes, each shown as <0x0E>, once ran the text past its limit.
    const std::string line = "22020-02-5803840=1/03ETAILS,C" + std::string(40, '\x0E') + "01";
    StatementLineDamage damage;
    ASSERT_EQ(StatementLineKind::Damaged, ReadStatementLine(line, false, &damage).Kind);
    EXPECT_LE(damage.Found.size(), 83u);
    EXPECT_EQ("...", damage.Found.substr(damage.Found.size() - 3));

    // A cut never leaves half a UTF-8 sequence, and keeps whole ones.
    const std::string shown = ShownStatementText(std::string(79, 'a') + "\xE2\x82\xAC" + "tail");
    EXPECT_EQ(std::string(79, 'a') + "...", shown);
    EXPECT_EQ(std::string(77, 'a') + "\xE2\x82\xAC...",
              ShownStatementText(std::string(77, 'a') + "\xE2\x82\xAC" + "tail"));
    EXPECT_EQ("<NUL>ab", ShownStatementText(std::string("\0ab", 3)));
}
