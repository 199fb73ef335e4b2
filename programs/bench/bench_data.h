// What the benchmarks feed the module: payments made on demand by the stand-in batch, and statement
// files written line by line. Both are deterministic, so the module and its floor see the same.
#pragma once

#include <string>

#include "standin/standin_host.h"

namespace bench {

// Payment index of the batch. Two payments in a hundred fail a check in the Lintrove layout (one of
// them with a trace to the debugger output), three in the Ledgerway layout.
standin::PaymentData MakePayment(long index);

// The debugger trace the module writes for payment index in the Lintrove layout (lintrove) or the
// Ledgerway one, or null when it writes none: the payment with the refused name gets one in the
// Lintrove layout. scripts/bench's check compares it with what the module really writes.
const char* PaymentTrace(bool lintrove, long index);

// Makes MakePayment give payments that pass every check in both layouts (to see what the failures
// cost).
void MakeEveryPaymentValid(bool on);

// Makes MakePayment name each payment's payee after its index ("Payee 123"), so that a batch of N
// payments pays N payees, each with the same bank details from one run to the next.
void MakeDistinctPayees(bool on);

// Called by MakePayment for index 0, whenever it is made: the last call marks the start of the
// export's record loop (the run fetches the first payment once before its dialogs).
void OnFirstPaymentMade(void (*notice)());

// Transaction line number (0-based) of a generated statement, without its line end. Lines alternate
// between quoted and unquoted fields (some amounts quoted too); some details hold a comma inside
// quotes, some have a cheque number, some amounts are negative or zero.
std::string StatementLine(long number);

// Writes a statement of count transaction lines (text mode: CR LF line ends). False on failure.
bool WriteStatementFile(const std::string& path, long count);

}  // namespace bench
