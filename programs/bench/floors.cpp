#include "bench/floors.h"

#include <io.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/com_ptr.h"
#include "core/statement_columns.h"
#include "support/platform.h"

namespace bench {

namespace {

// ---------------------------------------------------------------------------------------------
// Export

// Host texts become at most this many bytes: the characters up to U+00FF, ending before the first
// one above it or the first zero.
constexpr size_t kNarrowMax = 255;

struct Narrow {
    char Text[kNarrowMax + 1];
    size_t Length = 0;

    explicit Narrow(const Bstr& wide)
    {
        const wchar_t* text = wide.Text();
        while (Length < kNarrowMax && text[Length] != 0 && static_cast<unsigned>(text[Length]) <= 0xFF) {
            Text[Length] = static_cast<char>(text[Length]);
            ++Length;
        }
        Text[Length] = '\0';
    }
};

constexpr size_t kWhole = ~size_t{0};

// "%.2f" of the amount: its exact binary value rounded to hundredths, ties to even. Amounts below
// 2^53 (all real ones) in integer arithmetic, others by the C library.
size_t AmountText(double amount, char (&text)[400])
{
    const double magnitude = std::fabs(amount);
    if (!(magnitude < 9007199254740992.0)) {
        const int length = std::snprintf(text, sizeof text, "%.2f", amount);
        return length > 0 ? static_cast<size_t>(length) : 0;
    }
    int exponent = 0;
    const double fraction = std::frexp(magnitude, &exponent);
    const std::uint64_t scaled = static_cast<std::uint64_t>(fraction * 9007199254740992.0) * 100;
    const int shift = 53 - exponent;
    std::uint64_t hundredths = shift == 0 ? scaled : 0;
    if (shift > 0 && shift < 62) {
        hundredths = scaled >> shift;
        const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        if (rest > half || (rest == half && (hundredths & 1)))
            ++hundredths;
    }
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + hundredths % 10);
        hundredths /= 10;
    } while (hundredths);
    while (count < 3)
        digits[count++] = '0';
    size_t length = 0;
    if (std::signbit(amount))
        text[length++] = '-';
    for (int i = count - 1; i >= 2; --i)
        text[length++] = digits[i];
    text[length++] = '.';
    text[length++] = digits[1];
    text[length++] = digits[0];
    return length;
}

// One record, built in place and written with one call.
class Record {
public:
    void Add(const char* text, size_t length)
    {
        if (length > sizeof data_ - used_)
            length = sizeof data_ - used_;
        std::memcpy(data_ + used_, text, length);
        used_ += length;
    }
    void Add(const char* text) { Add(text, std::strlen(text)); }
    void Add(char c) { Add(&c, 1); }
    void AddUpper(const char* text, size_t length)
    {
        for (size_t i = 0; i < length && used_ < sizeof data_; ++i) {
            const char c = text[i];
            data_[used_++] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        }
    }
    void AddDigits(const Narrow& text)
    {
        for (size_t i = 0; i < text.Length; ++i) {
            if (text.Text[i] >= '0' && text.Text[i] <= '9')
                Add(text.Text[i]);
        }
    }
    void AddZeroPadded(const char* text, size_t length, size_t width)
    {
        for (size_t i = length; i < width; ++i)
            Add('0');
        Add(text, length);
    }
    void AddAmount(double amount, size_t most = kWhole)
    {
        char text[400];
        const size_t length = AmountText(amount, text);
        Add(text, length < most ? length : most);
    }
    void WriteLine(FILE* file)
    {
        Add('\n');
        std::fwrite(data_, 1, used_, file);
        used_ = 0;
    }

private:
    char data_[4096];
    size_t used_ = 0;
};

template <class Getter>
Bstr Get(ITolvarBankPayment* payment, Getter getter)
{
    Bstr text;
    (payment->*getter)(text.Put());
    return text;
}

size_t Least(size_t length, size_t most)
{
    return length < most ? length : most;
}

