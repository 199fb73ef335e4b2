// One transaction line of a bank statement file: two dates, a signed amount and five texts, in the
// order of the file's columns.
#pragma once

#include <string>
#include <string_view>

#include "support/cstring.h"

struct StatementLine;

class CBMLWTransactionRecord {
public:
    static constexpr int FieldCount = 8;

    CBMLWTransactionRecord() = default;

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

    // Fills the record from a line that ReadStatementLine read as a transaction, from its fields
    // and values as read there (the value date, which only the record keeps, is read here); false,
    // leaving the record as it was, for any other line.
    friend bool FillTransactionRecord(const StatementLine& line, CBMLWTransactionRecord& record);

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

bool FillTransactionRecord(const StatementLine& line, CBMLWTransactionRecord& record);
