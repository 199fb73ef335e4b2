#include "statements/statement_lines.h"

#include <cstring>

#include "support/platform.h"

#ifdef BRENMARK_COUNT_STATEMENT_READS
StatementReadCounts& CountedStatementReads()
{
    static StatementReadCounts counts;
    return counts;
}
#define BRENMARK_COUNT(what) ++CountedStatementReads().what
#else
#define BRENMARK_COUNT(what) static_cast<void>(0)
#endif

namespace {

constexpr char kQuote = '"';
constexpr int kColumns = kStatementColumnCount;

// What a user is shown as found text is cut to this many bytes.
constexpr size_t kLongestFoundText = 80;

const char kExpectedDate[] =
    "a date written year-month-day (2019-03-31) or day/month/year (31/03/2019), with a four-digit year";
const char kExpectedCalendarDay[] = "a day of the calendar";
const char kExpectedAmount[] =
    "a sum of money written with digits and at most two decimal places, such as 1234.56 or -12.50, "
    "with no currency sign, letters, thousands separators or sign after it";

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Blanks around the text, one pair of enclosing quotes, blanks inside them.
std::string_view FieldContent(std::string_view text)
{
    text = TrimBlanks(text);
    if (text.size() >= 2 && text.front() == kQuote && text.back() == kQuote)
        text = TrimBlanks(text.substr(1, text.size() - 2));
    return text;
}

// A run of 1 to maxDigits digits at the start of text, consumed.
bool TakeNumber(std::string_view& text, size_t minDigits, size_t maxDigits, int* value)
{
    size_t count = 0;
    int number = 0;
    while (count < text.size() && IsDigit(text[count])) {
        if (++count > maxDigits)
            return false;
        number = number * 10 + (text[count - 1] - '0');
    }
    if (count < minDigits)
        return false;
    text.remove_prefix(count);
    *value = number;
    return true;
}

bool TakeChar(std::string_view& text, char c)
{
    if (text.empty() || text.front() != c)
        return false;
    text.remove_prefix(1);
    return true;
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

enum class DateReading { Read, NotADate, NotACalendarDay };

DateReading ReadDate(std::string_view text, double* date)
{
    BRENMARK_COUNT(Dates);
    text = FieldContent(text);
    int year = 0, month = 0, day = 0;
    std::string_view iso = text;
    std::string_view uk = text;
    const bool isIso = TakeNumber(iso, 4, 4, &year) && TakeChar(iso, '-') && TakeNumber(iso, 1, 2, &month) &&
                       TakeChar(iso, '-') && TakeNumber(iso, 1, 2, &day) && iso.empty();
    const bool isUk = !isIso && TakeNumber(uk, 1, 2, &day) && TakeChar(uk, '/') && TakeNumber(uk, 1, 2, &month) &&
                      TakeChar(uk, '/') && TakeNumber(uk, 4, 4, &year) && uk.empty();
    if (!isIso && !isUk)
        return DateReading::NotADate;
    // Checked here: some platforms roll 30 February over into March instead of refusing it. OLE
    // dates begin in the year 100.
    if (year < 100 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return DateReading::NotACalendarDay;
    double value = 0;
    if (!platform::CalendarDateToOleDate(year, month, day, &value))
        return DateReading::NotACalendarDay;
    *date = value;
    return DateReading::Read;
}

// Cuts a line into its fields; count gets how many there are, at most the size of fields are kept.
// extra gets the first field after the eighth that is not empty, when there is one.
int CutLine(std::string_view line, StatementField (&fields)[kColumns], StatementField* extra, bool* hasExtra)
{
    const char* end = line.data() + line.size();
    const char* rest = line.data();
    int count = 0;
    *hasExtra = false;
    while (rest) {
        const StatementField field = CutStatementField(rest, end, &rest);
        if (count < kColumns) {
            fields[count] = field;
        } else if (!*hasExtra && !FieldContent(field.View()).empty()) {
            *extra = field;
            *hasExtra = true;
        }
        ++count;
    }
    return count;
}

}  // namespace

std::string ShownStatementText(std::string_view text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string shown;
    size_t i = 0;
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        char piece[8] = {static_cast<char>(c), 0};
        if (c == 0) {
            std::memcpy(piece, "<NUL>", 6);
        } else if (c < 0x20 || c == 0x7F) {
            const char named[7] = {'<', '0', 'x', hex[c >> 4], hex[c & 15], '>', 0};
            std::memcpy(piece, named, sizeof named);
        }
        const size_t length = std::strlen(piece);
        if (shown.size() + length > kLongestFoundText)
            break;
        shown.append(piece, length);
    }
    if (i < text.size()) {
        // Never cut a UTF-8 sequence in two: a last sequence that lacks bytes goes.
        size_t lead = shown.size();
        while (lead > 0 && shown.size() - lead < 3 && (static_cast<unsigned char>(shown[lead - 1]) & 0xC0) == 0x80)
            --lead;
        if (lead > 0) {
            const unsigned char first = static_cast<unsigned char>(shown[lead - 1]);
            const size_t needed = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
            if (shown.size() - (lead - 1) < needed)
                shown.resize(lead - 1);
        }
        shown += "...";
    }
    return shown;
}

namespace {

StatementLineKind Damaged(StatementLineDamage* damage, std::string column, std::string_view found, std::string expected)
{
    if (damage) {
        damage->Column = std::move(column);
        damage->Found = ShownStatementText(found);
        damage->Expected = std::move(expected);
    }
    return StatementLineKind::Damaged;
}

// The column that holds the byte at offset, for a line cut into fields.
int ColumnAt(const StatementField (&fields)[kColumns], int count, const char* at)
{
    for (int i = count < kColumns ? count : kColumns; i-- > 0;)
        if (at >= fields[i].Text)
            return i;
    return 0;
}

bool IsDigits(std::string_view text)
{
    for (char c : text) {
        if (!IsDigit(c))
            return false;
    }
    return !text.empty();
}

// An amount with thousands separators written without quotes ("-1,250.00") falls into the Amount
// column and the columns after it; joined gets it back. When the cheque number was empty the line
// still has no text after its eighth column and would pass as a transaction of -1.00.
bool IsSplitAmount(const StatementField (&fields)[kColumns], int count, std::string* joined)
{
    std::string_view lead = TrimBlanks(fields[kAmountColumn].View());
    std::string_view digits = lead;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-'))
        digits.remove_prefix(1);
    if (digits.size() > 3 || !IsDigits(digits))
        return false;
    std::string amount(lead);
    int groups = 0;
    for (int column = kAmountColumn + 1; column < kColumns && column < count; ++column) {
        const std::string_view group = TrimBlanks(fields[column].View());
        const std::string_view whole = group.substr(0, 3);
        const std::string_view rest = group.substr(whole.size());
        const bool last = !rest.empty();
        if (!IsDigits(whole) || whole.size() != 3 ||
            (last && (rest.front() != '.' || rest.size() > 3 || (rest.size() > 1 && !IsDigits(rest.substr(1))))))
            break;
        amount += ",";
        amount += group;
        ++groups;
        if (last)
            break;
    }
    // Every group moved the later fields one column on: the line has that many fields too many.
    if (groups == 0 || count - kColumns < groups)
        return false;
    *joined = amount;
    return true;
}

}  // namespace

StatementField CutStatementField(const char* text, const char* end, const char** rest, char delimiter)
{
    BRENMARK_COUNT(Fields);
    if (!text) {
        *rest = nullptr;
        return StatementField();
    }
    bool quoted = false;
    const char* cursor = text;
    for (; cursor < end; ++cursor) {
        if (*cursor == kQuote)
            quoted = !quoted;
        else if (*cursor == delimiter && !quoted)
            break;
    }
    *rest = cursor < end ? cursor + 1 : nullptr;
    return StatementField{text, static_cast<size_t>(cursor - text)};
}

StatementField WithoutQuotes(StatementField field)
{
    if (field.Length >= 2 && field.Text[0] == kQuote && field.Text[field.Length - 1] == kQuote)
        return StatementField{field.Text + 1, field.Length - 2};
    return field;
}

namespace {

// What the line is; its fields and values go into read as they are read.
StatementLineKind Classify(std::string_view line, bool requireUtf8, StatementLineDamage* damage, StatementLine& read)
{
    if (line.size() > kLongestStatementLine)
        return Damaged(damage, "", line, "a line of at most " + std::to_string(kLongestStatementLine) + " characters");
    if (TrimBlanks(line).empty())
        return StatementLineKind::Skipped;

    StatementField(&fields)[kColumns] = read.Fields;
    StatementField extra;
    bool hasExtra = false;
    const int count = CutLine(line, fields, &extra, &hasExtra);

    const size_t nul = line.find('\0');
    if (nul != std::string_view::npos) {
        const int column = ColumnAt(fields, count, line.data() + nul);
        return Damaged(damage, kStatementColumnNames[column], fields[column].View(), "text without NUL bytes");
    }
    if (count < kColumns)
        return Damaged(damage, "", line,
                       "8 fields separated by commas, but the line has " + std::to_string(count) +
                           " (a comma may be missing, or a double quote left open)");

    bool allEmpty = true;
    for (const StatementField& field : fields)
        allEmpty = allEmpty && FieldContent(field.View()).empty();
    if (allEmpty && !hasExtra)
        return StatementLineKind::Skipped;
    std::string splitAmount;
    if (!hasExtra && count > kColumns && IsSplitAmount(fields, count, &splitAmount))
        return Damaged(damage, kStatementColumnNames[kAmountColumn], splitAmount, kExpectedAmount);
    if (hasExtra)
        return Damaged(damage, "9 (after ChequeNo)", extra.View(),
                       "nothing after the eighth column (an amount such as 1,250.00 must be written without "
                       "the comma)");

    size_t badByte = 0;
    if (requireUtf8 && !IsUtf8(line, &badByte)) {
        const int column = ColumnAt(fields, count, line.data() + badByte);
        return Damaged(damage, kStatementColumnNames[column], fields[column].View(),
                       "UTF-8 text, as the file's byte-order mark declares");
    }

    switch (ReadDate(fields[kTransDateColumn].View(), &read.TransDate)) {
    case DateReading::Read:
        break;
    case DateReading::NotADate:
        return Damaged(damage, kStatementColumnNames[kTransDateColumn], fields[kTransDateColumn].View(), kExpectedDate);
    case DateReading::NotACalendarDay:
        return Damaged(damage, kStatementColumnNames[kTransDateColumn], fields[kTransDateColumn].View(),
                       kExpectedCalendarDay);
    }
    if (!ReadStatementAmount(fields[kAmountColumn].View(), &read.Amount))
        return Damaged(damage, kStatementColumnNames[kAmountColumn], fields[kAmountColumn].View(), kExpectedAmount);
    return StatementLineKind::Transaction;
}

}  // namespace

StatementLine ReadStatementLine(std::string_view line, bool requireUtf8, StatementLineDamage* damage)
{
    StatementLine read;
    read.Kind = Classify(line, requireUtf8, damage, read);
    return read;
}

bool ReadStatementDate(std::string_view text, double* date)
{
    return ReadDate(text, date) == DateReading::Read;
}

bool ReadStatementAmount(std::string_view text, double* amount)
{
    BRENMARK_COUNT(Amounts);
    text = FieldContent(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Whole pence in 64 bits: 14 digits are far inside 2^53, so pence / 100 is the double nearest
    // the written sum, the same value a decimal conversion of the text gives.
    long long pence = 0;
    size_t whole = 0, fraction = 0;
    while (!text.empty() && IsDigit(text.front())) {
        if (++whole > 12)
            return false;
        pence = pence * 10 + (text.front() - '0');
        text.remove_prefix(1);
    }
    if (TakeChar(text, '.')) {
        while (!text.empty() && IsDigit(text.front())) {
            if (++fraction > 2)
                return false;
            pence = pence * 10 + (text.front() - '0');
            text.remove_prefix(1);
        }
    }
    if (!text.empty() || whole + fraction == 0)
        return false;
    for (size_t i = fraction; i < 2; ++i)
        pence *= 10;
    const double value = static_cast<double>(pence) / 100;
    *amount = negative ? -value : value;
    return true;
}

bool IsUtf8(std::string_view text, size_t* firstBad)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    size_t i = 0;
    while (i < size) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        size_t length = 0;
        unsigned long value = 0, least = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, value = lead & 0x1F, least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, value = lead & 0x0F, least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, value = lead & 0x07, least = 0x10000;
        }
        bool good = length != 0 && i + length <= size;
        for (size_t k = 1; good && k < length; ++k) {
            good = (bytes[i + k] & 0xC0) == 0x80;
            value = (value << 6) | (bytes[i + k] & 0x3F);
        }
        good = good && value >= least && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
        if (!good) {
            if (firstBad)
                *firstBad = i;
            return false;
        }
        i += length;
    }
    return true;
}