void LintroveRecord(ITolvarBankPayment* payment, Record& record)
{
    const Narrow sortCode(Get(payment, &ITolvarBankPayment::get_PayeeSortCode));
    record.AddDigits(sortCode);
    record.Add(',');

    const Narrow account(Get(payment, &ITolvarBankPayment::get_PayeeAccountNumber));
    size_t accountLength = account.Length;
    while (accountLength > 0 && account.Text[accountLength - 1] == ' ')
        --accountLength;
    record.AddZeroPadded(account.Text, accountLength, 8);
    record.Add(',');

    const Narrow name(Get(payment, &ITolvarBankPayment::get_PayeeAccountName));
    record.AddUpper(name.Text, Least(name.Length, 18));
    record.Add(',');

    double amount = 0;
    payment->get_Amount(&amount);
    record.AddAmount(amount, 11);
    record.Add(',');

    Bstr reference = Get(payment, &ITolvarBankPayment::get_PayeeRollNumber);
    if (reference.Length() == 0)
        reference = Get(payment, &ITolvarBankPayment::get_PayeeBacsReference);
    const Narrow referenceText(reference);
    record.AddUpper(referenceText.Text, Least(referenceText.Length, 18));
    record.Add(',');

    ComPtr<ITolvarBankPayment2> rti;
    payment->QueryInterface(IID_ITolvarBankPayment2, rti.PutVoid());
    long isRti = 0;
    if (rti)
        rti->get_IsRti(&isRti);
    if (rti && isRti) {
        Bstr wide;
        rti->get_RtiReference(wide.Put());
        char text[1024] = {};
        const int length =
            platform::WideToAnsi(wide.Text(), static_cast<int>(wide.Length()), text, static_cast<int>(sizeof text - 1));
        record.Add(text, static_cast<size_t>(length > 0 ? length : 0));
        for (int i = length; i < 4; ++i)
            record.Add(' ');
        return;
    }
    const Narrow details(Get(payment, &ITolvarBankPayment::get_Details));
    record.Add(details.Text, Least(details.Length, 80));
}

void LedgerwayRecord(ITolvarBankPayment* payment, const char* debitDateText, char remittance, Record& record)
{
    record.Add(debitDateText);
    record.Add(',');

    const Bstr bankRef = Get(payment, &ITolvarBankPayment::get_PayeeBacsReference);
    const Narrow bankRefText(bankRef);
    if (bankRef.Length() <= 4)
        record.AddZeroPadded(bankRefText.Text, bankRefText.Length, 4);
    else
        record.Add(bankRefText.Text, bankRefText.Length);
    record.Add(',');

    const Narrow payerAccount(Get(payment, &ITolvarBankPayment::get_PayerAccountNumber));
    record.Add(payerAccount.Text, payerAccount.Length);
    record.Add(",00,");

    const Narrow payerSortCode(Get(payment, &ITolvarBankPayment::get_PayerSortCode));
    record.AddDigits(payerSortCode);
    record.Add(',');

    const Narrow name(Get(payment, &ITolvarBankPayment::get_PayeeAccountName));
    record.Add(name.Text, name.Length);
    record.Add(',');

    const Narrow payeeAccount(Get(payment, &ITolvarBankPayment::get_PayeeAccountNumber));
    record.Add(payeeAccount.Text, payeeAccount.Length);
    record.Add(",00,");

    const Narrow payeeSortCode(Get(payment, &ITolvarBankPayment::get_PayeeSortCode));
    record.AddDigits(payeeSortCode);
    record.Add(',');

    const Bstr roll = Get(payment, &ITolvarBankPayment::get_PayeeRollNumber);
    if (roll.Length() != 0) {
        const Narrow rollText(roll);
        record.AddUpper(rollText.Text, Least(rollText.Length, 18));
    } else {
        const Narrow payerName(Get(payment, &ITolvarBankPayment::get_PayerAccountName));
        record.Add(payerName.Text, Least(payerName.Length, 18));
    }
    record.Add(',');

    double amount = 0;
    payment->get_Amount(&amount);
    record.AddAmount(amount);
    record.Add(',');
    record.Add(remittance);
}

// ---------------------------------------------------------------------------------------------
// Import

constexpr int kStatementFields = kStatementColumnCount;

struct Field {
    const char* Text = "";
    size_t Length = 0;

    void StripQuotes()
    {
        if (Length >= 2 && Text[0] == '"' && Text[Length - 1] == '"') {
            ++Text;
            Length -= 2;
        }
    }
};

// Cuts the line at commas outside quotes; false when it holds fewer than eight fields.
bool CutFields(const char* line, Field (&fields)[kStatementFields])
{
    int field = 0;
    bool quoted = false;
    const char* start = line;
    for (const char* p = line;; ++p) {
        if (*p == '"') {
            quoted = !quoted;
        } else if (*p == '\0' || (*p == ',' && !quoted)) {
            if (field < kStatementFields)
                fields[field] = Field{start, static_cast<size_t>(p - start)};
            ++field;
            if (*p == '\0')
                break;
            start = p + 1;
        }
    }
    return field >= kStatementFields;
}

