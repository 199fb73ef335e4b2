// One payment as one record of a payment file, checked on the way. The writers write the record
// through the file's writer, which ends its line (CR LF) and counts it with its amount. They read the
// payment through PaymentValues, so they serve the host's payments and any other source alike.
#pragma once

#include <cstddef>

#include "payments/payment_file_writer.h"
#include "support/cstring.h"
#include "support/platform.h"

// The texts of a payment that the records use.
enum class PaymentText {
    PayeeSortCode,
    PayeeAccountNumber,
    PayeeAccountName,
    PayeeRollNumber,
    PayeeBacsReference,
    PayerSortCode,
    PayerAccountNumber,
    PayerAccountName,
    Details,
    RtiReference,
};
constexpr int kPaymentTextCount = 10;

// A text as the payment gave it: Length UTF-16 units at Text (which is never null and is
// terminated after them; it may hold zero units before).
struct PaymentTextView {
    const platform::WideChar* Text;
    std::size_t Length;
};

// One payment as the writers see it: each value read once, each failed check's result code put
// at once. A source that cannot give a value gives the empty text or an amount of 0.
class PaymentValues {
public:
    virtual ~PaymentValues() = default;
    // Valid until the source is destroyed.
    virtual PaymentTextView Read(PaymentText text) = 0;
    virtual double ReadAmount() = 0;
    // Whether the payment is an RTI payment (its source offers RTI and says so); asked once, before
    // the RTI reference is read.
    virtual bool IsRtiPayment() = 0;
    virtual void PutResultCode(long code) = 0;
    // The code for a failed RTI reference, put through the payment's RTI face.
    virtual void PutRtiResultCode(long code) = 0;
};

// The first line of a Ledgerway payment file.
extern const char kLedgerwayHeader[];

// Writes the Ledgerway header and its line end.
void WriteLedgerwayHeader(PaymentFileWriter& file);

// Both writers first put result code 0 on the payment, then read each value once, check it, put
// the code of every failed check at once, and write the field whatever the checks said; the
// record's line is ended and counted. They return whether every check passed.
bool WriteLintroveRecord(PaymentFileWriter& file, PaymentValues& payment);
bool WriteLedgerwayRecord(PaymentFileWriter& file, PaymentValues& payment, const CString& debitDateText,
                          char remittanceCharacter);
