// The bank holiday list reader: the published file's shape read as published, damaged lists refused
// with the line and the reason the user is shown, and the calendar arithmetic under it. Portable:
// also built in the native sanitizer build.
#include <gtest/gtest.h>

#include <string>

#include "payments/holiday_list.h"

namespace {

// The published file's shape: three divisions, extra keys, escapes and numbers.
const char kPublished[] = R"({
  "england-and-wales": {
    "division": "england-and-wales",
    "events": [
      {"title": "New Year\u2019s Day", "date": "2027-01-01", "notes": "", "bunting": true},
      {"title": "Boxing Day", "date": "2026-12-28", "notes": "Substitute day", "bunting": true},
      {"title": "Christmas Day", "date": "2026-12-25", "notes": "", "bunting": true, "extra": [1, -2.5e3, null, {"a": false}]},
      {"title": "A \"quoted\" \\ day \ud83c\udf89", "date": "2027-12-28", "notes": "", "bunting": true}
    ]
  },
  "scotland": {"division": "scotland", "events": [{"title": "St Andrew\u2019s Day", "date": "2026-11-30"}]},
  "northern-ireland": {"division": "northern-ireland", "events": []}
}
)";

std::string Why(const std::string& text)
{
    HolidayList list;
    std::string why;
    EXPECT_FALSE(list.Parse(text.data(), text.size(), why)) << text;
    EXPECT_TRUE(list.Empty());
    return why;
}

}  // namespace

TEST(HolidayListTest, ReadsTheEnglandAndWalesDivisionOfThePublishedFile)
{
    HolidayList list;
    std::string why = "left over";
    ASSERT_TRUE(list.Parse(kPublished, sizeof kPublished - 1, why)) << why;
    EXPECT_EQ("", why);
    ASSERT_EQ(4u, list.Holidays().size());
    // In date order, whatever the file's order; Scotland's day is not among them.
    EXPECT_EQ(SerialOf(2026, 12, 25), list.Holidays()[0].Day);
    EXPECT_EQ("Christmas Day", list.Holidays()[0].Title);
    EXPECT_EQ(SerialOf(2026, 12, 28), list.Holidays()[1].Day);
    EXPECT_EQ("New Year\xE2\x80\x99s Day", list.Holidays()[2].Title);
    EXPECT_EQ("A \"quoted\" \\ day \xF0\x9F\x8E\x89", list.Holidays()[3].Title);
    EXPECT_EQ(nullptr, list.HolidayOn(SerialOf(2026, 11, 30)));
    EXPECT_EQ(2026, list.FirstYear());
    EXPECT_EQ(2027, list.LastYear());

    EXPECT_TRUE(list.Covers(SerialOf(2026, 1, 1)));
    EXPECT_TRUE(list.Covers(SerialOf(2027, 12, 31)));
    EXPECT_FALSE(list.Covers(SerialOf(2028, 1, 1)));
    EXPECT_FALSE(list.Covers(SerialOf(2025, 12, 31)));

    // A byte-order mark, as some editors save, is not a fault; a day given twice keeps its first title.
    const std::string marked =
        "\xEF\xBB\xBF{\"england-and-wales\":{\"events\":[{\"title\":\"A\",\"date\":\"2026-12-25\"},"
        "{\"title\":\"B\",\"date\":\"2026-12-25\"}]}}";
    ASSERT_TRUE(list.Parse(marked.data(), marked.size(), why)) << why;
    ASSERT_EQ(1u, list.Holidays().size());
    EXPECT_EQ("A", list.HolidayOn(SerialOf(2026, 12, 25))->Title);
}

