#include "payments/host_payment.h"

#include <cstdint>
#include <new>

#include "core/com_ptr.h"
#include "support/hresult.h"
#include "support/text_conversion.h"

namespace {

// The host's payment object as the record writers read it. Each text is read by its getter once
// and kept for the record; a failed getter gives the empty text, a failed amount 0.
class HostPaymentValues final : public PaymentValues {
public:
    explicit HostPaymentValues(ITolvarBankPayment* payment) : payment_(payment) {}

    PaymentTextView Read(PaymentText which) override
    {
        Bstr& text = texts_[static_cast<int>(which)];
        if (FAILED(Get(which, text.Put())))
            text.Reset();
        return {text.Text(), text.Length()};
    }
    double ReadAmount() override
    {
        double amount = 0;
        if (!payment_ || FAILED(payment_->get_Amount(&amount)))
            amount = 0;
        return amount;
    }
    bool IsRtiPayment() override
    {
        if (payment_)
            payment_->QueryInterface(__uuidof(ITolvarBankPayment2), rtiPayment_.PutVoid());
        long isRti = 0;
        if (rtiPayment_ && FAILED(rtiPayment_->get_IsRti(&isRti)))
            isRti = 0;
        return rtiPayment_ && isRti != 0;
    }
    // What the host makes of the code is its own business.
    void PutResultCode(long code) override
    {
        if (payment_)
            payment_->put_ResultCode(code);
    }
    void PutRtiResultCode(long code) override
    {
        if (rtiPayment_)
            rtiPayment_->put_ResultCode(code);
    }

private:
    HRESULT Get(PaymentText which, BSTR* text) const
    {
        if (which == PaymentText::RtiReference)
            return rtiPayment_ ? rtiPayment_->get_RtiReference(text) : E_POINTER;
        if (!payment_)
            return E_POINTER;
        switch (which) {
        case PaymentText::PayeeSortCode:
            return payment_->get_PayeeSortCode(text);
        case PaymentText::PayeeAccountNumber:
            return payment_->get_PayeeAccountNumber(text);
        case PaymentText::PayeeAccountName:
            return payment_->get_PayeeAccountName(text);
        case PaymentText::PayeeRollNumber:
            return payment_->get_PayeeRollNumber(text);
        case PaymentText::PayeeBacsReference:
            return payment_->get_PayeeBacsReference(text);
        case PaymentText::PayerSortCode:
            return payment_->get_PayerSortCode(text);
        case PaymentText::PayerAccountNumber:
            return payment_->get_PayerAccountNumber(text);
        case PaymentText::PayerAccountName:
            return payment_->get_PayerAccountName(text);
        case PaymentText::Details:
            return payment_->get_Details(text);
        case PaymentText::RtiReference:
            break;
        }
        return E_INVALIDARG;
    }

    ITolvarBankPayment* payment_;
    ComPtr<ITolvarBankPayment2> rtiPayment_;
    Bstr texts_[kPaymentTextCount];
};

// Passes everything through to the payment and keeps what the summary needs.
class NotingValues final : public PaymentValues {
public:
    NotingValues(PaymentValues& payment, PaymentNotes& notes) : payment_(payment), notes_(notes) {}

    PaymentTextView Read(PaymentText which) override
    {
        const PaymentTextView view = payment_.Read(which);
        switch (which) {
        case PaymentText::PayeeAccountName:
            notes_.Keep(PaymentNote::PayeeName, view.Text, view.Length);
            break;
        case PaymentText::PayeeSortCode:
            notes_.Keep(PaymentNote::PayeeSortCode, view.Text, view.Length);
            break;
        case PaymentText::PayeeAccountNumber:
            notes_.Keep(PaymentNote::PayeeAccountNumber, view.Text, view.Length);
            break;
        case PaymentText::PayeeRollNumber:
            notes_.Keep(PaymentNote::PayeeRollNumber, view.Text, view.Length);
            break;
        default:
            break;
        }
        return view;
    }
    double ReadAmount() override
    {
        const double amount = payment_.ReadAmount();
        notes_.Last().Amount = amount;
        return amount;
    }
    bool IsRtiPayment() override { return payment_.IsRtiPayment(); }
    void PutResultCode(long code) override
    {
        notes_.Last().ResultCode = code;
        payment_.PutResultCode(code);
    }
    void PutRtiResultCode(long code) override
    {
        notes_.Last().RtiResultCode = code;
        payment_.PutRtiResultCode(code);
    }

private:
    PaymentValues& payment_;
    PaymentNotes& notes_;
};

}  // namespace

PaymentNote& PaymentNotes::Start()
{
    if (used_ == notes_.size())
        notes_.emplace_back();
    PaymentNote& note = notes_[used_++];
    note = PaymentNote();
    return note;
}

void PaymentNotes::MakeRoom(std::size_t length)
{
    if (length > SIZE_MAX / sizeof(wchar_t) - textUsed_)
        throw std::bad_alloc();
    std::size_t room = textRoom_ < 4096 ? 4096 : textRoom_;
    while (room - textUsed_ < length)
        room = room > SIZE_MAX / sizeof(wchar_t) / 2 ? textUsed_ + length : room * 2;
    std::unique_ptr<wchar_t[]> texts(new wchar_t[room]);
    if (textUsed_ > 0)
        std::memcpy(texts.get(), texts_.get(), textUsed_ * sizeof(wchar_t));
    texts_ = std::move(texts);
    textRoom_ = room;
}

void PayeeOf(const PaymentNotes& notes, std::size_t at, NotedPayee& payee)
{
    const PaymentNote& note = notes[at];
    Utf8FromWideInto(notes.Text(note, PaymentNote::PayeeName), &payee.Name);
    payee.Details.SortCode.clear();
    for (const wchar_t unit : notes.Text(note, PaymentNote::PayeeSortCode)) {
        if (unit >= L'0' && unit <= L'9')
            payee.Details.SortCode += static_cast<char>(unit);
    }
    std::string& text = payee.Details.RollNumber;  // room for the account number's UTF-8 first
    Utf8FromWideInto(notes.Text(note, PaymentNote::PayeeAccountNumber), &text);
    NormalAccountNumberInto(text, payee.Details.AccountNumber);
    Utf8FromWideInto(notes.Text(note, PaymentNote::PayeeRollNumber), &text);
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        text.clear();
        return;
    }
    text.erase(text.find_last_not_of(' ') + 1);
    text.erase(0, first);
}

bool WriteLintroveRecord(PaymentFileWriter& file, ITolvarBankPayment* payment, PaymentNotes& notes)
{
    HostPaymentValues values(payment);
    NotingValues noting(values, notes);
    return WriteLintroveRecord(file, noting);
}

bool WriteLedgerwayRecord(PaymentFileWriter& file, ITolvarBankPayment* payment, const CString& debitDateText,
                          char remittanceCharacter, PaymentNotes& notes)
{
    HostPaymentValues values(payment);
    NotingValues noting(values, notes);
    return WriteLedgerwayRecord(file, noting, debitDateText, remittanceCharacter);
}

bool WriteLintroveRecord(PaymentFileWriter& file, ITolvarBankPayment* payment)
{
    HostPaymentValues values(payment);
    return WriteLintroveRecord(file, values);
}

bool WriteLedgerwayRecord(PaymentFileWriter& file, ITolvarBankPayment* payment, const CString& debitDateText,
                          char remittanceCharacter)
{
    HostPaymentValues values(payment);
    return WriteLedgerwayRecord(file, values, debitDateText, remittanceCharacter);
}
