#include "payments/payment_records.h"

#include <cstring>
#include <string_view>

#include "payments/payment_checks.h"
#include "payments/payment_format.h"
#include "settings/narrow_text.h"
#include "support/copy_bytes.h"
#include "support/hresult.h"

const char kLedgerwayHeader[] =
    "DebitDate,BankRef,DBAcNo,DBAcType,DBSC,BenName,BenAcNo,BenAcType,BenSC,BenRef,Amount,RemAdvReq";

namespace {

// One text as the payment gave it, read once: its whole length, whatever units it holds.
class GivenText {
public:
    GivenText() = default;
    GivenText(PaymentValues& payment, PaymentText which) : view_(payment.Read(which)) {}
    const platform::WideChar* Text() const { return view_.Text; }
    std::size_t Length() const { return view_.Length; }
    bool IsEmpty() const { return Length() == 0; }
    // A NUL would end the narrow text early and hide what follows it from the checks, wherever it
    // stands.
    bool HoldsNul() const { return ::HoldsNul(Text(), Length()); }
    // Characters above U+00FF would be lost in the narrow text; so would anything after a NUL.
    bool LosesCharacters() const { return HoldsUnitTheNarrowTextLoses(Text(), Length()); }
    // The same for the part of the text that goes into the file, its first count characters (a
    // NUL anywhere still counts): the narrow text holds one byte for each character the check lets
    // through.
    bool LosesCharactersInFirst(std::size_t count) const
    {
        return Length() <= count
                   ? LosesCharacters()
                   : HoldsUnitTheNarrowTextLoses(Text(), count) || ::HoldsNul(Text() + count, Length() - count);
    }

private:
    PaymentTextView view_{L"", 0};
};

// A converted host text of the record's own, so that the next conversion cannot overwrite it.
class FieldText {
public:
    static FieldText Narrow(const GivenText& text)
    {
        FieldText field;
        field.length_ = ToNarrowTextInto(text.Text(), text.Length(), field.text_);
        return field;
    }
    static FieldText Digits(const GivenText& text)
    {
        FieldText field;
        field.length_ = ToDigitTextInto(text.Text(), text.Length(), field.text_);
        return field;
    }

    const char* Text() const { return text_; }
    std::size_t Length() const { return length_; }
    std::string_view View() const { return {text_, length_}; }
    void UpperCase()
    {
        for (std::size_t i = 0; i < length_; ++i) {
            if (text_[i] >= 'a' && text_[i] <= 'z')
                text_[i] = static_cast<char>(text_[i] - 'a' + 'A');
        }
    }
    // Keeps the first count characters.
    void Cut(std::size_t count)
    {
        if (count < length_) {
            length_ = count;
            text_[length_] = '\0';
        }
    }

private:
    FieldText() = default;

