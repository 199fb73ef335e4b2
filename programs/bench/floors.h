// The floors the module is measured against: the least work that gives the host the same calls and
// the file the same bytes. No checks, one buffered stream, nothing kept per item; the debugger
// traces the module must write for the same items are written too.
#pragma once

#include <string>

#include "TolvarBankPayments.h"
#include "TolvarBankReconciliation.h"

namespace bench {

enum class Layout { Lintrove, Ledgerway };

// The debugger trace the module writes for a payment, null for none (bench_data.h's PaymentTrace).
using TracePlan = const char* (*)(bool lintrove, long index);

// Writes every payment of the batch to path in the layout (text mode, so CR LF line ends), with the
// host calls of the module's export loop: get_Count, then per payment Item, put_ResultCode(0), the
// getters in the module's order and, in the Lintrove layout, the ITolvarBankPayment2 query.
// debitDateText and remittance are the Ledgerway record's first and last fields. The traces the
// module must write for the payments go to the debugger output too. False when the file could not
// be written.
bool FloorExport(ITolvarBankPayments* payments, Layout layout, const char* debitDateText, char remittance,
                 TracePlan traces, const std::string& path);

// Reads the statement file at path with one buffered line loop and hands every transaction line to
// the statement as the module does: Reset, put_Balance(0), then per line AddTransaction and the
// transaction's puts, with the module's trace (the one on reading the column names). Lines are
// the transaction lines read; false when the file could not be read.
bool FloorImport(ITolvarBankStatement* statement, const std::string& path, long* lines);

}  // namespace bench
