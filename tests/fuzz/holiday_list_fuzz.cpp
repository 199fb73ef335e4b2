// One file as a bank holiday list, and the debit date rules over what it gives. What must hold: a
// refused file gives a short, printable reason that names a line or the whole file, and leaves the
// list it was given as it was; an accepted one holds its holidays in date order, one a day, inside
// the years it says it covers; over any accepted list the earliest debit date is a processing day
// on or after today, and every question offers a processing day on or after the chosen one.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "payments/debit_date_rules.h"
#include "payments/holiday_list.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    HolidayList list;
    std::string why;
    if (!list.Parse(text, size, why)) {
        Check(!why.empty() && why.size() < 160 && list.Empty());
        for (char c : why)
            Check(static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F);
        return 0;
    }
    Check(why.empty() && !list.Empty());
    const auto& holidays = list.Holidays();
    for (size_t i = 0; i < holidays.size(); ++i) {
        Check(list.Covers(holidays[i].Day));
        Check(list.HolidayOn(holidays[i].Day) == &holidays[i]);
        if (i > 0)
            Check(holidays[i - 1].Day < holidays[i].Day);
    }
    Check(list.FirstYear() == CivilOf(holidays.front().Day).Year);
    Check(list.LastYear() == CivilOf(holidays.back().Day).Year);

    // Today and a chosen date taken from around the list.
    const DaySerial today = holidays[size % holidays.size()].Day - static_cast<DaySerial>(size % 9);
    const DebitDateRules rules(list, today, static_cast<int>(size % 4));
    Check(rules.OpeningDate() >= today);
    if (rules.Known())
        Check(rules.IsProcessingDay(rules.Earliest()));
    for (DaySerial chosen = today - 3; chosen < today + 12; ++chosen) {
        const DebitDateVerdict verdict = rules.Check(chosen);
        if (verdict.What == DebitDateVerdict::None)
            continue;
        Check(rules.Known() && rules.IsProcessingDay(verdict.Offered) && verdict.Offered >= chosen &&
              verdict.Offered >= rules.Earliest());
        Check(!rules.Question(verdict).empty());
    }
    return 0;
}
