// One host payment as one record of a payment file, checked on the way. The writers write the
// record without its line end; the run ends each line with "\n" in a text-mode file (CR LF).
#pragma once

#include <cstdio>

#include "TolvarBankPayments.h"
#include "support/cstring.h"

// The first line of a Ledgerway payment file.
extern const char kLedgerwayHeader[];

// Writes the Ledgerway header and its line end.
void WriteLedgerwayHeader(FILE* file);

// Both writers first put result code 0 on the payment, then read each host value once, check it,
// put the code of every failed check at once, and write the field whatever the checks said. A
// getter that fails counts as an empty text or an amount of 0. They return whether every check
// passed.
bool WriteLintroveRecord(FILE* file, ITolvarBankPayment* payment);
bool WriteLedgerwayRecord(FILE* file, ITolvarBankPayment* payment, const CString& debitDateText,
                          char remittanceCharacter);
