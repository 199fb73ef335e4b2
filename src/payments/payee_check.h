// The payees of one payment file compared with the payee history of the paying account: which are
// new, which have other bank details than last time, and which are paid to bank details last paid
// to another payee. Also gathers the payees to remember once the file is saved.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
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
    // outlive the check. date is the day the file is saved, YYYY-MM-DD.
    PayeeCheck(const PayeeHistory* history, std::string account, std::string date);

    // Compares one payment's payee; remembers it when the payment passed its checks.
    void Add(const NotedPayee& payee, bool passed);

    // Whether the history knows any payee of the paying account.
    bool KnowsAccount() const { return knowsAccount_; }
    long Count() const { return count_; }
    // The first kSummaryListLimit payees to check; each payee once.
    const std::vector<PayeeToCheck>& Listed() const { return listed_; }
    std::vector<PayeeToCheck> TakeListed() { return std::move(listed_); }
    // The history lines of this file's payees that passed their checks.
    std::vector<std::string> TakeRemembered()
    {
        rememberedAt_.clear();
        return std::move(remembered_);
    }

private:
    void Flag(PayeeToCheck payee, const std::string& key);

    const PayeeHistory* history_;
    std::string account_;
    std::string date_;
    bool knowsAccount_ = false;
    std::size_t first_ = 0;
    // The account's bank details by hash, with the entry's index, sorted: a lookup costs a binary
    // search and the index sixteen bytes a payee.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> byDetails_;
    std::unordered_set<std::string> flagged_;
    long count_ = 0;
    std::vector<PayeeToCheck> listed_;
    std::vector<std::string> remembered_;
    // Each payee once, by the hash of its key: a batch paying a few payees many times remembers a
    // few lines.
    std::unordered_map<std::uint64_t, std::uint32_t> rememberedAt_;
};
