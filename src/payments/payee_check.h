// The payees of one payment file compared with the payee history of the paying account: which are
// new, which have other bank details than last time, and which are paid to bank details last paid
// to another payee. Also gathers the payees to remember once the file is saved.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "payments/payment_summary.h"
#include "settings/payee_history.h"

// One payment's payee as it went into the file.
struct NotedPayee {
    std::string Name;  // UTF-8, as the host gave it
    PayeeDetails Details;
};

class PayeeCheck {
public:
    // history is the paying account's earlier payments (null: nothing is compared); it must
    // outlive the check. date is the day the file is saved, YYYY-MM-DD. payments, the batch's
    // size, bounds the room taken at once for the lines of the known payees.
    PayeeCheck(const PayeeHistory* history, std::string account, std::string date, std::size_t payments = 0);

    // Compares one payment's payee; remembers it when the payment passed its checks.
    void Add(const NotedPayee& payee, bool passed);

    // Whether the history knows any payee of the paying account.
    bool KnowsAccount() const { return knowsAccount_; }
    long Count() const { return count_; }
    // The first kSummaryListLimit payees to check; each payee once.
    std::vector<PayeeToCheck> TakeListed() { return std::move(listed_); }
    // The history lines of this file's payees that passed their checks, each payee once.
    const PayeeLines& Remembered() const { return remembered_; }

private:
    // Open addressing, each slot an index + 1 (0: empty) and its key's hash, which places it and
    // settles most compares: a payee of a large history or batch costs one hash and one compare
    // of its text, and eight to sixteen bytes.
    class Index {
    public:
        // The slot for key (keyAt gives the key of an index): 0 in it when the key is not there.
        // Room for one more key is made first.
        template <typename KeyAt>
        std::uint32_t& Slot(std::string_view key, const KeyAt& keyAt);
        void Added() { ++used_; }
        // The index + 1 of key, or 0.
        template <typename KeyAt>
        std::uint32_t Find(std::string_view key, const KeyAt& keyAt);

    private:
        struct Entry {
            std::uint32_t Hash;
            std::uint32_t At;
        };
        template <typename KeyAt>
        std::uint32_t& Probe(std::string_view key, const KeyAt& keyAt);

        std::vector<Entry> slots_;
        std::size_t used_ = 0;
    };
    std::string_view HistoryPayee(std::uint32_t at) const;
    // The sort code, a tab and the account number of the entry at, as its line holds them.
    std::string_view HistoryDetails(std::uint32_t at) const;
    std::string_view RememberedPayee(std::uint32_t at) const;
    // known: the payee's entry in the history (index + 1), or 0.
    void Remember(const NotedPayee& noted, std::uint32_t known);
    void Compare(const NotedPayee& noted, std::uint32_t known);
    // Counts this payment's payee as one to check, once however often it is paid; true when it
    // is among those listed (the caller then lists it).
    bool Flag();
    void List(PayeeToCheck::Reason why, const NotedPayee& noted);

    const PayeeHistory* history_;
    std::string account_;
    std::string date_;
    bool knowsAccount_ = false;
    std::size_t first_ = 0;
    std::size_t end_ = 0;
    // The account's payees by key, and by bank details (sort code, tab, account number): the first
    // entry with those details, and after each entry the next with the same (index + 1, or 0).
    Index byPayee_;
    Index byDetails_;
    std::vector<std::uint32_t> sameDetails_;
    // Whether another of the account's entries has the same details; a known, unchanged payee
    // whose entry shares them with none needs no search of the details.
    std::vector<bool> sharesDetails_;
    // This payment's payee key and details, their room kept from payment to payment.
    std::string key_;
    std::string details_;
    PayeeLines flaggedKeys_;
    Index flagged_;
    long count_ = 0;
    std::vector<PayeeToCheck> listed_;
    PayeeLines remembered_;
    // Where each payee's line is in remembered_ (index + 1): for the history's entries by entry,
    // for new payees by key.
    std::vector<std::uint32_t> rememberedOfKnown_;
    Index rememberedAt_;
};