    char text_[kNarrowTextMaxChars + 1];
    std::size_t length_ = 0;
};

// One record on its way to the file: gathered in a fixed buffer and written with one call. A record
// longer than the buffer (only an RTI reference has no bound) goes out in pieces. The host's texts
// go in as fields: each comma, CR and LF in them becomes a space, so that whatever a text holds the
// record stays one line of its layout's fields (the checks have already seen the text as it came).
class RecordWriter {
public:
    explicit RecordWriter(PaymentFileWriter& file) : file_(file) {}
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // The record's own text: separators, constants, the amount.
    void Add(const char* text, std::size_t length) { Put(text, length, false); }
    void Add(const char* text) { Add(text, std::strlen(text)); }
    // A field's text from the host.
    void AddField(const char* text, std::size_t length) { Put(text, length, true); }
    void AddField(const FieldText& text) { AddField(text.Text(), text.Length()); }
    // The first count characters of the text (all of a shorter one).
    void AddFirst(const FieldText& text, std::size_t count)
    {
        AddField(text.Text(), text.Length() < count ? text.Length() : count);
    }
    // Zeros in front of text up to width characters; a longer text goes whole.
    void AddZeroPadded(const char* text, std::size_t length, std::size_t width)
    {
        static const char kZeros[] = "00000000";
        for (std::size_t missing = length < width ? width - length : 0; missing > 0;) {
            const std::size_t piece = missing < sizeof kZeros - 1 ? missing : sizeof kZeros - 1;
            Add(kZeros, piece);
            missing -= piece;
        }
        AddField(text, length);
    }
    // The amount field: written, and noted for the file's total as written.
    void AddAmount(const char* text, std::size_t length)
    {
        Add(text, length);
        file_.NoteAmount(text, length);
    }
    // Writes what is left of the record and ends its line.
    void Finish(bool valid)
    {
        file_.WriteRecordLine(buffer_, used_, valid);
        used_ = 0;
    }

private:
    void Put(const char* text, std::size_t length, bool field)
    {
        while (length > 0) {
            if (used_ == sizeof buffer_)
                Flush();
            const std::size_t room = sizeof buffer_ - used_;
            const std::size_t piece = length < room ? length : room;
            CopyBytes(buffer_ + used_, text, piece);
            if (field) {
                for (std::size_t i = used_; i < used_ + piece; ++i) {
                    if (IsFieldBreak(buffer_[i]))
                        buffer_[i] = ' ';
                }
            }
            used_ += piece;
            text += piece;
            length -= piece;
        }
    }
    void Flush()
    {
        file_.WriteRecordBytes(buffer_, used_);
        used_ = 0;
    }

    PaymentFileWriter& file_;
    // Every field but an RTI reference is bounded: twelve converted texts of 255 bytes at most.
    char buffer_[4096];
    std::size_t used_ = 0;
};

// The payment's result code and the record's valid flag.
class ResultKeeper {
public:
    explicit ResultKeeper(PaymentValues& payment) : payment_(payment) { payment_.PutResultCode(kPaymentProcessed); }

    // Puts the code at once when the check failed.
    bool Require(bool passed, long code)
    {
        if (!passed) {
            valid_ = false;
            payment_.PutResultCode(code);
        }
        return passed;
    }
    bool RequireRti(bool passed, long code)
    {
        if (!passed) {
            valid_ = false;
            payment_.PutRtiResultCode(code);
        }
        return passed;
    }
    bool Valid() const { return valid_; }

private:
    PaymentValues& payment_;
    bool valid_ = true;
};

void Trace(const char* text)
{
    platform::DebugOutput(text);
}

// Lintrove field 6: the RTI reference when the payment is an RTI payment, else the details.
// Whether the ANSI text holds exactly the host's characters, so that the code page replaced or lost
// none of them (a character it cannot hold would go into the file as another one).
bool KeepsEveryCharacter(const GivenText& host, const CString& ansi)
{
    constexpr int kMostUnits = 16;  // more than any reference that can pass
    platform::WideChar back[kMostUnits];
    if (host.Length() > kMostUnits || ansi.GetLength() > kMostUnits)
        return false;
    const int units = ansi.GetLength() == 0 ? 0 : platform::AnsiToWide(ansi, ansi.GetLength(), back, kMostUnits);
    return static_cast<std::size_t>(units) == host.Length() &&
           std::memcmp(back, host.Text(), host.Length() * sizeof(platform::WideChar)) == 0;
}

void AddLintroveLastField(RecordWriter& record, PaymentValues& payment, ResultKeeper& result)
{
    if (payment.IsRtiPayment()) {
        const GivenText reference(payment, PaymentText::RtiReference);
        const CString rti(reference.Text());
        result.RequireRti(IsValidRtiReference(rti) && !reference.HoldsNul() && KeepsEveryCharacter(reference, rti),
                          kInvalidRtiReference);
        // Left-justified in at least four characters.
        record.AddField(rti, static_cast<std::size_t>(rti.GetLength()));
        for (int length = rti.GetLength(); length < 4; ++length)
            record.Add(" ", 1);
        return;
    }

    const GivenText details(payment, PaymentText::Details);
    FieldText field = FieldText::Narrow(details);
    constexpr std::size_t kDetailsLength = 80;
    field.Cut(kDetailsLength);
    result.Require(!HoldsFieldBreak(field.View()) && !details.LosesCharactersInFirst(kDetailsLength), kInvalidDetails);
    record.AddField(field);
}

// A Ledgerway account: its number, the account type "00" and its sort code, each field followed
// by a comma. The payer's and the payee's differ only in their sources and result codes.
struct LedgerwayAccount {
    PaymentText Number;
    PaymentText SortCode;
    long InvalidNumber;
    long InvalidSortCode;
};
constexpr LedgerwayAccount kLedgerwayPayer{PaymentText::PayerAccountNumber, PaymentText::PayerSortCode,
                                           kInvalidPayerAccountNumber, kInvalidPayerSortCode};
constexpr LedgerwayAccount kLedgerwayPayee{PaymentText::PayeeAccountNumber, PaymentText::PayeeSortCode,
                                           kInvalidPayeeAccountNumber, kInvalidPayeeSortCode};

void AddLedgerwayAccount(RecordWriter& record, PaymentValues& payment, ResultKeeper& result,
                         const LedgerwayAccount& account)
{
    const GivenText number(payment, account.Number);
    result.Require(IsValidLedgerwayAccountNumber(number.Text(), number.Length()), account.InvalidNumber);
    record.AddField(FieldText::Narrow(number));
    record.Add(",00,", 4);

    const GivenText sortCode(payment, account.SortCode);
    const FieldText sortDigits = FieldText::Digits(sortCode);
    result.Require(IsValidSortCode(sortDigits.View()) && !sortCode.HoldsNul(), account.InvalidSortCode);
    record.AddField(sortDigits);
    record.Add(",", 1);
}

}  // namespace

