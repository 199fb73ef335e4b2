#include "bench/bench_data.h"

#include "core/statement_columns.h"

#include <cstdio>
#include <vector>

namespace bench {

namespace {

// Payments repeat after this many, so that making one costs the host a copy and no formatting.
constexpr long kDistinctPayments = 4096;

void (*firstPaymentNotice)() = nullptr;
bool everyPaymentValid = false;
bool distinctPayees = false;

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::string Digits(unsigned long value, int width)
{
    char text[32];
    std::snprintf(text, sizeof text, "%0*lu", width, value);
    return text;
}

standin::PaymentData Template(long k, bool withFailures)
{
    static const char* const kNames[] = {
        "J. Smith & Co",
        "acme supplies ltd",
        "Northern Timber Merchants Limited",
        "R Patel",
        "Green-Field Farms",
        "M & S Haulage",
        "blue river catering",
        "T/A Hill Builders",
    };
    const unsigned long u = static_cast<unsigned long>(k);
    standin::PaymentData p;
    p.PayerSortCode = L"40-11-22";
    p.PayerAccountNumber = L"87654321";
    p.PayerAccountName = L"Acme Ltd";

    p.PayeeSortCode = Wide(Digits(10 + u % 90, 2) + "-" + Digits(u * 37 % 100, 2) + "-" + Digits(u * 11 % 100, 2));
    const unsigned long account = (u * 7919 + 12345678) % 100000000;
    // A 7-digit account passes in the Lintrove layout (zeros in front) and fails in the Ledgerway one.
    p.PayeeAccountNumber = Wide(withFailures && k % 50 == 3 ? Digits(account % 10000000, 7) : Digits(account, 8));
    p.PayeeAccountName = Wide(kNames[u % 8]);
    p.Amount = 1 + static_cast<double>(u * 104729 % 9999999) / 100;
    p.PayeeBacsReference = Wide(std::to_string(u % 10000));
    if (k % 3 == 0)
        p.PayeeRollNumber = Wide("ab/" + Digits(u, 5) + "-" + std::to_string(u % 7));
    p.Details = Wide("Invoice " + std::to_string(1000 + u) + " March");

    // The failures: a short payee sort code (both layouts), a name the Lintrove layout refuses.
    if (!withFailures)
        return p;
    if (k % 100 == 99)
        p.PayeeSortCode = L"12-34-5";
    if (k % 100 == 49)
        p.PayeeAccountName = L"O'Brien Builders";
    return p;
}

std::vector<standin::PaymentData> MakeTemplates(bool withFailures)
{
    std::vector<standin::PaymentData> made;
    made.reserve(kDistinctPayments);
    for (long k = 0; k < kDistinctPayments; ++k)
        made.push_back(Template(k, withFailures));
    return made;
}

const std::vector<standin::PaymentData>& Templates()
{
    static const std::vector<standin::PaymentData> withFailures = MakeTemplates(true);
    static const std::vector<standin::PaymentData> valid = MakeTemplates(false);
    return everyPaymentValid ? valid : withFailures;
}

}  // namespace

standin::PaymentData MakePayment(long index)
{
    if (index == 0 && firstPaymentNotice)
        firstPaymentNotice();
    const std::vector<standin::PaymentData>& templates = Templates();
    const size_t at = static_cast<size_t>(index < 0 ? 0 : index);
    if (!distinctPayees)
        return templates[at % templates.size()];
    standin::PaymentData payment = templates[at % templates.size()];
    // The refused name of the template stays, so that the same payments fail.
    if (payment.PayeeAccountName != L"O'Brien Builders")
        payment.PayeeAccountName = L"Payee " + std::to_wstring(at);
    // Each payee its own account, as real payees have: the check then finds each one known and
    // unchanged, not paid to an account another payee was paid to. The 7-digit accounts stay.
    if (payment.PayeeAccountNumber.size() == 8)
        payment.PayeeAccountNumber = Wide(Digits((static_cast<unsigned long>(at) * 7919 + 12345678) % 100000000, 8));
    return payment;
}

void MakeDistinctPayees(bool on)
{
    distinctPayees = on;
}

const char* PaymentTrace(bool lintrove, long index)
{
    const long k = (index < 0 ? 0 : index) % kDistinctPayments;
    if (lintrove && !everyPaymentValid && k % 100 == 49)
        return "Account Name cannot be empty";
    return nullptr;
}

void MakeEveryPaymentValid(bool on)
{
    everyPaymentValid = on;
    Templates();  // made now, not inside a measured run
}

void OnFirstPaymentMade(void (*notice)())
{
    Templates();  // made now, not inside a measured run
    firstPaymentNotice = notice;
}

std::string StatementLine(long number)
{
    const unsigned long u = static_cast<unsigned long>(number);
    const int month = static_cast<int>(u / 28 % 12) + 1;
    const int day = static_cast<int>(u % 28) + 1;
    char date[16], valueDate[16];
    std::snprintf(date, sizeof date, "2019-%02d-%02d", month, day);
    std::snprintf(valueDate, sizeof valueDate, "2019-%02d-%02d", month, day == 28 ? 28 : day + 1);

    const long cents = static_cast<long>(u * 7919 % 400001) - 200000;
    char amount[32];
    std::snprintf(amount, sizeof amount, "%.2f", u % 17 == 5 ? 0.0 : static_cast<double>(cents) / 100);

    const std::string reference = "REF" + std::to_string(u);
    const std::string cheque = u % 3 == 0 ? Digits(u % 1000000, 6) : std::string();
    const char* inToday = u % 2 ? "Y" : "N";
    const char* code = cents < 0 ? "DEB" : "CR";

    std::string line;
    if (u % 2 == 0) {
        const std::string details = "CARD PAYMENT, SHOP " + std::to_string(u % 5000);
        // Some banks quote the amount too.
        const std::string amountField = u % 4 == 0 ? std::string("\"") + amount + "\"" : std::string(amount);
        line = std::string("\"") + date + "\",\"" + valueDate + "\",\"" + inToday + "\"," + amountField + ",\"" +
               details + "\",\"" + code + "\",\"" + reference + "\",\"" + cheque + "\"";
    } else {
        const std::string details = "DIRECT DEBIT " + std::to_string(u % 5000);
        line = std::string(date) + "," + valueDate + "," + inToday + "," + amount + "," + details + "," + code + "," +
               reference + "," + cheque;
    }
    return line;
}

bool WriteStatementFile(const std::string& path, long count)
{
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file)
        return false;
    std::fputs(StatementColumnLine().c_str(), file);
    std::fputs("\n", file);
    for (long number = 0; number < count; ++number) {
        const std::string line = StatementLine(number);
        std::fwrite(line.data(), 1, line.size(), file);
        std::fputs("\n", file);
    }
    const bool failed = std::ferror(file) != 0;
    return std::fclose(file) == 0 && !failed;
}

}  // namespace bench
