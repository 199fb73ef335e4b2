// The earliest debit date and the question about a date the bank cannot use, over the England and
// Wales list the module carries: weekends, Easter, Christmas and New Year with their substitute
// days, a Friday before a bank-holiday Monday, the last days of the list and a day past it.
#include <gtest/gtest.h>

#include "payments/debit_date_rules.h"
#include "payments/holiday_sources.h"
#include "tests/support/com_test.h"
#include "tests/support/files.h"

namespace {

HolidayList BuiltIn()
{
    HolidayList list;
    EXPECT_TRUE(LoadBuiltInHolidays(list));
    return list;
}

DebitDateRules RulesOn(int year, int month, int day, int daysAfterInput = DebitDateRules::UsualDaysAfterInput)
{
    return DebitDateRules(BuiltIn(), SerialOf(year, month, day), daysAfterInput);
}

std::string Opening(int year, int month, int day, int daysAfterInput = DebitDateRules::UsualDaysAfterInput)
{
    return DayText(RulesOn(year, month, day, daysAfterInput).OpeningDate());
}

std::string QuestionFor(const DebitDateRules& rules, int year, int month, int day)
{
    const DebitDateVerdict verdict = rules.Check(SerialOf(year, month, day));
    if (verdict.What == DebitDateVerdict::None)
        return "";
    return rules.Question(verdict);
}

}  // namespace

TEST(DebitDateRulesTest, TheModuleCarriesTheListInTheRepository)
{
    const std::string file = ReadBytes(SourcePath(L"data/bank-holidays.json"));
    ASSERT_FALSE(file.empty());
    HolidayList fromFile;
    std::string why;
    ASSERT_TRUE(fromFile.Parse(file.data(), file.size(), why)) << why;
    const HolidayList carried = BuiltIn();
    ASSERT_EQ(fromFile.Holidays().size(), carried.Holidays().size());
    for (size_t i = 0; i < carried.Holidays().size(); ++i) {
        EXPECT_EQ(fromFile.Holidays()[i].Day, carried.Holidays()[i].Day);
        EXPECT_EQ(fromFile.Holidays()[i].Title, carried.Holidays()[i].Title);
    }
    EXPECT_EQ(2020, carried.FirstYear());
    EXPECT_EQ(2027, carried.LastYear());
    EXPECT_EQ(67u, carried.Holidays().size());
}

TEST(DebitDateRulesTest, OpensOnTheSecondProcessingDayAfterTheFirstOnOrAfterToday)
{
    // An ordinary week: in Thursday, processed Friday, paid Monday.
    EXPECT_EQ("Monday 14/12/2026", Opening(2026, 12, 10));
    EXPECT_EQ("Tuesday 15/12/2026", Opening(2026, 12, 11));
    // At the weekend the cycle starts on Monday.
    EXPECT_EQ("Wednesday 16/12/2026", Opening(2026, 12, 12));
    EXPECT_EQ("Wednesday 16/12/2026", Opening(2026, 12, 13));
    // Easter 2026: Good Friday 3 April, Easter Monday 6 April.
    EXPECT_EQ("Wednesday 08/04/2026", Opening(2026, 4, 2));
    EXPECT_EQ("Thursday 09/04/2026", Opening(2026, 4, 3));
    // A Friday before a bank-holiday Monday (the early May and the summer bank holidays).
    EXPECT_EQ("Wednesday 06/05/2026", Opening(2026, 5, 1));
    EXPECT_EQ("Wednesday 02/09/2026", Opening(2026, 8, 28));
    // Christmas 2026: Christmas Day on Friday, Boxing Day's substitute on Monday 28 December.
    EXPECT_EQ("Wednesday 30/12/2026", Opening(2026, 12, 24));
    EXPECT_EQ("Thursday 31/12/2026", Opening(2026, 12, 25));
    EXPECT_EQ("Thursday 31/12/2026", Opening(2026, 12, 27));
    // New Year 2027 on a Friday.
    EXPECT_EQ("Monday 04/01/2027", Opening(2026, 12, 30));
    EXPECT_EQ("Tuesday 05/01/2027", Opening(2026, 12, 31));
    // Christmas 2027: both days on the weekend, their substitutes on Monday 27 and Tuesday 28.
    EXPECT_EQ("Thursday 30/12/2027", Opening(2027, 12, 24));
    EXPECT_EQ("Friday 31/12/2027", Opening(2027, 12, 27));
}

