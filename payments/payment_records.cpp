#include "payments/payment_records.h"

#include "core/com_ptr.h"
#include "payments/payment_checks.h"
#include "payments/payment_format.h"
#include "settings/host_text.h"
#include "support/hresult.h"

const char kLedgerwayHeader[] =
    "DebitDate,BankRef,DBAcNo,DBAcType,DBSC,BenName,BenAcNo,BenAcType,BenSC,BenRef,Amount,RemAdvReq";

namespace {

// One host text as read by its getter. A failed getter gives the empty text, like a missing value.
class HostText {
public:
    HostText() = default;
    template <class Interface, class Getter>
    HostText(Interface* object, Getter&& getter)
    {
        if (!object || FAILED(getter(object, text_.Put())))
            text_.Reset();
    }
    const wchar_t* Text() const { return text_.Text(); }
    std::size_t Length() const { return text_.Length(); }
    bool IsEmpty() const { return Length() == 0; }
    // Characters above U+00FF would be lost in the narrow text.
    bool LosesCharacters() const { return HoldsCharacterAboveNarrowRange(text_.Get(), Length()); }
    CString Narrow() const { return CString(ToNarrowText(Text())); }
    CString Digits() const { return CString(ToDigitText(Text())); }

private:
    Bstr text_;
};

double ReadAmount(ITolvarBankPayment* payment)
{
    double amount = 0;
    if (!payment || FAILED(payment->get_Amount(&amount)))
        amount = 0;
    return amount;
}

// The payment's result code and the record's valid flag.
class ResultKeeper {
public:
    explicit ResultKeeper(ITolvarBankPayment* payment) : payment_(payment) { Put(payment_, kPaymentProcessed); }

    // Puts the code at once when the check failed, through the given interface of the payment.
    bool Require(bool passed, long code) { return Require(passed, code, payment_); }
    bool Require(bool passed, long code, ITolvarBankPayment* through)
    {
        if (!passed) {
            valid_ = false;
            Put(through, code);
        }
        return passed;
    }
    bool Valid() const { return valid_; }

private:
    static void Put(ITolvarBankPayment* payment, long code)
    {
        // What the host makes of the code is its own business.
        if (payment)
            payment->put_ResultCode(code);
    }

    ITolvarBankPayment* payment_;
    bool valid_ = true;
};

void Trace(const char* text)
{
    platform::DebugOutput(text);
}

void RequireFile(FILE* file)
{
    if (!file)
        Raise(E_INVALIDARG);
}

// Lintrove field 6: the RTI reference when the payment is an RTI payment, else the details.
void AppendLintroveLastField(CString& record, ITolvarBankPayment* payment, ResultKeeper& result)
{
    ComPtr<ITolvarBankPayment2> rtiPayment = ComPtr<ITolvarBankPayment>(payment).As<ITolvarBankPayment2>();
    long isRti = 0;
    if (rtiPayment && FAILED(rtiPayment->get_IsRti(&isRti)))
        isRti = 0;

    if (rtiPayment && isRti != 0) {
        const HostText reference(rtiPayment.Get(), [](ITolvarBankPayment2* p, BSTR* t) { return p->get_RtiReference(t); });
        CString rti(reference.Text());
        result.Require(IsValidRtiReference(rti), kInvalidRtiReference, rtiPayment.Get());
        while (rti.GetLength() < 4)
            rti += " ";
        record += rti;
        return;
    }

    const HostText details(payment, [](ITolvarBankPayment* p, BSTR* t) { return p->get_Details(t); });
    const CString field = details.Narrow().Left(80);
    result.Require(!HoldsFieldBreak(field) && !details.LosesCharacters(), kInvalidDetails);
    record += field;
}

}  // namespace

void WriteLedgerwayHeader(FILE* file)
{
    RequireFile(file);
    std::fputs(kLedgerwayHeader, file);
    std::fputs("\n", file);
}

