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

bool FillTransactionRecord(const StatementLine& line, CBMLWTransactionRecord& record)
{
    if (line.Kind != StatementLineKind::Transaction)
        return false;
    // The value date is not passed on: an empty or unreadable one stays 0.
    double valueDate = 0;
    ReadStatementDate(line.Fields[kValueDateColumn].View(), &valueDate);

    // Every member is given its value, an empty field its cleared value, so the texts keep their
    // room from line to line.
    record.TransDate = line.TransDate;
    record.ValueDate = valueDate;
    record.InToday = TerminatedText(WithoutQuotes(line.Fields[kInTodayColumn]));
    record.Amount = line.Amount;
    record.Details = TerminatedText(WithoutQuotes(line.Fields[kDetailsColumn]));
    record.TransCode = TerminatedText(WithoutQuotes(line.Fields[kTransCodeColumn]));
    record.RFR = TerminatedText(WithoutQuotes(line.Fields[kRfrColumn]));
    record.ChequeNo = TerminatedText(WithoutQuotes(line.Fields[kChequeNoColumn]));
    return true;
}
