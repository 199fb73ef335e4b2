#include "statements/transaction_record.h"

#include <cstring>

#include "statements/statement_lines.h"

namespace {

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

}  // namespace

bool FillTransactionRecord(std::string_view line, CBMLWTransactionRecord& record)
{
    // Cut every field before touching the record, so that a failure leaves it whole.
    StatementField fields[CBMLWTransactionRecord::FieldCount];
    const char* end = line.data() + line.size();
    const char* rest = line.data();
    for (StatementField& field : fields)
        field = CutStatementField(rest, end, &rest);
    double transDate = 0, amount = 0;
    if (!ReadStatementDate(fields[0].View(), &transDate) || !ReadStatementAmount(fields[3].View(), &amount))
        return false;
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
    return true;
}
