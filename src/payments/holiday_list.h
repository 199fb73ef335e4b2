// The bank holidays of England and Wales, read from the list the government publishes as JSON: an
// object whose "england-and-wales" division holds "events", each with a "title" and a "date"
// written YYYY-MM-DD. Other divisions and other keys are read past. Portable: no platform calls, so
// the native sanitizer build and the fuzzer run it as it is.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Days as serial numbers: days from 30 December 1899, the whole part of an OLE Automation date.
using DaySerial = long;

struct CivilDate {
    int Year = 0;
    int Month = 0;
    int Day = 0;
};

// Whether the year (1900 to 9999), month and day name a day of the Gregorian calendar.
bool IsCivilDate(int year, int month, int day);
// The serial of a date IsCivilDate accepts.
DaySerial SerialOf(int year, int month, int day);
CivilDate CivilOf(DaySerial day);
// 0 for Sunday to 6 for Saturday.
int WeekdayOf(DaySerial day);

struct BankHoliday {
    DaySerial Day = 0;
    std::string Title;  // UTF-8, as the list gives it
};

class HolidayList {
public:
    // The division the module reads.
    static constexpr const char* Division = "england-and-wales";
    // Larger files are not lists of bank holidays: the published one is a few tens of kilobytes.
    static constexpr std::size_t LargestFile = 1024 * 1024;

    // Reads a list. False, with the list unchanged and why set to a short reason ("line 12: a date
    // is written YYYY-MM-DD, not \"2026-13-01\""), when the text is not such a list.
    bool Parse(const char* text, std::size_t size, std::string& why);

    bool Empty() const { return holidays_.empty(); }
    // The first and last years the list covers: those of its first and last holidays.
    int FirstYear() const { return firstYear_; }
    int LastYear() const { return lastYear_; }
    // Whether the day's year is one the list covers: only then can it say whether a day is a holiday.
    bool Covers(DaySerial day) const;
    // The holiday on that day, or null.
    const BankHoliday* HolidayOn(DaySerial day) const;
    // In date order, one per day.
    const std::vector<BankHoliday>& Holidays() const { return holidays_; }

private:
    std::vector<BankHoliday> holidays_;
    int firstYear_ = 0;
    int lastYear_ = 0;
};
