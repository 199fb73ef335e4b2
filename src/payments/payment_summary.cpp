#include "payments/payment_summary.h"

#include <cstring>
#include <initializer_list>
#include <string_view>

namespace {

// The summary is built by appending in place: a run lists up to a thousand lines.
void Append(std::string& text, std::initializer_list<std::string_view> parts)
{
    for (const std::string_view part : parts)
        text.append(part.data(), part.size());
}

void Line(std::string& text, std::initializer_list<std::string_view> parts)
{
    Append(text, parts);
    text += "\r\n";
}

// DD/MM/YYYY for YYYY-MM-DD, else as it is.
void AppendDate(std::string& text, const std::string& date)
{
    if (date.size() != 10) {
        text += date;
        return;
    }
    const std::string_view iso = date;
    Append(text, {iso.substr(8, 2), "/", iso.substr(5, 2), "/", iso.substr(0, 4)});
}

void AppendDetails(std::string& text, const PayeeDetails& details)
{
    text += "sort code ";
    if (details.SortCode.empty())
        text += "(none)";
    else if (details.SortCode.size() == 6)
        Append(text,
               {std::string_view(details.SortCode).substr(0, 2), "-", std::string_view(details.SortCode).substr(2, 2),
                "-", std::string_view(details.SortCode).substr(4, 2)});
    else
        text += details.SortCode;
    Append(text, {", account ", details.AccountNumber.empty() ? std::string_view("(none)") : details.AccountNumber});
    if (!details.RollNumber.empty())
        Append(text, {", roll number ", details.RollNumber});
}

}  // namespace

std::string FormatPence(std::int64_t pence)
{
    const bool negative = pence < 0;
    // In unsigned arithmetic the most negative value has its magnitude too.
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(pence) : static_cast<std::uint64_t>(pence);
    const unsigned fraction = static_cast<unsigned>(magnitude % 100);
    magnitude /= 100;
    std::string whole = std::to_string(magnitude);
    std::string grouped;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0)
            grouped += ',';
        grouped += whole[i];
    }
    char decimals[4] = {'.', static_cast<char>('0' + fraction / 10), static_cast<char>('0' + fraction % 10), '\0'};
    return (negative ? "-" : "") + grouped + decimals;
}

bool PenceFromAmountText(const char* text, std::int64_t* pence)
{
    if (!text || !pence)
        return false;
    const bool negative = *text == '-';
    if (negative)
        ++text;
    const char* point = std::strchr(text, '.');
    if (!point || point == text || std::strlen(point) != 3)
        return false;
    // 18 digits of pounds stay well inside 63 bits with the pence.
    if (point - text > 16)
        return false;
    std::int64_t value = 0;
    for (const char* c = text; *c; ++c) {
        if (c == point)
            continue;
        if (*c < '0' || *c > '9')
            return false;
        value = value * 10 + (*c - '0');
    }
    *pence = negative ? -value : value;
    return true;
}

std::string ShowSortCode(const std::string& digits)
{
    if (digits.size() != 6)
        return digits;
    return digits.substr(0, 2) + "-" + digits.substr(2, 2) + "-" + digits.substr(4, 2);
}

std::string BuildSummaryText(const SummaryFacts& facts)
{
    std::string text;
    text.reserve(1024 + 128 * (facts.Failures.size() + 2 * facts.PayeesToCheck.size()));
    Line(text, {"Payment file: ", facts.FilePath});
    Line(text, {"Layout: ", facts.Layout});
    if (!facts.DebitDate.empty())
        Line(text, {"Debit date: ", facts.DebitDate});
    Line(text, {"Number of payments: ", std::to_string(facts.Count)});
    Line(text, {"Total: ", FormatPence(facts.TotalPence),
                facts.TotalExact ? "" : " (not exact: an amount in the file is not a sum of money)"});
    if (facts.FailedCount == 0) {
        Line(text, {"Every payment passed its checks."});
    } else {
        Line(text, {"Payments that failed a check: ", std::to_string(facts.FailedCount),
                    " (they are in the file all the same; correct them in your accounts and export again)"});
        for (const SummaryFailure& failure : facts.Failures)
            Line(text, {"    Payment ", std::to_string(failure.Number), ", ", failure.Name, ": ", failure.ResultText});
        if (static_cast<std::size_t>(facts.FailedCount) > facts.Failures.size())
            Line(text,
                 {"    and ", std::to_string(facts.FailedCount - static_cast<long>(facts.Failures.size())), " more"});
    }
    if (!facts.LogProblem.empty())
        Line(text, {"The export log cannot be written: ", facts.LogProblem, " This file will not be recorded in it."});
    Line(text, {""});
    Line(text,
         {"Compare the number of payments and the total with your bank's upload page before you confirm the upload."});
    Line(text,
         {"Confirm any changed bank details with the payee, on a telephone number you already hold, before you pay."});

    switch (facts.Payees) {
    case SummaryFacts::Check::Off:
        return text;
    case SummaryFacts::Check::NothingEarlier:
        Line(text, {""});
        Line(text, {"No earlier payment from this paying account is known, so payees are not compared this time."});
        return text;
    case SummaryFacts::Check::NotCompared:
        Line(text, {""});
        Line(text, {"Payees could not be compared: ", facts.PayeeProblem});
        return text;
    case SummaryFacts::Check::Compared:
        break;
    }
    if (facts.PayeesToCheckCount == 0)
        return text;
    Line(text, {""});
    Line(text, {"Payees to check: ", std::to_string(facts.PayeesToCheckCount)});
    for (const PayeeToCheck& payee : facts.PayeesToCheck) {
        switch (payee.Why) {
        case PayeeToCheck::Reason::New:
            Append(text, {"    ", payee.Name, ": new payee, "});
            AppendDetails(text, payee.Details);
            Line(text, {});
            break;
        case PayeeToCheck::Reason::Changed:
            Line(text, {"    ", payee.Name, ": bank details changed"});
            text += "        before: ";
            AppendDetails(text, payee.Earlier);
            text += " (last paid ";
            AppendDate(text, payee.EarlierDate);
            Line(text, {")"});
            text += "        now:    ";
            AppendDetails(text, payee.Details);
            Line(text, {});
            break;
        case PayeeToCheck::Reason::OtherName:
            Append(text, {"    ", payee.Name, ": "});
            AppendDetails(text, payee.Details);
            Append(text, {" last paid to ", payee.OtherName, " ("});
            AppendDate(text, payee.EarlierDate);
            Line(text, {")"});
            break;
        }
    }
    if (static_cast<std::size_t>(facts.PayeesToCheckCount) > facts.PayeesToCheck.size())
        Line(text, {"    and ",
                    std::to_string(facts.PayeesToCheckCount - static_cast<long>(facts.PayeesToCheck.size())), " more"});
    return text;
}
