#include "payments/payee_check.h"

#include <algorithm>

namespace {

std::uint64_t HashDetails(std::string_view sortCode, std::string_view accountNumber)
{
    std::uint64_t hash = 14695981039346656037ULL;
    auto add = [&](std::string_view text) {
        for (char c : text) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 1099511628211ULL;
        }
    };
    add(sortCode);
    add("\t");
    add(accountNumber);
    return hash;
}

}  // namespace

PayeeCheck::PayeeCheck(const PayeeHistory* history, std::string account, std::string date)
    : history_(history), account_(std::move(account)), date_(std::move(date))
{
    if (!history_)
        return;
    first_ = history_->First(account_);
    for (std::size_t at = first_; at < history_->Size(); ++at) {
        std::string_view payee;
        if (history_->AccountAt(at, &payee) != account_)
            break;
        const PayeeEntry entry = history_->EntryAt(at);
        byDetails_.emplace_back(HashDetails(entry.Details.SortCode, entry.Details.AccountNumber),
                                static_cast<std::uint32_t>(at));
    }
    knowsAccount_ = !byDetails_.empty();
    std::sort(byDetails_.begin(), byDetails_.end());
}

void PayeeCheck::Flag(PayeeToCheck payee, const std::string& key)
{
    if (!flagged_.insert(key).second)
        return;
    ++count_;
    if (listed_.size() < kSummaryListLimit)
        listed_.push_back(std::move(payee));
}

void PayeeCheck::Add(const NotedPayee& noted, bool passed)
{
    const std::string key = PayeeKey(noted.Name);
    if (passed && !key.empty() && !account_.empty()) {
        PayeeEntry entry;
        entry.Account = account_;
        entry.Payee = key;
        entry.Name = noted.Name;
        entry.Details = noted.Details;
        entry.Date = date_;
        const std::uint64_t hash = HashDetails(key, {});
        const auto seen = rememberedAt_.find(hash);
        std::string line = PayeeLine(entry);
        // Another payee of the same hash keeps its own line: the history's merge orders them.
        if (seen != rememberedAt_.end() &&
            remembered_[seen->second].compare(account_.size() + 1, key.size() + 1, key + "\t") == 0) {
            remembered_[seen->second] = std::move(line);
        } else {
            rememberedAt_[hash] = static_cast<std::uint32_t>(remembered_.size());
            remembered_.push_back(std::move(line));
        }
    }
    if (!knowsAccount_)
        return;

    PayeeToCheck check;
    check.Name = noted.Name;
    check.Details = noted.Details;
    PayeeEntry earlier;
    const bool known = history_->Find(account_, key, &earlier);
    if (known && earlier.Details != noted.Details) {
        check.Why = PayeeToCheck::Reason::Changed;
        check.Earlier = earlier.Details;
        check.EarlierDate = earlier.Date;
        Flag(std::move(check), key);
        return;
    }
    // The same sort code and account number last paid under another name.
    const std::uint64_t hash = HashDetails(noted.Details.SortCode, noted.Details.AccountNumber);
    auto at = std::lower_bound(byDetails_.begin(), byDetails_.end(), std::make_pair(hash, std::uint32_t{0}));
    for (; at != byDetails_.end() && at->first == hash; ++at) {
        const PayeeEntry other = history_->EntryAt(at->second);
        if (other.Payee == key || other.Details.SortCode != noted.Details.SortCode ||
            other.Details.AccountNumber != noted.Details.AccountNumber)
            continue;
        check.Why = PayeeToCheck::Reason::OtherName;
        check.OtherName = other.Name;
        check.EarlierDate = other.Date;
        Flag(std::move(check), key);
        return;
    }
    if (!known) {
        check.Why = PayeeToCheck::Reason::New;
        Flag(std::move(check), key);
    }
}