void WriteLedgerwayHeader(PaymentFileWriter& file)
{
    file.Write(kLedgerwayHeader, sizeof kLedgerwayHeader - 1);
    file.EndLine();
}

bool WriteLintroveRecord(PaymentFileWriter& file, PaymentValues& payment)
{
    ResultKeeper result(payment);
    RecordWriter record(file);

    const GivenText sortCode(payment, PaymentText::PayeeSortCode);
    const FieldText sortDigits = FieldText::Digits(sortCode);
    result.Require(IsValidSortCode(sortDigits.View()) && !sortCode.HoldsNul(), kInvalidPayeeSortCode);
    record.AddField(sortDigits);
    record.Add(",", 1);

    const GivenText account(payment, PaymentText::PayeeAccountNumber);
    const FieldText accountText = FieldText::Narrow(account);
    if (!result.Require(IsValidLintroveAccountNumber(accountText.View()) && !account.LosesCharacters(),
                        kInvalidPayeeAccountNumber))
        Trace("Invalid Account Number Length or Invalid Characters");
    // Trailing spaces dropped, zeros in front up to 8 characters.
    record.AddZeroPadded(accountText.Text(), LengthWithoutTrailingSpaces(accountText.View()), 8);
    record.Add(",", 1);

    const GivenText name(payment, PaymentText::PayeeAccountName);
    FieldText nameText = FieldText::Narrow(name);
    nameText.UpperCase();
    record.AddFirst(nameText, 18);
    record.Add(",", 1);
    if (!result.Require(IsValidLintrovePayeeName(nameText.View()) && !name.LosesCharacters(), kInvalidPayeeAccountName))
        Trace("Account Name cannot be empty");

    const double amount = payment.ReadAmount();
    char amountText[kAmountTextSize];
    const int amountLength = FormatAmountInto(amount, amountText);
    const std::string_view amountView(amountText, static_cast<std::size_t>(amountLength));
    result.Require(IsPayableAmount(amount, amountView), kInvalidAmount);
    result.Require(FitsLintroveAmountField(amountView), kInvalidAmount);
    record.AddAmount(amountText, static_cast<std::size_t>(amountLength < 11 ? amountLength : 11));
    record.Add(",", 1);

    // The roll number when there is one, else the payee's BACS reference.
    const GivenText rollNumber(payment, PaymentText::PayeeRollNumber);
    const bool fromRollNumber = !rollNumber.IsEmpty();
    const GivenText bacsReference = fromRollNumber ? GivenText() : GivenText(payment, PaymentText::PayeeBacsReference);
    const GivenText& reference = fromRollNumber ? rollNumber : bacsReference;
    FieldText referenceText = FieldText::Narrow(reference);
    referenceText.UpperCase();
    record.AddFirst(referenceText, 18);
    record.Add(",", 1);
    if (!result.Require(IsAllowedText(referenceText.View()) && !reference.LosesCharacters(),
                        fromRollNumber ? kInvalidPayeeRollNumber : kInvalidPayeeBacsReference))
        Trace("Bacs Reference not valid");

    AddLintroveLastField(record, payment, result);
    record.Finish(result.Valid());
    return result.Valid();
}