TEST(DebitDateRulesTest, OpensOnTodayWhenTheCycleRunsPastTheList)
{
    // The last days of the list: the cycle would end in 2028, which the list does not cover.
    const DebitDateRules lastDays = RulesOn(2027, 12, 30);
    EXPECT_FALSE(lastDays.Known());
    EXPECT_EQ("Thursday 30/12/2027", DayText(lastDays.OpeningDate()));
    // Nothing is questioned then, not even a weekend of the list's own year.
    EXPECT_EQ("", QuestionFor(lastDays, 2027, 12, 25));

    const DebitDateRules past = RulesOn(2028, 1, 5);
    EXPECT_FALSE(past.Known());
    EXPECT_EQ("Wednesday 05/01/2028", DayText(past.OpeningDate()));
    EXPECT_EQ("", QuestionFor(past, 2028, 1, 8));

    // Without any list, today.
    const DebitDateRules none(HolidayList(), SerialOf(2026, 12, 10));
    EXPECT_FALSE(none.Known());
    EXPECT_EQ("Thursday 10/12/2026", DayText(none.OpeningDate()));
    EXPECT_FALSE(none.IsProcessingDay(SerialOf(2026, 12, 10)));
}

TEST(DebitDateRulesTest, TheAdministratorsNumberOfDaysChangesTheCycle)
{
    EXPECT_EQ("Thursday 10/12/2026", Opening(2026, 12, 10, 0));
    EXPECT_EQ("Friday 11/12/2026", Opening(2026, 12, 10, 1));
    EXPECT_EQ("Wednesday 16/12/2026", Opening(2026, 12, 10, 4));
    // A number out of range is the usual cycle.
    EXPECT_EQ("Monday 14/12/2026", Opening(2026, 12, 10, -1));
    EXPECT_EQ("Monday 14/12/2026", Opening(2026, 12, 10, DebitDateRules::MostDaysAfterInput + 1));
    EXPECT_EQ("Thursday 10/12/2026 is too soon: Bacs needs two processing days from the day the file goes in to the "
              "day the money moves. Use Friday 11/12/2026, the earliest date the bank can debit, instead?",
              QuestionFor(RulesOn(2026, 12, 10, 1), 2026, 12, 10));
    EXPECT_EQ("", QuestionFor(RulesOn(2026, 12, 10, 1), 2026, 12, 11));
}

