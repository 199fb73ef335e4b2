// One payment's field set through the checks and the record text of both layouts. What must hold
// of every record, whatever the checks say: it is one line with the layout's field count (so no
// comma, carriage return or line feed inside a field) and no zero byte. Of a record that passes
// the checks: every byte is a character the module may write
// (printable ASCII, or a character of the payment's own texts, as its own byte or in the ANSI code
// page, never one made up by a conversion), and the amount field reads back to the amount rounded to pence. Any record:
// the writer returns, the result codes it puts are the layout's, a passing record puts only 0.
//
// Input: byte 0 picks the layout and RTI; bytes 1-8 the amount (a double's bits when bit 1 of byte 0
// is set, else a whole number of pence); the rest are the texts in PaymentText order, separated by
// 0x1E. In a text, 0xFF followed by two bytes is the UTF-16 unit they spell (low byte first);
// any other byte is the unit of the same value.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "payments/payment_checks.h"
#include "payments/payment_records.h"

namespace {

using Units = std::vector<platform::WideChar>;

class FuzzPayment final : public PaymentValues {
public:
    Units Texts[kPaymentTextCount];
    double Amount = 0;
    bool OffersRti = false;
    std::vector<long> Codes;
    std::vector<long> RtiCodes;

    PaymentTextView Read(PaymentText which) override
    {
        Units& text = Texts[static_cast<int>(which)];
        if (text.empty() || text.back() != 0)
            text.push_back(0);
        return {text.data(), text.size() - 1};
    }
    double ReadAmount() override { return Amount; }
    bool IsRtiPayment() override { return OffersRti; }
    void PutResultCode(long code) override { Codes.push_back(code); }
    void PutRtiResultCode(long code) override { RtiCodes.push_back(code); }
};

void Parse(const uint8_t* data, size_t size, FuzzPayment& payment, int* layout)
{
    const uint8_t mode = size > 0 ? data[0] : 0;
    *layout = mode & 1;
    payment.OffersRti = (mode & 4) != 0;
    uint64_t bits = 0;
    for (size_t i = 1; i < 9 && i < size; ++i)
        bits |= static_cast<uint64_t>(data[i]) << (8 * (i - 1));
    if (mode & 2) {
        std::memcpy(&payment.Amount, &bits, sizeof bits);
    } else {
        payment.Amount = static_cast<double>(static_cast<int64_t>(bits % 100000000000ULL)) / 100;
        if (mode & 8)
            payment.Amount = -payment.Amount;
    }
    int field = 0;
    for (size_t i = 9; i < size && field < kPaymentTextCount; ++i) {
        if (data[i] == 0x1E) {
            ++field;
        } else if (data[i] == 0xFF && i + 2 < size) {
            payment.Texts[field].push_back(static_cast<platform::WideChar>(data[i + 1] | (data[i + 2] << 8)));
            i += 2;
        } else {
            payment.Texts[field].push_back(static_cast<platform::WideChar>(data[i]));
        }
    }
}

std::string WriteRecord(FuzzPayment& payment, int layout, bool* valid)
{
    std::FILE* file = std::tmpfile();
    if (!file)
        std::abort();
    {
        PaymentFileWriter writer(file);
        *valid = layout == 0 ? WriteLintroveRecord(writer, payment)
                             : WriteLedgerwayRecord(writer, payment, CString("07/12/2026"), 'Y');
        writer.Finish();
    }
    std::string bytes;
    std::rewind(file);
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, got);
    std::fclose(file);
    // Each record is exactly one line, ended with CR LF.
    if (bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0)
        std::abort();
    return bytes.substr(0, bytes.size() - 2);
}

std::vector<std::string> Fields(const std::string& record)
{
    std::vector<std::string> fields(1);
    for (char c : record) {
        if (c == ',')
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzPayment payment;
    int layout = 0;
    Parse(data, size, payment, &layout);
    std::set<platform::WideChar> hostUnits;
    for (const Units& text : payment.Texts)
        hostUnits.insert(text.begin(), text.end());

    bool valid = false;
    const std::string record = WriteRecord(payment, layout, &valid);

    // The first code is always 0; any other is one of the module's codes.
    if (payment.Codes.empty() || payment.Codes.front() != kPaymentProcessed)
        std::abort();
    for (size_t i = 1; i < payment.Codes.size(); ++i)
        if (payment.Codes[i] < kBatchRejected || payment.Codes[i] > kLastResultCode)
            std::abort();
    for (long code : payment.RtiCodes)
        if (code != kInvalidRtiReference)
            std::abort();
    if (valid != (payment.Codes.size() == 1 && payment.RtiCodes.empty()))
        std::abort();

    const std::vector<std::string> fields = Fields(record);
    if (fields.size() != (layout == 0 ? 6u : 12u))
        std::abort();
    if (record.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        std::abort();
    if (!valid)
        return 0;

    for (unsigned char c : record) {
        if (c >= 0x20 && c < 0x7F && c != '?')
            continue;
        // The byte's own value (the narrow texts), or the ANSI code page's character for it (the
        // RTI reference, converted through the code page).
        platform::WideChar unit = 0;
        const char byte = static_cast<char>(c);
        const bool ansi = platform::AnsiToWide(&byte, 1, &unit, 1) == 1 && hostUnits.count(unit);
        if (!hostUnits.count(static_cast<platform::WideChar>(c)) && !ansi)
            std::abort();  // a byte the payment's texts do not hold: a character lost or replaced
    }

    const std::string& amountField = fields[layout == 0 ? 3 : 10];
    char* end = nullptr;
    const double readBack = std::strtod(amountField.c_str(), &end);
    if (amountField.empty() || *end != '\0')
        std::abort();
    if (!(payment.Amount > 0) || std::fabs(readBack - payment.Amount) > 0.005000001 + payment.Amount * 4e-16)
        std::abort();
    const double pence = readBack * 100;
    if (readBack < 1e13 && std::fabs(pence - std::nearbyint(pence)) > 1e-3)
        std::abort();
    return 0;
}
