// Resource identifiers of the module: registry scripts and the project name. The payment side's
// own identifiers (result texts, options dialog) are in payments/payment_resources.h.
#pragma once

#define IDR_BANK 101
#define IDR_BANKSERVICES 102
#define IDR_BANKPAYMENTSERVICE 103
#define IDR_BANKSTATEMENTSERVICE 104

#define IDS_PROJNAME 100
