// A host payment written as a payment-file record: the record writers over the host's payment
// object. A getter that fails counts as an empty text or an amount of 0.
#pragma once

#include <string>

#include "TolvarBankPayments.h"
#include "payments/payee_check.h"
#include "payments/payment_records.h"
#include "support/cstring.h"

bool WriteLintroveRecord(PaymentFileWriter& file, ITolvarBankPayment* payment);
bool WriteLedgerwayRecord(PaymentFileWriter& file, ITolvarBankPayment* payment, const CString& debitDateText,
                          char remittanceCharacter);

// What a record writer read of a payment and put on it, for the summary: the payee's texts as the
// host gave them (PayeeOf makes the payee the check compares), the amount and the result codes.
struct PaymentNote {
    std::wstring PayeeName;
    std::wstring PayeeSortCode;
    std::wstring PayeeAccountNumber;
    std::wstring PayeeRollNumber;
    double Amount = 0;
    long ResultCode = 0;
    long RtiResultCode = 0;
};

// The payee of a noted payment as the check compares it: its name in UTF-8, the sort code's digits,
// the account number as the history keeps it, the roll number in capitals without spaces at its
// ends. Made beside the payment loop, not in it.
void PayeeOf(const PaymentNote& note, NotedPayee& payee);

// The same, noting the payment on the way.
bool WriteLintroveRecord(PaymentFileWriter& file, ITolvarBankPayment* payment, PaymentNote& note);
bool WriteLedgerwayRecord(PaymentFileWriter& file, ITolvarBankPayment* payment, const CString& debitDateText,
                          char remittanceCharacter, PaymentNote& note);
