// One transaction line of a bank statement file: two dates, a signed amount and five texts, in the
// order of the file's columns.
#pragma once

#include <istream>
#include <string>
#include <string_view>

#include "support/cstring.h"

class CBMLWTransactionRecord {
public:
    // Raised by value: the enumerator itself is the exception object.
    // DamagedLine: eight fields or more, but a date or an amount that cannot be read exactly, or
    // text where none may be (the rules of statement_lines.h).
    enum { NoError = 0, TooFewFields = 1, DamagedLine = 2, StreamNotOpen = 4 };
    using Error = decltype(NoError);

    static constexpr int FieldCount = 8;

    CBMLWTransactionRecord() = default;

    void Clear();

    double GetTransDate() const { return TransDate; }
    double GetValueDate() const { return ValueDate; }
    double GetAmount() const { return Amount; }
    // Zero, minus zero included, counts as a receipt.
    bool IsNegative() const { return Amount < 0; }
    // The texts stay the record's: they change when the record is filled again.
    const CString& GetInToday() const { return InToday; }
    const CString& GetDetails() const { return Details; }
    const CString& GetTransCode() const { return TransCode; }
    const CString& GetRFR() const { return RFR; }
    const CString& GetChequeNo() const { return ChequeNo; }

    // Reads exactly one line, of any length. A line of fewer than eight fields raises TooFewFields,
    // any other line that is not a transaction raises DamagedLine; either leaves the record as it was.
    friend std::istream& operator>>(std::istream& stream, CBMLWTransactionRecord& record);
    // The same, reading the line into line, whose room is kept for the next one: a reader that
    // goes through a whole file allocates nothing per line once its buffers have grown.
    friend std::istream& ReadTransactionRecord(std::istream& stream, std::string& line, CBMLWTransactionRecord& record);
    // Fills the record from one line without its line end, raising as the extraction does.
    friend void FillTransactionRecord(std::string_view line, CBMLWTransactionRecord& record);
    // The same for a line that CheckStatementLine already called a transaction (the file reader's
    // second pass), without checking it again; raises DamagedLine should it not be one after all.
    friend void FillCheckedTransactionRecord(std::string_view line, CBMLWTransactionRecord& record);

private:
    double TransDate = 0;
    double ValueDate = 0;
    CString InToday;
    double Amount = 0;
    CString Details;
    CString TransCode;
    CString RFR;
    CString ChequeNo;
};

// Reads one line whole, without its line end (a carriage return before the line feed goes too).
// A read that fails, at the end of the file included, gives the empty text.
std::string ReadStatementLine(std::istream& stream);
// The same into line; false (and line empty) when the read failed.
bool ReadStatementLine(std::istream& stream, std::string& line);

// Number of fields in a line: the delimiters outside double quotes, plus one; 0 for no text.
int CountFields(const char* text, char delimiter);

// Cuts the next field from text: returns its text, quotes included (empty for an empty field or
// no text), and sets rest to where the following field begins, or to null after the last field.
CString NextField(const char* text, char delimiter, const char** rest);

// Removes one pair of enclosing double quotes, in place; quotes inside stay.
void StripQuotes(CString& text);

// A date written year-month-day or day/month/year (ReadStatementDate), as an OLE Automation date
// at midnight; 0 when the text is not such a date.
double ParseStatementDate(const CString& text);
double ParseStatementDate(const char* text);

// The amount of a field when it is a plain sum of money (ReadStatementAmount), read the same
// whatever the process locale; 0 when it is not.
double ParseStatementAmount(const char* text);
