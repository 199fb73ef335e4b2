#include "payments/holiday_list.h"

#include <algorithm>
#include <cstring>

#include "support/utf8.h"

namespace {

// Deeper nesting than this is not the published list, and would only spend the stack.
constexpr int kDeepestNesting = 32;
// What a reason quotes of the text it found.
constexpr std::size_t kQuotedLength = 24;

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1 March of year 0 of the proleptic Gregorian calendar (the year starting in March puts
// the leap day last).
long DaysFromEra(int year, int month, int day)
{
    const long y = month <= 2 ? year - 1 : year;
    const long era = y / 400;
    const long yearOfEra = y - era * 400;
    const long dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra;
}

const long kSerialZero = DaysFromEra(1899, 12, 30);

// A piece of found text fit to quote in a reason: printable ASCII, cut short.
std::string Quoted(const std::string& text)
{
    std::string quoted = "\"";
    for (std::size_t i = 0; i < text.size() && i < kQuotedLength; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        quoted += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    if (text.size() > kQuotedLength)
        quoted += "...";
    return quoted + "\"";
}

// Reads JSON text from the front; the first failure keeps its reason with the line it was found on.
class JsonReader {
public:
    JsonReader(const char* text, std::size_t size) : text_(text), size_(size)
    {
        if (size_ >= 3 && std::memcmp(text_, "\xEF\xBB\xBF", 3) == 0)
            position_ = 3;
    }

    const std::string& Why() const { return why_; }

    bool Fail(const std::string& what)
    {
        if (why_.empty())
            why_ = "line " + std::to_string(LineAt(failAt_ ? failAt_ : position_)) + ": " + what;
        return false;
    }
    // The reason's line is that of the value that began at start, not where reading stopped.
    bool FailAt(std::size_t start, const std::string& what)
    {
        failAt_ = start;
        return Fail(what);
    }

    void SkipSpace()
    {
        while (position_ < size_ && (text_[position_] == ' ' || text_[position_] == '\t' || text_[position_] == '\n' ||
                                     text_[position_] == '\r'))
            ++position_;
    }
    bool AtEnd()
    {
        SkipSpace();
        return position_ >= size_;
    }
    std::size_t Position() const { return position_; }

    // The next character after spaces is c: it is taken.
    bool Take(char c)
    {
        SkipSpace();
        if (position_ < size_ && text_[position_] == c) {
            ++position_;
            return true;
        }
        return false;
    }
    bool Peek(char c)
    {
        SkipSpace();
        return position_ < size_ && text_[position_] == c;
    }
    bool Expect(char c, const char* what)
    {
        if (Take(c))
            return true;
        return Fail(std::string(what) + " was expected" + FoundText());
    }

    // A string value into out (UTF-8; escapes resolved).
    bool ReadString(std::string& out)
    {
        out.clear();
        if (!Take('"'))
            return Fail("text in quotes was expected" + FoundText());
        while (position_ < size_) {
            const unsigned char c = static_cast<unsigned char>(text_[position_++]);
            if (c == '"')
                return true;
            if (c < 0x20)
                return Fail("a text holds a line break or another control character");
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (position_ >= size_)
                break;
            const char escaped = text_[position_++];
            switch (escaped) {
            case '"':
            case '\\':
            case '/':
                out += escaped;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                unsigned long code = 0;
                if (!ReadHex4(code))
                    return Fail("a \\u escape needs four hexadecimal digits");
                if (code >= 0xD800 && code < 0xDC00 && position_ + 1 < size_ && text_[position_] == '\\' &&
                    text_[position_ + 1] == 'u') {
                    const std::size_t back = position_;
                    position_ += 2;
                    unsigned long low = 0;
                    if (ReadHex4(low) && low >= 0xDC00 && low < 0xE000)
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    else
                        position_ = back;
                }
                // A surrogate without its partner is no character.
                AppendUtf8(out, static_cast<std::uint32_t>(code >= 0xD800 && code < 0xE000 ? 0xFFFD : code));
                break;
            }
            default:
                return Fail(Quoted(std::string("\\") + escaped) + " is not an escape");
            }
        }
        return Fail("a text has no closing quote");
    }

    // Any value, read past.
    bool SkipValue(int depth)
    {
        if (depth > kDeepestNesting)
            return Fail("the values nest too deep");
        SkipSpace();
        if (position_ >= size_)
            return Fail("a value was expected, not the end of the file");
        const char c = text_[position_];
        if (c == '"') {
            std::string ignored;
            return ReadString(ignored);
        }
        if (c == '{') {
            ++position_;
            if (Take('}'))
                return true;
            do {
                std::string key;
                if (!ReadString(key) || !Expect(':', "a colon") || !SkipValue(depth + 1))
                    return false;
            } while (Take(','));
            return Expect('}', "a comma or a closing brace");
        }
        if (c == '[') {
            ++position_;
            if (Take(']'))
                return true;
            do {
                if (!SkipValue(depth + 1))
                    return false;
            } while (Take(','));
            return Expect(']', "a comma or a closing bracket");
        }
        if (c == '-' || (c >= '0' && c <= '9'))
            return SkipNumber();
        for (const char* word : {"true", "false", "null"}) {
            const std::size_t length = std::strlen(word);
            if (size_ - position_ >= length && std::memcmp(text_ + position_, word, length) == 0) {
                position_ += length;
                return true;
            }
        }
        return Fail("a value was expected" + FoundText());
    }

private:
    bool ReadHex4(unsigned long& code)
    {
        if (size_ - position_ < 4)
            return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = text_[position_++];
            code <<= 4;
            if (h >= '0' && h <= '9')
                code |= static_cast<unsigned long>(h - '0');
            else if (h >= 'a' && h <= 'f')
                code |= static_cast<unsigned long>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F')
                code |= static_cast<unsigned long>(h - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    bool Digits()
    {
        const std::size_t start = position_;
        while (position_ < size_ && text_[position_] >= '0' && text_[position_] <= '9')
            ++position_;
        return position_ > start;
    }

    bool SkipNumber()
    {
        if (text_[position_] == '-')
            ++position_;
        if (!Digits())
            return Fail("a number was expected" + FoundText());
        if (position_ < size_ && text_[position_] == '.') {
            ++position_;
            if (!Digits())
                return Fail("a number has no digits after its point");
        }
        if (position_ < size_ && (text_[position_] == 'e' || text_[position_] == 'E')) {
            ++position_;
            if (position_ < size_ && (text_[position_] == '+' || text_[position_] == '-'))
                ++position_;
            if (!Digits())
                return Fail("a number has no digits in its exponent");
        }
        return true;
    }

    std::string FoundText() const
    {
        if (position_ >= size_)
            return ", not the end of the file";
        return ", not " + Quoted(std::string(text_ + position_, std::min<std::size_t>(size_ - position_, 1)));
    }

    long LineAt(std::size_t at) const
    {
        return 1 + static_cast<long>(std::count(text_, text_ + std::min(at, size_), '\n'));
    }

    const char* text_;
    std::size_t size_;
    std::size_t position_ = 0;
    std::size_t failAt_ = 0;
    std::string why_;
};

// "YYYY-MM-DD" as a day.
bool ParseListDate(const std::string& text, DaySerial& day)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    int parts[3] = {};
    const std::size_t starts[3] = {0, 5, 8};
    const std::size_t lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
        for (std::size_t i = starts[p]; i < starts[p] + lengths[p]; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return false;
            parts[p] = parts[p] * 10 + (text[i] - '0');
        }
    }
    if (!IsCivilDate(parts[0], parts[1], parts[2]))
        return false;
    day = SerialOf(parts[0], parts[1], parts[2]);
    return true;
}

bool ReadEvent(JsonReader& reader, std::vector<BankHoliday>& holidays)
{
    const std::size_t start = reader.Position();
    if (!reader.Expect('{', "a holiday in braces"))
        return false;
    bool hasTitle = false;
    bool hasDate = false;
    BankHoliday holiday;
    if (!reader.Take('}')) {
        do {
            std::string key;
            if (!reader.ReadString(key) || !reader.Expect(':', "a colon"))
                return false;
            if (key == "title" || key == "date") {
                const std::size_t valueStart = reader.Position();
                std::string value;
                if (!reader.Peek('"'))
                    return reader.FailAt(valueStart, "a holiday's " + key + " is not text in quotes");
                if (!reader.ReadString(value))
                    return false;
                if (key == "title") {
                    holiday.Title = value;
                    hasTitle = true;
                } else {
                    if (!ParseListDate(value, holiday.Day))
                        return reader.FailAt(valueStart, "a date is written YYYY-MM-DD, not " + Quoted(value));
                    hasDate = true;
                }
            } else if (!reader.SkipValue(2)) {
                return false;
            }
        } while (reader.Take(','));
        if (!reader.Expect('}', "a comma or a closing brace"))
            return false;
    }
    if (!hasDate)
        return reader.FailAt(start, "a holiday has no date");
    if (!hasTitle)
        return reader.FailAt(start, "a holiday has no title");
    holidays.push_back(std::move(holiday));
    return true;
}

bool ReadDivision(JsonReader& reader, std::vector<BankHoliday>& holidays, bool& hasEvents)
{
    if (!reader.Expect('{',
                       std::string("the division \"").append(HolidayList::Division).append("\" in braces").c_str()))
        return false;
    if (reader.Take('}'))
        return true;
    do {
        std::string key;
        if (!reader.ReadString(key) || !reader.Expect(':', "a colon"))
            return false;
        if (key != "events") {
            if (!reader.SkipValue(1))
                return false;
            continue;
        }
        if (!reader.Expect('[', "the list of holidays in brackets"))
            return false;
        hasEvents = true;
        if (reader.Take(']'))
            continue;
        do {
            if (!ReadEvent(reader, holidays))
                return false;
        } while (reader.Take(','));
        if (!reader.Expect(']', "a comma or a closing bracket"))
            return false;
    } while (reader.Take(','));
    return reader.Expect('}', "a comma or a closing brace");
}

}  // namespace

bool IsCivilDate(int year, int month, int day)
{
    return year >= 1900 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

DaySerial SerialOf(int year, int month, int day)
{
    return DaysFromEra(year, month, day) - kSerialZero;
}

CivilDate CivilOf(DaySerial serial)
{
    const long days = serial + kSerialZero;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const long dayOfEra = days - era * 146097;
    const long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long shiftedMonth = (5 * dayOfYear + 2) / 153;
    CivilDate date;
    date.Day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    date.Month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    date.Year = static_cast<int>(yearOfEra + era * 400 + (date.Month <= 2 ? 1 : 0));
    return date;
}

int WeekdayOf(DaySerial day)
{
    // Day 0, 30 December 1899, was a Saturday.
    const long weekday = (day + 6) % 7;
    return static_cast<int>(weekday < 0 ? weekday + 7 : weekday);
}

bool HolidayList::Parse(const char* text, std::size_t size, std::string& why)
{
    why.clear();
    if (!text || size == 0) {
        why = "the file is empty";
        return false;
    }
    if (size > LargestFile) {
        why = "the file is larger than a list of bank holidays can be";
        return false;
    }
    JsonReader reader(text, size);
    std::vector<BankHoliday> holidays;
    bool hasDivision = false;
    bool hasEvents = false;
    bool read = reader.Expect('{', "an opening brace");
    if (read && !reader.Take('}')) {
        do {
            std::string key;
            read = reader.ReadString(key) && reader.Expect(':', "a colon");
            if (!read)
                break;
            if (key == Division) {
                if (hasDivision) {
                    read = reader.Fail(std::string("the division \"") + Division + "\" is given twice");
                    break;
                }
                hasDivision = true;
                read = ReadDivision(reader, holidays, hasEvents);
            } else {
                read = reader.SkipValue(1);
            }
        } while (read && reader.Take(','));
        read = read && reader.Expect('}', "a comma or a closing brace");
    }
    if (read && !reader.AtEnd())
        read = reader.Fail("the list goes on after its closing brace");
    if (!read) {
        why = reader.Why();
        return false;
    }
    if (!hasDivision) {
        why = std::string("it has no division \"") + Division + "\"";
        return false;
    }
    if (!hasEvents || holidays.empty()) {
        why = "it holds no bank holidays for England and Wales";
        return false;
    }

    // One holiday a day, in date order; the first of the list wins a day given twice.
    std::stable_sort(holidays.begin(), holidays.end(),
                     [](const BankHoliday& left, const BankHoliday& right) { return left.Day < right.Day; });
    holidays.erase(std::unique(holidays.begin(), holidays.end(),
                               [](const BankHoliday& left, const BankHoliday& right) { return left.Day == right.Day; }),
                   holidays.end());
    holidays_ = std::move(holidays);
    firstYear_ = CivilOf(holidays_.front().Day).Year;
    lastYear_ = CivilOf(holidays_.back().Day).Year;
    return true;
}

bool HolidayList::Covers(DaySerial day) const
{
    if (holidays_.empty())
        return false;
    const int year = CivilOf(day).Year;
    return year >= firstYear_ && year <= lastYear_;
}

const BankHoliday* HolidayList::HolidayOn(DaySerial day) const
{
    const auto found =
        std::lower_bound(holidays_.begin(), holidays_.end(), day,
                         [](const BankHoliday& holiday, DaySerial wanted) { return holiday.Day < wanted; });
    return found != holidays_.end() && found->Day == day ? &*found : nullptr;
}
