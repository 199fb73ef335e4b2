// The sample host program's report side, in process: its tables, its amount and date texts, and
// the buffered stream its report goes through.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "hostprogram/buffered_output.h"
#include "hostprogram/program_text.h"
#include "hostprogram/report_table.h"
#include "standin/call_text.h"

using hostprogram::FormatReceivedAmount;
using hostprogram::Table;

namespace {

// What the report printed before it had a quick path for whole pence.
std::string ReceivedAmountByTheLibrary(double amount)
{
    char text[64];  // longer texts were cut, and so never read back as the amount
    std::snprintf(text, sizeof text, "%.2f", amount);
    return std::strtod(text, nullptr) == amount ? text : standin::NumberText(amount);
}

std::string Print(const Table& table, const std::vector<Table::Row>& rows)
{
    std::ostringstream out;
    table.Print(out, rows.size(), [&](size_t index, Table::Row& row) { row = rows[index]; });
    return out.str();
}

}  // namespace

TEST(HostReportAmounts, WholePenceAndOtherAmountsReadAsTheLibraryWritesThem)
{
    const double amounts[] = {0.0,
                              -0.0,
                              0.01,
                              -0.01,
                              0.1,
                              0.5,
                              1.005,
                              2.675,
                              -2000.0,
                              1234.5,
                              99999999.99,
                              0.1 + 0.2,
                              1.0 / 3,
                              1e-7,
                              12.345,
                              89999999999999.99,
                              9e15,
                              1e20,
                              -1e300,
                              std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::denorm_min()};
    for (double amount : amounts)
        EXPECT_EQ(ReceivedAmountByTheLibrary(amount), FormatReceivedAmount(amount)) << amount;

    std::mt19937_64 random(20261209);
    std::uniform_int_distribution<long long> pence(-100000000000LL, 100000000000LL);
    for (int i = 0; i < 20000; ++i) {
        const double amount = static_cast<double>(pence(random)) / 100;
        ASSERT_EQ(ReceivedAmountByTheLibrary(amount), FormatReceivedAmount(amount)) << amount;
        const double nearly = std::nextafter(amount, 1e300);
        ASSERT_EQ(ReceivedAmountByTheLibrary(nearly), FormatReceivedAmount(nearly)) << nearly;
    }
    EXPECT_EQ("-0.00", FormatReceivedAmount(-0.0));
    EXPECT_EQ("-2000.00", FormatReceivedAmount(-2000));
}

TEST(HostReportDates, DayAndTimeOfDay)
{
    EXPECT_EQ("2019-03-05", hostprogram::FormatDate(43529));
    EXPECT_EQ("2019-03-05 12:00:00", hostprogram::FormatDate(43529.5));
    EXPECT_EQ("1899-12-30", hostprogram::FormatDate(0));
    // Not a date the system can convert: the number itself.
    EXPECT_EQ(standin::NumberText(1e10), hostprogram::FormatDate(1e10));
}

TEST(HostReportTable, ColumnsLineUpByCharacters)
{
    const Table table({"No", "Name", "Amount", "Note"}, {true, false, true, false});
    EXPECT_EQ(
        "No  Name     Amount  Note\n"
        " 1  Łódź       1.00  first\n"
        "12  A         12.50\n"
        " 3  Zoë Ltd  100.00  x\n",
        Print(table, {{"1", "Łódź", "1.00", "first"}, {"12", "A", "12.50", ""}, {"3", "Zoë Ltd", "100.00", "x"}}));
    EXPECT_EQ("No  Name  Amount  Note\n", Print(table, {}));
}

// Every line as the table must print it: cells padded to the widest, trailing spaces dropped.
std::string Expected(const std::vector<Table::Row>& rows)
{
    size_t width = 0;
    for (const Table::Row& row : rows)
        width = std::max(width, row[0].size());
    std::string lines;
    for (const Table::Row& row : rows) {
        std::string line = row[0] + std::string(width - row[0].size(), ' ') + "  " + row[1];
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        lines += line + "\n";
    }
    return lines;
}

TEST(HostReportTable, LongCellsComeBackWhole)
{
    // Cell lengths that need one, two and three length bytes, and a cell larger than a block.
    const Table table({"Text", "End"}, {false, false});
    std::vector<Table::Row> rows = {{"Text", "End"}};
    for (size_t length : {size_t{127}, size_t{128}, size_t{16384}, size_t{(1 << 20) + 5}, size_t{3}})
        rows.push_back({std::string(length, static_cast<char>('a' + length % 26)), "|"});
    const std::string printed = Print(table, {rows.begin() + 1, rows.end()});
    EXPECT_TRUE(printed == Expected(rows));
    EXPECT_EQ(Expected(rows).size(), printed.size());
}

TEST(HostReportTable, ManyRowsAcrossBlocksComeBackInOrder)
{
    const Table table({"Row", "Filler"}, {false, false});
    std::vector<Table::Row> rows = {{"Row", "Filler"}};
    for (int i = 0; i < 40000; ++i)
        rows.push_back({std::to_string(i), std::string(static_cast<size_t>(i % 300), static_cast<char>('a' + i % 26))});
    const std::string printed = Print(table, {rows.begin() + 1, rows.end()});
    EXPECT_TRUE(printed == Expected(rows));
    EXPECT_EQ(Expected(rows).size(), printed.size());
}

TEST(HostReportOutput, HoldsTextUntilFullOrFlushedAndKeepsItsOrder)
{
    std::FILE* file = std::tmpfile();
    ASSERT_NE(nullptr, file);
    auto written = [file] {
        std::fflush(file);
        return std::ftell(file);
    };
    {
        hostprogram::BufferedOutput buffer(file, 16);
        std::ostream out(&buffer);
        out << "0123456789";
        EXPECT_EQ(0, written());
        out << "abcdefghij";  // past the 16 bytes: the first 16 go out
        EXPECT_EQ(16, written());
        out.write(std::string(100, 'x').data(), 100);
        EXPECT_EQ(112, written());

        // A stream tied to the report empties it before it writes (the program's error stream).
        std::ostringstream errors;
        std::ostream err(errors.rdbuf());
        err.tie(&out);
        err << "note";
        EXPECT_EQ(120, written());
        out << "tail";
    }
    EXPECT_EQ(124, written());
    std::rewind(file);
    std::string back(124, '\0');
    ASSERT_EQ(124u, std::fread(&back[0], 1, back.size(), file));
    EXPECT_EQ("0123456789abcdefghij" + std::string(100, 'x') + "tail", back);
    std::fclose(file);
}
