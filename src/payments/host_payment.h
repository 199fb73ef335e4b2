// A host payment written as a payment-file record: the record writers over the host's payment
// object. A getter that fails counts as an empty text or an amount of 0.
#pragma once

#include "TolvarBankPayments.h"
#include "payments/payment_records.h"
#include "support/cstring.h"

bool WriteLintroveRecord(PaymentFileWriter& file, ITolvarBankPayment* payment);
bool WriteLedgerwayRecord(PaymentFileWriter& file, ITolvarBankPayment* payment, const CString& debitDateText,
                          char remittanceCharacter);
