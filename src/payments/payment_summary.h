// The text of the Payment Summary that the user reads before a payment file is saved: what the file
// pays, how to check it at the bank, and the payees whose bank details need checking. Built from
// plain facts, so it is the same wherever it is shown or printed. UTF-8, lines ending in CR LF (as
// an edit control shows them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/payee_history.h"

// At most this many failed payments and payees to check are listed, then how many more there are.
constexpr std::size_t kSummaryListLimit = 500;

// An amount in pence with thousands separators and two decimals: 1234567 gives "12,345.67",
// -5 gives "-0.05".
std::string FormatPence(std::int64_t pence);

// The amount text of a payment file ("%.2f", "-" when negative) in pence, exactly; false when it is
// no such text or out of range.
bool PenceFromAmountText(const char* text, std::int64_t* pence);

// A sort code as the user knows it: "12-34-56" for six digits, else as it is.
std::string ShowSortCode(const std::string& digits);

struct SummaryFailure {
    long Number = 0;  // 1 for the batch's first payment
    std::string Name;
    std::string ResultText;
};

struct PayeeToCheck {
    enum class Reason { New, Changed, OtherName };
    Reason Why = Reason::New;
    std::string Name;
    PayeeDetails Details;     // in this file
    PayeeDetails Earlier;     // Changed: as last saved
    std::string EarlierDate;  // Changed, OtherName: the last payment's date, YYYY-MM-DD
    std::string OtherName;    // OtherName: the payee last paid with these details
};

struct SummaryFacts {
    std::string FilePath;
    std::string Layout;     // "Lintrove" or "Ledgerway"
    std::string DebitDate;  // the Ledgerway layout's debit date as written; empty for Lintrove
    long Count = 0;
    std::int64_t TotalPence = 0;
    bool TotalExact = true;  // false when an amount had no amount text in pence (infinite, huge)
    long FailedCount = 0;
    std::vector<SummaryFailure> Failures;  // the first kSummaryListLimit

    enum class Check { Compared, NothingEarlier, NotCompared, Off };
    Check Payees = Check::Compared;
    std::string PayeeProblem;  // NotCompared: why, naming the file
    long PayeesToCheckCount = 0;
    std::vector<PayeeToCheck> PayeesToCheck;  // the first kSummaryListLimit

    std::string LogProblem;  // the export log cannot be written: why, naming the file
};

std::string BuildSummaryText(const SummaryFacts& facts);