int LeadingNumber(const char*& p, const char* end)
{
    int value = 0;
    while (p < end && *p >= '0' && *p <= '9')
        value = value * 10 + (*p++ - '0');
    return value;
}

// "yyyy-mm-dd" as an OLE Automation date; 0 for anything else.
double OleDate(Field field)
{
    field.StripQuotes();
    const char* p = field.Text;
    const char* end = field.Text + field.Length;
    const int year = LeadingNumber(p, end);
    if (p == end || *p++ != '-')
        return 0;
    const int month = LeadingNumber(p, end);
    if (p == end || *p++ != '-')
        return 0;
    const int day = LeadingNumber(p, end);
    if (month < 1 || month > 12 || day < 1 || day > 31)
        return 0;
    // Days from 1 March of year 0, minus those of 30 December 1899.
    const int y = month <= 2 ? year - 1 : year;
    const int era = y / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<double>(era * 146097 + dayOfEra - 693899);
}

double Amount(Field field)
{
    field.StripQuotes();
    double value = 0;
    if (std::from_chars(field.Text, field.Text + field.Length, value).ec != std::errc())
        return 0;
    return value;
}

Bstr WideText(Field field)
{
    field.StripQuotes();
    const int length = static_cast<int>(field.Length);
    const int wide = length ? platform::AnsiToWide(field.Text, length, nullptr, 0) : 0;
    Bstr text = Bstr::Attach(SysAllocStringLen(nullptr, static_cast<UINT>(wide)));
    if (wide && text.Get())
        platform::AnsiToWide(field.Text, length, text.Get(), wide);
    return text;
}

}  // namespace

bool FloorExport(ITolvarBankPayments* payments, Layout layout, const char* debitDateText, char remittance,
                 TracePlan traces, const std::string& path)
{
    // The module's file is whole or absent: written beside its place, flushed to the disk, closed
    // and moved over it. The floor does the same, so the ratio measures the records, not the disk.
    const std::string unfinished = path + ".partial";
    FILE* file = std::fopen(unfinished.c_str(), "w");
    if (!file)
        return false;
    Record record;
    if (layout == Layout::Ledgerway) {
        record.Add("DebitDate,BankRef,DBAcNo,DBAcType,DBSC,BenName,BenAcNo,BenAcType,BenSC,BenRef,Amount,RemAdvReq");
        record.WriteLine(file);
    }
    long count = 0;
    payments->get_Count(&count);
    for (long index = 0; index < count; ++index) {
        ComPtr<ITolvarBankPayment> payment;
        if (FAILED(payments->Item(index, payment.Put())) || !payment)
            break;
        payment->put_ResultCode(0);
        if (const char* trace = traces(layout == Layout::Lintrove, index))
            OutputDebugStringA(trace);
        if (layout == Layout::Ledgerway)
            LedgerwayRecord(payment.Get(), debitDateText, remittance, record);
        else
            LintroveRecord(payment.Get(), record);
        record.WriteLine(file);
    }
    bool failed = std::ferror(file) != 0 || std::fflush(file) != 0;
    failed = !FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) || failed;
    failed = std::fclose(file) != 0 || failed;
    return !failed && MoveFileExA(unfinished.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool FloorImport(ITolvarBankStatement* statement, const std::string& path, long* lines)
{
    *lines = 0;
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file)
        return false;
    char line[1024];
    OutputDebugStringA("ReadFieldNamesHeader");
    if (!std::fgets(line, sizeof line, file)) {
        std::fclose(file);
        return false;
    }
    statement->Reset();
    statement->put_Balance(0);
    long sequence = 1;
    while (std::fgets(line, sizeof line, file)) {
        line[std::strcspn(line, "\n")] = '\0';
        Field fields[kStatementFields];
        if (!CutFields(line, fields))
            break;
        ComPtr<ITolvarBankTransaction> transaction;
        statement->AddTransaction(transaction.Put());
        if (!transaction)
            break;
        VARIANT number;
        V_VT(&number) = VT_I4;
        V_I4(&number) = sequence++;
        transaction->put_Sequence(&number);
        const double amount = Amount(fields[3]);
        transaction->put_Amount(amount);
        transaction->put_Receipt(amount < 0 ? 0 : 1);
        transaction->put_Date(OleDate(fields[0]));
        const Bstr details = WideText(fields[4]);
        transaction->put_Details(details.Get());
        const Bstr cheque = WideText(fields[7]);
        transaction->put_Reference(cheque.Get());
        if (cheque.Length() > 0)
            transaction->put_ChequeNumber(cheque.Get());
        ++*lines;
    }
    std::fclose(file);
    return true;
}

}  // namespace bench