TEST(HolidayListTest, RefusesDamagedListsWithTheLineAndTheReason)
{
    const std::string event = R"({"title": "Christmas Day", "date": "2026-12-25"})";
    const struct {
        std::string Text;
        std::string Why;
    } cases[] = {
        {"", "the file is empty"},
        {"<html><body>Not found</body></html>", "line 1: an opening brace was expected, not \"<\""},
        // A download cut short.
        {"{\n \"england-and-wales\": {\n  \"events\": [\n   " + event + ",\n   {\"title\": \"Box",
         "line 5: a text has no closing quote"},
        {"{\n \"england-and-wales\": {\"events\": [\n{\"title\": \"Christmas Day\", \"date\": \"2026-02-30\"}]}}",
         "line 3: a date is written YYYY-MM-DD, not \"2026-02-30\""},
        {"{\"england-and-wales\": {\"events\": [{\"title\": \"X\", \"date\": \"25/12/2026\"}]}}",
         "line 1: a date is written YYYY-MM-DD, not \"25/12/2026\""},
        {"{\"england-and-wales\": {\"events\": [{\"title\": \"X\", \"date\": 20261225}]}}",
         "line 1: a holiday's date is not text in quotes"},
        {"{\"england-and-wales\": {\"events\": [\n\n{\"title\": \"X\", \"notes\": \"\"}]}}",
         "line 3: a holiday has no date"},
        {"{\"england-and-wales\": {\"events\": [{\"date\": \"2026-12-25\"}]}}", "line 1: a holiday has no title"},
        {"{\"scotland\": {\"events\": [" + event + "]}}", "it has no division \"england-and-wales\""},
        {"{\"england-and-wales\": {\"division\": \"england-and-wales\"}}",
         "it holds no bank holidays for England and Wales"},
        {"{\"england-and-wales\": {\"events\": []}}", "it holds no bank holidays for England and Wales"},
        {"{\"england-and-wales\": {\"events\": [" + event + "]}, \"england-and-wales\": {}}",
         "line 1: the division \"england-and-wales\" is given twice"},
        {"{\"england-and-wales\": {\"events\": [" + event + "]}}\n}",
         "line 2: the list goes on after its closing brace"},
        {"{\"england-and-wales\": {\"events\": [" + event + ",]}}",
         "line 1: a holiday in braces was expected, not \"]\""},
        {"{\"x\": " + std::string(40, '[') + std::string(40, ']') + "}", "line 1: the values nest too deep"},
        {"{\"x\": tru}", "line 1: a value was expected, not \"t\""},
        {"{\"x\": \"a\tb\"}", "line 1: a text holds a line break or another control character"},
        {"{\"x\": \"\\q\"}", "line 1: \"\\q\" is not an escape"},
        {"{\"x\": 1.}", "line 1: a number has no digits after its point"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.Why, Why(c.Text)) << c.Text;

    // Larger than any list: refused before it is read.
    const std::string huge(HolidayList::LargestFile + 1, ' ');
    EXPECT_EQ("the file is larger than a list of bank holidays can be", Why(huge));

    // A refused text leaves the list it was given as it was.
    HolidayList list;
    std::string why;
    ASSERT_TRUE(list.Parse(kPublished, sizeof kPublished - 1, why));
    EXPECT_FALSE(list.Parse("{}", 2, why));
    EXPECT_EQ(4u, list.Holidays().size());
}

TEST(HolidayListTest, DaySerialsAreThoseOfOleAutomationDates)
{
    EXPECT_EQ(0, SerialOf(1899, 12, 30));
    EXPECT_EQ(2, SerialOf(1900, 1, 1));
    EXPECT_EQ(46381, SerialOf(2026, 12, 25));
    EXPECT_EQ(5, WeekdayOf(SerialOf(2026, 12, 25)));  // a Friday
    EXPECT_EQ(6, WeekdayOf(SerialOf(2028, 1, 1)));    // a Saturday
    EXPECT_EQ(1, WeekdayOf(SerialOf(1900, 1, 1)));    // a Monday

    // Every day from 1900 to 2100 comes back as itself, one after another.
    DaySerial expected = SerialOf(1900, 1, 1);
    for (int year = 1900; year <= 2100; ++year)
        for (int month = 1; month <= 12; ++month)
            for (int day = 1; day <= 31; ++day) {
                if (!IsCivilDate(year, month, day))
                    continue;
                ASSERT_EQ(expected, SerialOf(year, month, day)) << year << "-" << month << "-" << day;
                const CivilDate back = CivilOf(expected);
                ASSERT_TRUE(back.Year == year && back.Month == month && back.Day == day) << expected;
                ++expected;
            }

    EXPECT_TRUE(IsCivilDate(2028, 2, 29));
    EXPECT_FALSE(IsCivilDate(2100, 2, 29));
    EXPECT_TRUE(IsCivilDate(2000, 2, 29));
    EXPECT_FALSE(IsCivilDate(2026, 4, 31));
    EXPECT_FALSE(IsCivilDate(1899, 12, 31));
}
