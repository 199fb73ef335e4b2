#include "payments/debit_date_rules.h"

#include <cstdio>
#include <utility>

namespace {

const char* const kWeekdays[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

std::string CountText(int count)
{
    static const char* const kWords[] = {"no",    "one",   "two",  "three", "four",   "five",  "six",
                                         "seven", "eight", "nine", "ten",   "eleven", "twelve"};
    const std::string number = count >= 0 && count <= 12 ? kWords[count] : std::to_string(count);
    return number + (count == 1 ? " processing day" : " processing days");
}

}  // namespace

std::string DayText(DaySerial day)
{
    const CivilDate date = CivilOf(day);
    char text[40] = {};
    std::snprintf(text, sizeof text, "%s %02d/%02d/%04d", kWeekdays[WeekdayOf(day)], date.Day, date.Month, date.Year);
    return text;
}

DebitDateRules::DebitDateRules(HolidayList holidays, DaySerial today, int daysAfterInput)
    : holidays_(std::move(holidays)),
      today_(today),
      daysAfterInput_(daysAfterInput >= 0 && daysAfterInput <= MostDaysAfterInput ? daysAfterInput
                                                                                  : UsualDaysAfterInput)
{
    DaySerial day = 0;
    if (!ProcessingDayFrom(today_, day))
        return;
    for (int after = 0; after < daysAfterInput_; ++after)
        if (!ProcessingDayFrom(day + 1, day))
            return;
    earliest_ = day;
    known_ = true;
}

bool DebitDateRules::IsProcessingDay(DaySerial day) const
{
    const int weekday = WeekdayOf(day);
    return holidays_.Covers(day) && weekday != 0 && weekday != 6 && !holidays_.HolidayOn(day);
}

bool DebitDateRules::ProcessingDayFrom(DaySerial day, DaySerial& found) const
{
    // Between two processing days lie at most a weekend and a few holidays; the list's end comes first.
    for (; holidays_.Covers(day); ++day) {
        if (IsProcessingDay(day)) {
            found = day;
            return true;
        }
    }
    return false;
}

DebitDateVerdict DebitDateRules::Check(DaySerial chosen) const
{
    DebitDateVerdict verdict;
    verdict.Chosen = chosen;
    if (!known_)
        return verdict;
    if (chosen >= today_ && !holidays_.Covers(chosen))
        return verdict;  // past the list: nobody can say yet

    DebitDateVerdict::Problem problem = DebitDateVerdict::None;
    const BankHoliday* holiday = nullptr;
    const int weekday = WeekdayOf(chosen);
    if (chosen < today_)
        problem = DebitDateVerdict::Past;
    else if ((holiday = holidays_.HolidayOn(chosen)) != nullptr)
        problem = DebitDateVerdict::BankHoliday;
    else if (weekday == 0 || weekday == 6)
        problem = DebitDateVerdict::Weekend;
    else if (chosen < earliest_)
        problem = DebitDateVerdict::TooSoon;
    if (problem == DebitDateVerdict::None)
        return verdict;

    DaySerial offered = 0;
    if (!ProcessingDayFrom(chosen > earliest_ ? chosen : earliest_, offered))
        return verdict;
    verdict.What = problem;
    verdict.Offered = offered;
    verdict.Holiday = holiday;
    return verdict;
}

std::string DebitDateRules::Question(const DebitDateVerdict& verdict) const
{
    const std::string chosen = DayText(verdict.Chosen);
    const std::string offered = DayText(verdict.Offered);
    switch (verdict.What) {
    case DebitDateVerdict::Past:
        return chosen + " is in the past: the bank cannot debit payments on a day that has gone. Use " + offered +
               ", the earliest date the bank can debit, instead?";
    case DebitDateVerdict::BankHoliday:
        return chosen + " is " + (verdict.Holiday ? verdict.Holiday->Title : std::string("a bank holiday")) +
               ", a bank holiday in England and Wales: Bacs does not process payments on it. Use " + offered +
               ", the next date the bank can debit, instead?";
    case DebitDateVerdict::Weekend:
        return chosen + " is at the weekend: Bacs does not process payments on Saturdays or Sundays. Use " + offered +
               ", the next date the bank can debit, instead?";
    case DebitDateVerdict::TooSoon:
        return chosen + " is too soon: Bacs needs " + CountText(daysAfterInput_ + 1) +
               " from the day the file goes in to the day the money moves. Use " + offered +
               ", the earliest date the bank can debit, instead?";
    case DebitDateVerdict::None:
        break;
    }
    return std::string();
}
