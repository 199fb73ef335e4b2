#include "statements/transaction_record.h"

#include <cstring>

#include "statements/statement_lines.h"

namespace {

constexpr char kQuote = '"';

// A field's text with a terminator: on the stack when short, as nearly every field is.
class TerminatedText {
public:
    explicit TerminatedText(StatementField field)
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

int CountLineFields(std::string_view line)
{
    const char* end = line.data() + line.size();
    const char* rest = line.data();
    int count = 0;
    while (rest) {
        CutStatementField(rest, end, &rest);
        ++count;
    }
    return count;
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
    std::string line;
    return ReadTransactionRecord(stream, line, record);
}

std::istream& ReadTransactionRecord(std::istream& stream, std::string& line, CBMLWTransactionRecord& record)
{
    ReadStatementLine(stream, line);
    FillTransactionRecord(line, record);
    return stream;
}

void FillTransactionRecord(std::string_view line, CBMLWTransactionRecord& record)
{
    if (CountLineFields(line) < CBMLWTransactionRecord::FieldCount)
        throw CBMLWTransactionRecord::TooFewFields;
    if (CheckStatementLine(line, false, nullptr) != StatementLineKind::Transaction)
        throw CBMLWTransactionRecord::DamagedLine;
    FillCheckedTransactionRecord(line, record);
}

void FillCheckedTransactionRecord(std::string_view line, CBMLWTransactionRecord& record)
{
    // Cut every field before touching the record, so that a failure leaves it whole.
    StatementField fields[CBMLWTransactionRecord::FieldCount];
    const char* end = line.data() + line.size();
    const char* rest = line.data();
    for (StatementField& field : fields)
        field = CutStatementField(rest, end, &rest);
    double transDate = 0, amount = 0;
    if (!ReadStatementDate(fields[0].View(), &transDate) || !ReadStatementAmount(fields[3].View(), &amount))
        throw CBMLWTransactionRecord::DamagedLine;
    // The value date is not passed on: an empty or unreadable one stays 0.
    double valueDate = 0;
    ReadStatementDate(fields[1].View(), &valueDate);

    // Every member is given its value, an empty field its cleared value, so the texts keep their
    // room from line to line.
    record.TransDate = transDate;
    record.ValueDate = valueDate;
    record.InToday = TerminatedText(WithoutQuotes(fields[2]));
    record.Amount = amount;
    record.Details = TerminatedText(WithoutQuotes(fields[4]));
    record.TransCode = TerminatedText(WithoutQuotes(fields[5]));
    record.RFR = TerminatedText(WithoutQuotes(fields[6]));
    record.ChequeNo = TerminatedText(WithoutQuotes(fields[7]));
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
    const StatementField field = CutStatementField(text, text ? text + std::strlen(text) : nullptr, rest, delimiter);
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
    double date = 0;
    return text && ReadStatementDate(text, &date) ? date : 0;
}

double ParseStatementAmount(const char* text)
{
    double amount = 0;
    return text && ReadStatementAmount(text, &amount) ? amount : 0;
}
