#include "statements/transaction_record.h"

#include <charconv>
#include <climits>
#include <cstring>

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

// One field of a line, its quotes included: the text between two delimiters, without a copy.
struct FieldSpan {
    const char* Text = "";
    size_t Length = 0;
};

// NextField without the copy: the same field, and the same rest.
FieldSpan CutField(const char* text, char delimiter, const char** rest)
{
    if (!text) {
        *rest = nullptr;
        return FieldSpan();
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
    return FieldSpan{text, static_cast<size_t>(end - text)};
}

// StripQuotes on a field span.
FieldSpan WithoutQuotes(FieldSpan field)
{
    if (field.Length >= 2 && field.Text[0] == kQuote && field.Text[field.Length - 1] == kQuote)
        return FieldSpan{field.Text + 1, field.Length - 2};
    return field;
}

// A field's text with a terminator: on the stack when short, as nearly every field is.
class TerminatedText {
public:
    explicit TerminatedText(FieldSpan field)
    {
        if (field.Length < sizeof small_) {
            std::memcpy(small_, field.Text, field.Length);
            small_[field.Length] = '\0';
            text_ = small_;
        } else {
            large_.assign(field.Text, field.Length);
            text_ = large_.c_str();
        }
    }
    TerminatedText(const TerminatedText&) = delete;
    TerminatedText& operator=(const TerminatedText&) = delete;
    operator const char*() const { return text_; }

private:
    char small_[256];
    std::string large_;
    const char* text_;
};

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
    std::string line;
    return ReadTransactionRecord(stream, line, record);
}

std::istream& ReadTransactionRecord(std::istream& stream, std::string& line, CBMLWTransactionRecord& record)
{
    ReadStatementLine(stream, line);
    if (CountFields(line.c_str(), kDelimiter) < CBMLWTransactionRecord::FieldCount)
        throw CBMLWTransactionRecord::TooFewFields;

    // Cut every field before touching the record, so that a failure leaves it whole.
    FieldSpan fields[CBMLWTransactionRecord::FieldCount];
    const char* rest = line.c_str();
    for (FieldSpan& field : fields)
        field = CutField(rest, kDelimiter, &rest);

    // Every member is given its value, an empty field its cleared value (0 or the empty text), so
    // the texts keep their room from line to line.
    record.TransDate = ParseStatementDate(TerminatedText(WithoutQuotes(fields[0])));
    record.ValueDate = ParseStatementDate(TerminatedText(WithoutQuotes(fields[1])));
    record.InToday = TerminatedText(WithoutQuotes(fields[2]));
    record.Amount = ParseStatementAmount(TerminatedText(WithoutQuotes(fields[3])));
    record.Details = TerminatedText(WithoutQuotes(fields[4]));
    record.TransCode = TerminatedText(WithoutQuotes(fields[5]));
    record.RFR = TerminatedText(WithoutQuotes(fields[6]));
    record.ChequeNo = TerminatedText(WithoutQuotes(fields[7]));
    return stream;
}

std::string ReadStatementLine(std::istream& stream)
{
    std::string line;
    ReadStatementLine(stream, line);
    return line;
}

bool ReadStatementLine(std::istream& stream, std::string& line)
{
    if (!std::getline(stream, line)) {
        line.clear();
        return false;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
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
    const FieldSpan field = CutField(text, delimiter, rest);
    return field.Length ? CString(std::string(field.Text, field.Length).c_str()) : CString();
}

void StripQuotes(CString& text)
{
    const int length = text.GetLength();
    if (length >= 2 && text.GetAt(0) == kQuote && text.GetAt(length - 1) == kQuote)
        text = text.Mid(1, length - 2);
}

double ParseStatementDate(const CString& text)
{
    return ParseStatementDate(static_cast<const char*>(text));
}

double ParseStatementDate(const char* text)
{
    const char* cursor = text ? text : "";
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
