// The floors the module is measured against: the least work that gives the host the same calls and
// the file the same bytes. No checks, no diagnostics, one buffered stream, nothing kept per item.
#pragma once

#include <string>

#include "TolvarBankPayments.h"
#include "TolvarBankReconciliation.h"

namespace bench {

enum class Layout { Lintrove, Ledgerway };

// Writes every payment of the batch to path in the layout (text mode, so CR LF line ends), with the
// host calls of the module's export loop: get_Count, then per payment Item, put_ResultCode(0), the
// getters in the module's order and, in the Lintrove layout, the ITolvarBankPayment2 query.
// debitDateText and remittance are the Ledgerway record's first and last fields. False when the
// file could not be written.
bool FloorExport(ITolvarBankPayments* payments, Layout layout, const char* debitDateText, char remittance,
                 const std::string& path);

// Reads the statement file at path with one buffered line loop and hands every transaction line to
// the statement as the module does: Reset, put_Balance(0), then per line AddTransaction and the
// transaction's puts. Lines are the transaction lines read; false when the file could not be read.
bool FloorImport(ITolvarBankStatement* statement, const std::string& path, long* lines);

}  // namespace bench
