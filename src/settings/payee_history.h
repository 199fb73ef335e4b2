// The payee history: for each paying account, the bank details last saved in a payment file for
// each payee, and the date. A payee is known by its name in capitals on letters and digits only, so
// "J. Smith & Co" and "J SMITH CO" are one payee. The history is one text file, read whole and
// written whole; this unit holds its contents and its text form, payee_history_file.h its file.
//
// The text form, UTF-8, one line per payee, sorted by paying account then payee:
//     Payee history 1
//     <paying account> TAB <payee> TAB <name> TAB <sort code> TAB <account number> TAB <roll number> TAB <YYYY-MM-DD>
//     ...
//     End <number of payee lines>
// The last line tells a whole file from one cut short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "support/platform.h"

// Wide text as UTF-8 (a lone surrogate becomes U+FFFD).
std::string WideToUtf8(const platform::WideChar* text, std::size_t length);

// The name a payee is known by: letters and digits only, in capitals.
std::string PayeeKey(std::string_view utf8Name);

// An account number as the bank reads it: trailing and leading spaces gone, and a number of digits
// shorter than eight with zeros in front up to eight.
std::string NormalAccountNumber(std::string_view text);

// Bank details of one payment to one payee.
struct PayeeDetails {
    std::string SortCode;  // digits only
    std::string AccountNumber;
    std::string RollNumber;  // in capitals, spaces at the ends gone

    bool operator==(const PayeeDetails& other) const
    {
        return SortCode == other.SortCode && AccountNumber == other.AccountNumber && RollNumber == other.RollNumber;
    }
    bool operator!=(const PayeeDetails& other) const { return !(*this == other); }
};

// One payee of one paying account as the history holds it.
struct PayeeEntry {
    std::string Account;  // the paying account's key
    std::string Payee;    // PayeeKey of the name
    std::string Name;     // the name as last saved
    PayeeDetails Details;
    std::string Date;  // YYYY-MM-DD
};

class PayeeHistory {
public:
    static const char kFirstLine[];

    // Reads the text form. False, with the line at fault in *problem ("line 12: ..."), when the
    // text is not a whole history; the history is then empty.
    bool Parse(std::string_view text, std::string* problem);
    // The text form, with the last line.
    std::string Text() const;
    // The same in pieces of some 60 KB, each handed to write until it returns false.
    void Write(const std::function<bool(const std::string&)>& write) const;

    std::size_t Size() const { return lines_.size(); }
    bool Empty() const { return lines_.empty(); }
    // Whether any payee of the paying account is known.
    bool KnowsAccount(std::string_view account) const;
    // The payee of the paying account; false when it is not known.
    bool Find(std::string_view account, std::string_view payee, PayeeEntry* entry) const;
    // Keeps the entries, as PayeeLine gives them (paying account and payee not empty), each
    // replacing the one of the same paying account and payee; of two for one payee the later wins.
    void Remember(std::vector<std::string> lines);

    // The payees of the paying account are those at First(account) up to, not including, the
    // first at which the account differs.
    std::size_t First(std::string_view account) const { return LowerBound(account, {}); }
    PayeeEntry EntryAt(std::size_t at) const;
    // The paying account and payee of the entry at.
    std::string_view AccountAt(std::size_t at, std::string_view* payee) const;

private:
    // Each payee is kept as its line without the line end, which holds the seven fields in the
    // least memory: a history of many payees is read whole.
    std::size_t LowerBound(std::string_view account, std::string_view payee) const;

    std::vector<std::string> lines_;
};

// The text form of an entry's line, its fields cleaned of tabs and line breaks.
std::string PayeeLine(const PayeeEntry& entry);
