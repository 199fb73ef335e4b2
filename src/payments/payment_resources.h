// Resource identifiers of the payment side: the result texts, the payment options dialog and the
// bank holidays the module was built with.
// The resources themselves are in payments/payment_resources.rc, which the module's script includes.
#pragma once

// The result text of code N is string IDS_RESULT_BASE + N.
#define IDS_RESULT_BASE 300

#define IDD_PAYMENT_OPTIONS 200
#define IDC_LEDGERWAY_LAYOUT 201
#define IDC_LINTROVE_LAYOUT 202
#define IDC_LAYOUT_EXPLANATION 203
#define IDC_DEBIT_DATE_LABEL 220
#define IDC_DEBIT_DATE 221
#define IDC_REMITTANCE_ADVICE 223
#define IDC_LEDGERWAY_OPTIONS 224

// The England and Wales bank holiday list (data/bank-holidays.json), as RCDATA.
#define IDR_BANK_HOLIDAYS 400

#define IDD_PAYMENT_SUMMARY 240
#define IDC_SUMMARY_TEXT 241