TEST(DebitDateRulesTest, NamesTheDateWithWhyAndOffersTheNextAllowedDate)
{
    // Made on Thursday 10 December 2026: the earliest debit date is Monday 14 December.
    const DebitDateRules rules = RulesOn(2026, 12, 10);
    EXPECT_EQ("Friday 25/12/2026 is Christmas Day, a bank holiday in England and Wales: Bacs does not process payments "
              "on it. Use Tuesday 29/12/2026, the next date the bank can debit, instead?",
              QuestionFor(rules, 2026, 12, 25));
    EXPECT_EQ("Monday 28/12/2026 is Boxing Day, a bank holiday in England and Wales: Bacs does not process payments "
              "on it. Use Tuesday 29/12/2026, the next date the bank can debit, instead?",
              QuestionFor(rules, 2026, 12, 28));
    // The list's own title, curly apostrophe and all (UTF-8).
    EXPECT_EQ("Friday 01/01/2027 is New Year\xE2\x80\x99s Day, a bank holiday in England and Wales: Bacs does not "
              "process payments on it. Use Monday 04/01/2027, the next date the bank can debit, instead?",
              QuestionFor(rules, 2027, 1, 1));
    EXPECT_EQ("Saturday 19/12/2026 is at the weekend: Bacs does not process payments on Saturdays or Sundays. Use "
              "Monday 21/12/2026, the next date the bank can debit, instead?",
              QuestionFor(rules, 2026, 12, 19));
    EXPECT_EQ("Saturday 26/12/2026 is at the weekend: Bacs does not process payments on Saturdays or Sundays. Use "
              "Tuesday 29/12/2026, the next date the bank can debit, instead?",
              QuestionFor(rules, 2026, 12, 26));
    EXPECT_EQ("Wednesday 09/12/2026 is in the past: the bank cannot debit payments on a day that has gone. Use "
              "Monday 14/12/2026, the earliest date the bank can debit, instead?",
              QuestionFor(rules, 2026, 12, 9));
    EXPECT_EQ("Thursday 10/12/2026 is too soon: Bacs needs three processing days from the day the file goes in to the "
              "day the money moves. Use Monday 14/12/2026, the earliest date the bank can debit, instead?",
              QuestionFor(rules, 2026, 12, 10));
    EXPECT_EQ("Friday 11/12/2026 is too soon: Bacs needs three processing days from the day the file goes in to the "
              "day the money moves. Use Monday 14/12/2026, the earliest date the bank can debit, instead?",
              QuestionFor(rules, 2026, 12, 11));
    // A weekend before the earliest date offers the earliest date.
    EXPECT_EQ("Saturday 12/12/2026 is at the weekend: Bacs does not process payments on Saturdays or Sundays. Use "
              "Monday 14/12/2026, the next date the bank can debit, instead?",
              QuestionFor(rules, 2026, 12, 12));

    // Dates the bank can use, and dates past the list, are not questioned.
    EXPECT_EQ("", QuestionFor(rules, 2026, 12, 14));
    EXPECT_EQ("", QuestionFor(rules, 2026, 12, 29));
    EXPECT_EQ("", QuestionFor(rules, 2027, 12, 31));
    EXPECT_EQ("", QuestionFor(rules, 2028, 1, 1));
    EXPECT_EQ("", QuestionFor(rules, 2031, 12, 25));

    const DebitDateVerdict christmas = rules.Check(SerialOf(2026, 12, 25));
    EXPECT_EQ(DebitDateVerdict::BankHoliday, christmas.What);
    EXPECT_EQ(SerialOf(2026, 12, 29), christmas.Offered);
}

TEST(DebitDateRulesTest, AWeekendAtTheListsEndIsNotQuestionedWithoutADateToOffer)
{
    // Made on 15 December 2027: a Saturday on 1 January 2028 would be past the list anyway; the
    // substitute days of Christmas 2027 offer Wednesday 29 December.
    const DebitDateRules rules = RulesOn(2027, 12, 15);
    EXPECT_EQ("Monday 27/12/2027 is Christmas Day, a bank holiday in England and Wales: Bacs does not process "
              "payments on it. Use Wednesday 29/12/2027, the next date the bank can debit, instead?",
              QuestionFor(rules, 2027, 12, 27));
    EXPECT_EQ("", QuestionFor(rules, 2027, 12, 31));

    // A list whose last year ends on a weekend: nothing in it to offer after, so no question.
    const std::string text = R"({"england-and-wales": {"events": [{"title": "Christmas Day", "date": "2022-12-26"}]}})";
    HolidayList list;
    std::string why;
    ASSERT_TRUE(list.Parse(text.data(), text.size(), why));
    const DebitDateRules endOf2022(std::move(list), SerialOf(2022, 12, 1));
    ASSERT_TRUE(endOf2022.Known());
    EXPECT_EQ("", QuestionFor(endOf2022, 2022, 12, 31));
    EXPECT_NE("", QuestionFor(endOf2022, 2022, 12, 26));
}