bool WriteLintroveRecord(FILE* file, ITolvarBankPayment* payment)
{
    RequireFile(file);
    ResultKeeper result(payment);
    CString record;

    const HostText sortCode(payment, [](ITolvarBankPayment* p, BSTR* t) { return p->get_PayeeSortCode(t); });
    const CString sortDigits = sortCode.Digits();
    result.Require(IsValidSortCode(sortDigits), kInvalidPayeeSortCode);
    record += sortDigits + ",";

    const HostText account(payment, [](ITolvarBankPayment* p, BSTR* t) { return p->get_PayeeAccountNumber(t); });
    const CString accountText = account.Narrow();
    if (!result.Require(IsValidLintroveAccountNumber(accountText), kInvalidPayeeAccountNumber))
        Trace("Invalid Account Number Length or Invalid Characters");
    record += LintroveAccountNumberField(accountText) + ",";

    const HostText name(payment, [](ITolvarBankPayment* p, BSTR* t) { return p->get_PayeeAccountName(t); });
    CString nameText = name.Narrow();
    UpperCaseLetters(nameText);
    record += nameText.Left(18) + ",";
    if (!result.Require(IsValidLintrovePayeeName(nameText) && !name.LosesCharacters(), kInvalidPayeeAccountName))
        Trace("Account Name cannot be empty");

    const double amount = ReadAmount(payment);
    const CString amountText = FormatAmount(amount);
    result.Require(IsPayableAmount(amount, amountText), kInvalidAmount);
    result.Require(FitsLintroveAmountField(amountText), kInvalidAmount);
    record += amountText.Left(11) + ",";

    // The roll number when there is one, else the payee's BACS reference.
    const HostText rollNumber(payment, [](ITolvarBankPayment* p, BSTR* t) { return p->get_PayeeRollNumber(t); });
    const bool fromRollNumber = !rollNumber.IsEmpty();
    const HostText bacsReference =
        fromRollNumber ? HostText()
                       : HostText(payment, [](ITolvarBankPayment* p, BSTR* t) { return p->get_PayeeBacsReference(t); });
    const HostText& reference = fromRollNumber ? rollNumber : bacsReference;
    CString referenceText = reference.Narrow();
    UpperCaseLetters(referenceText);
    record += referenceText.Left(18) + ",";
    if (!result.Require(IsAllowedText(referenceText) && !reference.LosesCharacters(),
                        fromRollNumber ? kInvalidPayeeRollNumber : kInvalidPayeeBacsReference))
        Trace("Bacs Reference not valid");

    AppendLintroveLastField(record, payment, result);
    std::fputs(record, file);
    return result.Valid();
}

bool WriteLedgerwayRecord(FILE* file, ITolvarBankPayment* payment, CString debitDateText, char remittanceCharacter)
{
    RequireFile(file);
    ResultKeeper result(payment);
    CString record = debitDateText + ",";

    const HostText bankRef(payment, [](ITolvarBankPayment* p, BSTR* t) { return p->get_PayeeBacsReference(t); });
    result.Require(IsValidLedgerwayBankReference(bankRef.Text(), bankRef.Length()), kInvalidPayeeBacsReference);
    record += (bankRef.Length() <= 4 ? PadWithZeros(bankRef.Narrow(), 4) : bankRef.Narrow()) + ",";

    const HostText payerAccount(payment, [](ITolvarBankPayment* p, BSTR* t) { return p->get_PayerAccountNumber(t); });
    result.Require(IsValidLedgerwayAccountNumber(payerAccount.Text(), payerAccount.Length()), kInvalidPayerAccountNumber);
    record += payerAccount.Narrow() + ",00,";

    const HostText payerSortCode(payment, [](ITolvarBankPayment* p, BSTR* t) { return p->get_PayerSortCode(t); });
    const CString payerSortDigits = payerSortCode.Digits();
    result.Require(IsValidSortCode(payerSortDigits), kInvalidPayerSortCode);
    record += payerSortDigits + ",";

    const HostText name(payment, [](ITolvarBankPayment* p, BSTR* t) { return p->get_PayeeAccountName(t); });
    const CString nameText = name.Narrow();
    result.Require(!HoldsFieldBreak(nameText) && !name.LosesCharacters(), kInvalidPayeeAccountName);
    record += nameText + ",";

    const HostText payeeAccount(payment, [](ITolvarBankPayment* p, BSTR* t) { return p->get_PayeeAccountNumber(t); });
    result.Require(IsValidLedgerwayAccountNumber(payeeAccount.Text(), payeeAccount.Length()), kInvalidPayeeAccountNumber);
    record += payeeAccount.Narrow() + ",00,";

    const HostText payeeSortCode(payment, [](ITolvarBankPayment* p, BSTR* t) { return p->get_PayeeSortCode(t); });
    const CString payeeSortDigits = payeeSortCode.Digits();
    result.Require(IsValidSortCode(payeeSortDigits), kInvalidPayeeSortCode);
    record += payeeSortDigits + ",";

    // The roll number, upper-cased, when there is one; else the payer's account name as it is.
    const HostText rollNumber(payment, [](ITolvarBankPayment* p, BSTR* t) { return p->get_PayeeRollNumber(t); });
    const bool fromRollNumber = !rollNumber.IsEmpty();
    const HostText payerName =
        fromRollNumber ? HostText()
                       : HostText(payment, [](ITolvarBankPayment* p, BSTR* t) { return p->get_PayerAccountName(t); });
    const HostText& benRefSource = fromRollNumber ? rollNumber : payerName;
    CString benRef = benRefSource.Narrow();
    if (fromRollNumber)
        UpperCaseLetters(benRef);
    benRef = benRef.Left(18);
    result.Require(!HoldsFieldBreak(benRef) && !benRefSource.LosesCharacters(),
                   fromRollNumber ? kInvalidPayeeRollNumber : kInvalidPayerAccountName);
    record += benRef + ",";

    const double amount = ReadAmount(payment);
    const CString amountText = FormatAmount(amount);
    result.Require(IsPayableAmount(amount, amountText), kInvalidAmount);
    record += amountText + ",";

    const char remittance[2] = {remittanceCharacter, '\0'};
    record += remittance;
    std::fputs(record, file);
    return result.Valid();
}
