#include "payments/host_payment.h"

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
    NotingValues(PaymentValues& payment, PaymentNote& note) : payment_(payment), note_(note)
    {
        // Cleared, not replaced: the texts keep their room from payment to payment.
        note_.PayeeName.clear();
        note_.PayeeSortCode.clear();
        note_.PayeeAccountNumber.clear();
        note_.PayeeRollNumber.clear();
        note_.Amount = 0;
        note_.ResultCode = 0;
        note_.RtiResultCode = 0;
    }

    PaymentTextView Read(PaymentText which) override
    {
        const PaymentTextView view = payment_.Read(which);
        switch (which) {
        case PaymentText::PayeeAccountName:
            note_.PayeeName.assign(view.Text, view.Length);
            break;
        case PaymentText::PayeeSortCode:
            note_.PayeeSortCode.assign(view.Text, view.Length);
            break;
        case PaymentText::PayeeAccountNumber:
            note_.PayeeAccountNumber.assign(view.Text, view.Length);
            break;
        case PaymentText::PayeeRollNumber:
            note_.PayeeRollNumber.assign(view.Text, view.Length);
            break;
        default:
            break;
        }
        return view;
    }
    double ReadAmount() override
    {
        note_.Amount = payment_.ReadAmount();
        return note_.Amount;
    }
    bool IsRtiPayment() override { return payment_.IsRtiPayment(); }
    void PutResultCode(long code) override
    {
        note_.ResultCode = code;
        payment_.PutResultCode(code);
    }
    void PutRtiResultCode(long code) override
    {
        note_.RtiResultCode = code;
        payment_.PutRtiResultCode(code);
    }

private:
    PaymentValues& payment_;
    PaymentNote& note_;
};

}  // namespace

void PayeeOf(const PaymentNote& note, NotedPayee& payee)
{
    Utf8FromWideInto(note.PayeeName, &payee.Name);
    payee.Details.SortCode.clear();
    for (const wchar_t unit : note.PayeeSortCode) {
        if (unit >= L'0' && unit <= L'9')
            payee.Details.SortCode += static_cast<char>(unit);
    }
    std::string& text = payee.Details.RollNumber;  // room for the account number's UTF-8 first
    Utf8FromWideInto(note.PayeeAccountNumber, &text);
    NormalAccountNumberInto(text, payee.Details.AccountNumber);
    Utf8FromWideInto(note.PayeeRollNumber, &text);
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

bool WriteLintroveRecord(PaymentFileWriter& file, ITolvarBankPayment* payment, PaymentNote& note)
{
    HostPaymentValues values(payment);
    NotingValues noting(values, note);
    return WriteLintroveRecord(file, noting);
}

bool WriteLedgerwayRecord(PaymentFileWriter& file, ITolvarBankPayment* payment, const CString& debitDateText,
                          char remittanceCharacter, PaymentNote& note)
{
    HostPaymentValues values(payment);
    NotingValues noting(values, note);
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
