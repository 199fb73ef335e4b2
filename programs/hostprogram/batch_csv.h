// The payment batch file of the sample host program: a column-name line naming host payment
// fields, in any order, then one payment per line.
//
//   Column              Host payment member        Required
//   PayerSortCode       PayerSortCode              no: the paying account's sort code when absent
//   PayerAccountNumber  PayerAccountNumber         no: the paying account's number when absent
//   PayerAccountName    PayerAccountName           no
//   PayeeSortCode       PayeeSortCode              yes
//   PayeeAccountNumber  PayeeAccountNumber         yes
//   PayeeAccountName    PayeeAccountName           yes
//   PayeeBacsReference  PayeeBacsReference         no
//   PayeeRollNumber     PayeeRollNumber            no
//   Amount              Amount (a decimal number)  yes
//   Details             Details                    no
//   RtiReference        RtiReference (RTI only)    no
//   IsRti               IsRti (an integer; RTI)    no: 0
//
// Column names ignore case. Texts are UTF-8 and are handed to the module exactly as written,
// spaces included. The whole file is read and checked before anything is done with it.
#pragma once

#include <string>
#include <vector>

#include "standin/standin_host.h"

namespace hostprogram {

struct BatchDefaults {
    // Payer fields for a file without those columns.
    std::wstring PayerSortCode, PayerAccountNumber;
    // Whether the payments answer the host's RTI interface.
    bool OffersRti = false;
};

struct BatchPayment {
    long Line = 0;  // where the payment is in the file
    standin::PaymentData Data;
};

// The column names, in the order the generator writes them.
const std::vector<std::string>& BatchColumns();

// Throws InputError naming the file, line and field of the first problem.
std::vector<BatchPayment> ReadPaymentBatch(const std::string& path, const BatchDefaults& defaults);

// A decimal amount: an optional sign, digits, an optional point and digits. Spaces around it are
// allowed. False for anything else (exponents, thousands separators, infinities).
bool ParseAmount(const std::string& text, double* amount);

}  // namespace hostprogram
