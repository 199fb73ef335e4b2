#include "statements/transaction_record.h"

#include <charconv>
#include <climits>

#include "support/platform.h"

namespace {

constexpr char kDelimiter = ',';
constexpr char kQuote = '"';

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// White space as the C library sees it in the "C" locale.
bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Leading white space, an optional sign and the digits after it; 0 when there are none. Values
// beyond int are held at its limits rather than wrapping into a plausible number.
int LeadingInteger(const char* text)
{
    while (IsSpace(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    long long value = 0;
    for (; IsDigit(*text); ++text) {
        value = value * 10 + (*text - '0');
        if (value > INT_MAX)
            return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// The next run of characters between hyphens; runs of hyphens count as one separator.
std::string NextDatePart(const char*& cursor)
{
    while (*cursor == '-')
        ++cursor;
    const char* start = cursor;
    while (*cursor && *cursor != '-')
        ++cursor;
    return std::string(start, cursor);
}

}  // namespace

void CBMLWTransactionRecord::Clear()
{
    TransDate = 0;
    ValueDate = 0;
    InToday.Empty();
    Amount = 0;
    Details.Empty();
    TransCode.Empty();
    RFR.Empty();
    ChequeNo.Empty();
}

std::istream& operator>>(std::istream& stream, CBMLWTransactionRecord& record)
{
    const std::string line = ReadStatementLine(stream);
    if (CountFields(line.c_str(), kDelimiter) < CBMLWTransactionRecord::FieldCount)
        throw CBMLWTransactionRecord::TooFewFields;

    // Cut every field before touching the record, so that a failure leaves it whole.
    CString fields[CBMLWTransactionRecord::FieldCount];
    const char* rest = line.c_str();
    for (CString& field : fields) {
        field = NextField(rest, kDelimiter, &rest);
        StripQuotes(field);
    }

    record.Clear();
    record.TransDate = ParseStatementDate(fields[0]);
    record.ValueDate = ParseStatementDate(fields[1]);
    record.InToday = fields[2];
    record.Amount = ParseStatementAmount(fields[3]);
    record.Details = fields[4];
    record.TransCode = fields[5];
    record.RFR = fields[6];
    record.ChequeNo = fields[7];
    return stream;
}

std::string ReadStatementLine(std::istream& stream)
{
    std::string line;
    if (!std::getline(stream, line))
        return std::string();
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

int CountFields(const char* text, char delimiter)
{
    if (!text)
        return 0;
    int count = 1;
    bool quoted = false;
    for (; *text; ++text) {
        if (*text == kQuote)
            quoted = !quoted;
        else if (*text == delimiter && !quoted)
            ++count;
    }
    return count;
}

CString NextField(const char* text, char delimiter, const char** rest)
{
    if (!text) {
        *rest = nullptr;
        return CString();
    }
    bool quoted = false;
    const char* end = text;
    for (; *end; ++end) {
        if (*end == kQuote)
            quoted = !quoted;
        else if (*end == delimiter && !quoted)
            break;
    }
    *rest = *end ? end + 1 : nullptr;
    CString field;
    if (end != text)
        field = CString(std::string(text, end).c_str());
    return field;
}

void StripQuotes(CString& text)
{
    const int length = text.GetLength();
    if (length >= 2 && text.GetAt(0) == kQuote && text.GetAt(length - 1) == kQuote)
        text = text.Mid(1, length - 2);
}

double ParseStatementDate(const CString& text)
{
    const char* cursor = text;
    std::string year = NextDatePart(cursor);
    const std::string month = NextDatePart(cursor);
    const std::string day = NextDatePart(cursor);
    // A quote left over from an unbalanced field may lead the year.
    if (!year.empty() && year[0] == kQuote)
        year.erase(0, 1);

    const int y = LeadingInteger(year.c_str());
    const int m = LeadingInteger(month.c_str());
    const int d = LeadingInteger(day.c_str());
    // Checked here: some platforms roll 30 February over into March instead of refusing it.
    if (m < 1 || m > 12 || d < 1 || y < 0 || d > DaysInMonth(y, m))
        return 0;
    double date = 0;
    return platform::CalendarDateToOleDate(y, m, d, &date) ? date : 0;
}

double ParseStatementAmount(const char* text)
{
    while (IsSpace(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';

    const char* start = text;
    const char* p = text;
    bool anyDigit = false;
    for (; IsDigit(*p); ++p)
        anyDigit = true;
    if (*p == '.')
        for (++p; IsDigit(*p); ++p)
            anyDigit = true;
    if (!anyDigit)
        return 0;
    if (*p == 'e' || *p == 'E') {
        const char* exponent = p + 1;
        if (*exponent == '+' || *exponent == '-')
            ++exponent;
        if (IsDigit(*exponent)) {
            while (IsDigit(*exponent))
                ++exponent;
            p = exponent;
        }
    }

    // from_chars reads '.' as the decimal point whatever locale the host process has set.
    double value = 0;
    const std::from_chars_result result = std::from_chars(start, p, value, std::chars_format::general);
    if (result.ec != std::errc())
        return 0;
    return negative ? -value : value;
}
