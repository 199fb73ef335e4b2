// A host payment written as a payment-file record: the record writers over the host's payment
// object. A getter that fails counts as an empty text or an amount of 0.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "TolvarBankPayments.h"
#include "payments/payee_check.h"
#include "payments/payment_records.h"
#include "support/copy_bytes.h"
#include "support/cstring.h"

bool WriteLintroveRecord(PaymentFileWriter& file, ITolvarBankPayment* payment);
bool WriteLedgerwayRecord(PaymentFileWriter& file, ITolvarBankPayment* payment, const CString& debitDateText,
                          char remittanceCharacter);

// What a record writer read of a payment and put on it, for the summary: the payee's texts as the
// host gave them, the amount and the result codes. The texts are in the PaymentNotes that holds it.
struct PaymentNote {
    enum Text { PayeeName, PayeeSortCode, PayeeAccountNumber, PayeeRollNumber, TextCount };
    std::size_t Start[TextCount] = {};
    std::size_t Length[TextCount] = {};
    double Amount = 0;
    long ResultCode = 0;
    long RtiResultCode = 0;
    bool Passed = false;
};

// A run of noted payments, their texts end to end in one block. Noting a payment then writes two
// runs of memory, not a text of its own for each payee text, and so costs the loop little even
// when another thread has just read the notes before. Cleared, the notes keep their room.
class PaymentNotes {
public:
    // Room for this many notes, taken at once rather than grown into.
    void Reserve(std::size_t notes) { notes_.reserve(notes); }
    // Starts the next payment's note, empty.
    PaymentNote& Start();
    void Keep(PaymentNote::Text which, const wchar_t* text, std::size_t length)
    {
        if (length > textRoom_ - textUsed_)
            MakeRoom(length);
        PaymentNote& note = Last();
        note.Start[which] = textUsed_;
        note.Length[which] = length;
        CopyBytes(texts_.get() + textUsed_, text, length * sizeof(wchar_t));
        textUsed_ += length;
    }
    PaymentNote& Last() { return notes_[used_ - 1]; }
    const PaymentNote& operator[](std::size_t at) const { return notes_[at]; }
    std::wstring_view Text(const PaymentNote& note, PaymentNote::Text which) const
    {
        return {texts_.get() + note.Start[which], note.Length[which]};
    }
    std::size_t Size() const { return used_; }
    void Clear()
    {
        used_ = 0;
        textUsed_ = 0;
    }

private:
    void MakeRoom(std::size_t length);

    std::vector<PaymentNote> notes_;
    std::size_t used_ = 0;
    std::unique_ptr<wchar_t[]> texts_;
    std::size_t textUsed_ = 0;
    std::size_t textRoom_ = 0;
};

// The payee of a noted payment as the check compares it: its name in UTF-8, the sort code's digits,
// the account number as the history keeps it, the roll number in capitals without spaces at its
// ends. Made beside the payment loop, not in it.
void PayeeOf(const PaymentNotes& notes, std::size_t at, NotedPayee& payee);

// The same, noting the payment on the way in the note notes last started.
bool WriteLintroveRecord(PaymentFileWriter& file, ITolvarBankPayment* payment, PaymentNotes& notes);
bool WriteLedgerwayRecord(PaymentFileWriter& file, ITolvarBankPayment* payment, const CString& debitDateText,
                          char remittanceCharacter, PaymentNotes& notes);
