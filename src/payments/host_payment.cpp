#include "payments/host_payment.h"

#include "core/com_ptr.h"
#include "support/hresult.h"

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

}  // namespace

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
