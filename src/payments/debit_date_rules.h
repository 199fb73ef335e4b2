// Which debit dates the bank can use for a file made today. Bacs works in a three-day cycle: the
// file goes in on a processing day (day 1), is processed on the next and the money moves on the
// one after. A processing day is a Monday to Friday that is not a bank holiday of England and
// Wales; a day in a year the holiday list does not cover cannot be called one. Portable.
#pragma once

#include <string>

#include "payments/holiday_list.h"

// What is wrong with a chosen debit date, and the date offered instead.
struct DebitDateVerdict {
    enum Problem { None, Past, BankHoliday, Weekend, TooSoon };
    Problem What = None;
    DaySerial Chosen = 0;
    DaySerial Offered = 0;
    const ::BankHoliday* Holiday = nullptr;  // for BankHoliday: the list's entry
};

class DebitDateRules {
public:
    // The usual cycle: the money moves two processing days after the day the file goes in.
    static constexpr int UsualDaysAfterInput = 2;
    // A setting outside 0 to this is not taken.
    static constexpr int MostDaysAfterInput = 20;

    DebitDateRules(HolidayList holidays, DaySerial today, int daysAfterInput = UsualDaysAfterInput);

    DaySerial Today() const { return today_; }
    const HolidayList& Holidays() const { return holidays_; }
    int DaysAfterInput() const { return daysAfterInput_; }

    bool IsProcessingDay(DaySerial day) const;
    // The first processing day on or after day; false when the list ends before one.
    bool ProcessingDayFrom(DaySerial day, DaySerial& found) const;

    // Whether the earliest debit date could be worked out: false when today is past the list, or
    // the cycle would run past it. Dates are then neither offered nor questioned.
    bool Known() const { return known_; }
    // The earliest date the bank can debit for a file sent today (Known() only).
    DaySerial Earliest() const { return earliest_; }
    // The date the options dialog opens on: the earliest debit date, or today when it is not known.
    DaySerial OpeningDate() const { return known_ ? earliest_ : today_; }

    // The chosen date's problem, in the order past, bank holiday, weekend, too soon, with the first
    // processing day on or after both it and the earliest debit date as the offer. None when all is
    // well, when the date is past the list, or when no date can be offered.
    DebitDateVerdict Check(DaySerial chosen) const;

    // The question for a verdict with a problem, in UTF-8: "Friday 25/12/2026 is Christmas Day, a
    // bank holiday in England and Wales: Bacs does not process payments on it. Use Tuesday
    // 29/12/2026, the next date the bank can debit, instead?"
    std::string Question(const DebitDateVerdict& verdict) const;

private:
    HolidayList holidays_;
    DaySerial today_;
    int daysAfterInput_;
    bool known_ = false;
    DaySerial earliest_ = 0;
};

// "Friday 25/12/2026".
std::string DayText(DaySerial day);