bool WriteLedgerwayRecord(PaymentFileWriter& file, PaymentValues& payment, const CString& debitDateText,
                          char remittanceCharacter)
{
    ResultKeeper result(payment);
    RecordWriter record(file);
    record.Add(debitDateText, static_cast<std::size_t>(debitDateText.GetLength()));
    record.Add(",", 1);

    const GivenText bankRef(payment, PaymentText::PayeeBacsReference);
    result.Require(IsValidLedgerwayBankReference(bankRef.Text(), bankRef.Length()), kInvalidPayeeBacsReference);
    const FieldText bankRefText = FieldText::Narrow(bankRef);
    if (bankRef.Length() <= 4)
        record.AddZeroPadded(bankRefText.Text(), bankRefText.Length(), 4);
    else
        record.AddField(bankRefText);
    record.Add(",", 1);

    AddLedgerwayAccount(record, payment, result, kLedgerwayPayer);

    const GivenText name(payment, PaymentText::PayeeAccountName);
    const FieldText nameText = FieldText::Narrow(name);
    result.Require(!HoldsFieldBreak(nameText.View()) && !name.LosesCharacters(), kInvalidPayeeAccountName);
    record.AddField(nameText);
    record.Add(",", 1);

    AddLedgerwayAccount(record, payment, result, kLedgerwayPayee);

    // The roll number, upper-cased, when there is one; else the payer's account name as it is.
    const GivenText rollNumber(payment, PaymentText::PayeeRollNumber);
    const bool fromRollNumber = !rollNumber.IsEmpty();
    const GivenText payerName = fromRollNumber ? GivenText() : GivenText(payment, PaymentText::PayerAccountName);
    const GivenText& benRefSource = fromRollNumber ? rollNumber : payerName;
    FieldText benRef = FieldText::Narrow(benRefSource);
    if (fromRollNumber)
        benRef.UpperCase();
    constexpr std::size_t kBenRefLength = 18;
    benRef.Cut(kBenRefLength);
    result.Require(!HoldsFieldBreak(benRef.View()) && !benRefSource.LosesCharactersInFirst(kBenRefLength),
                   fromRollNumber ? kInvalidPayeeRollNumber : kInvalidPayerAccountName);
    record.AddField(benRef);
    record.Add(",", 1);

    const double amount = payment.ReadAmount();
    char amountText[kAmountTextSize];
    const int amountLength = FormatAmountInto(amount, amountText);
    result.Require(IsPayableAmount(amount, std::string_view(amountText, static_cast<std::size_t>(amountLength))),
                   kInvalidAmount);
    record.AddAmount(amountText, static_cast<std::size_t>(amountLength));
    record.Add(",", 1);

    // A zero character ends the record's text, as it would end any other text.
    if (remittanceCharacter != '\0')
        record.Add(&remittanceCharacter, 1);
    record.Finish(result.Valid());
    return result.Valid();
}
