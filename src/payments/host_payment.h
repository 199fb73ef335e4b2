// A host payment written as a payment-file record: the record writers over the host's payment
// object. A getter that fails counts as an empty text or an amount of 0.
#pragma once

#include "TolvarBankPayments.h"
#include "payments/payee_check.h"
#include "payments/payment_records.h"
#include "support/cstring.h"

bool WriteLintroveRecord(PaymentFileWriter& file, ITolvarBankPayment* payment);
bool WriteLedgerwayRecord(PaymentFileWriter& file, ITolvarBankPayment* payment, const CString& debitDateText,
                          char remittanceCharacter);

// What a record writer read of a payment and put on it, for the summary: the payee with its bank
// details, the amount and the result codes.
struct PaymentNote {
    NotedPayee Payee;
    double Amount = 0;
    long ResultCode = 0;
    long RtiResultCode = 0;
};

// The same, noting the payment on the way.
bool WriteLintroveRecord(PaymentFileWriter& file, ITolvarBankPayment* payment, PaymentNote& note);
bool WriteLedgerwayRecord(PaymentFileWriter& file, ITolvarBankPayment* payment, const CString& debitDateText,
                          char remittanceCharacter, PaymentNote& note);
