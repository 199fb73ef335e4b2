#include "payments/payee_check.h"

namespace {

constexpr std::uint64_t kHashStart = 14695981039346656037ULL;

std::uint64_t HashText(std::uint64_t hash, std::string_view text)
{
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

}  // namespace

template <typename KeyAt>
std::uint32_t& PayeeCheck::Index::Probe(std::string_view key, const KeyAt& keyAt)
{
    const auto hash = static_cast<std::uint32_t>(HashText(kHashStart, key) >> 32);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        Entry& entry = slots_[at];
        if (entry.At == 0) {
            entry.Hash = hash;
            return entry.At;
        }
        if (entry.Hash == hash && keyAt(entry.At - 1) == key)
            return entry.At;
    }
}

template <typename KeyAt>
std::uint32_t& PayeeCheck::Index::Slot(std::string_view key, const KeyAt& keyAt)
{
    // At most half full: a miss ends after a probe or two.
    if ((used_ + 1) * 2 > slots_.size()) {
        std::vector<Entry> old = std::move(slots_);
        slots_.assign(old.empty() ? 64 : old.size() * 2, Entry{0, 0});
        const std::size_t mask = slots_.size() - 1;
        for (const Entry& entry : old) {
            if (entry.At == 0)
                continue;
            std::size_t at = entry.Hash & mask;
            while (slots_[at].At != 0)
                at = (at + 1) & mask;
            slots_[at] = entry;
        }
    }
    return Probe(key, keyAt);
}

template <typename KeyAt>
std::uint32_t PayeeCheck::Index::Find(std::string_view key, const KeyAt& keyAt)
{
    return slots_.empty() ? 0 : Probe(key, keyAt);
}

PayeeCheck::PayeeCheck(const PayeeHistory* history, std::string account, std::string date, std::size_t payments)
    : history_(history), account_(std::move(account)), date_(std::move(date))
{
    if (!history_)
        return;
    first_ = history_->First(account_);
    end_ = first_;
    std::size_t knownBytes = 0;
    auto payeeAt = [this](std::uint32_t at) { return HistoryPayee(at); };
    for (std::string_view payee; end_ < history_->Size() && history_->AccountAt(end_, &payee) == account_; ++end_) {
        std::uint32_t& slot = byPayee_.Slot(payee, payeeAt);
        if (slot == 0) {
            slot = static_cast<std::uint32_t>(end_) + 1;
            byPayee_.Added();
        }
        knownBytes += history_->LineLength(end_);
    }
    knowsAccount_ = end_ > first_;
    // A batch that pays the known payees again keeps as many lines as they had: the room is taken
    // before the run, not grown (and moved) while the payments are checked.
    if (knowsAccount_ && payments > 0) {
        const std::size_t known = end_ - first_;
        const std::size_t lines = payments < known ? payments : known;
        remembered_.Reserve(lines, knownBytes / known * lines + lines * 8);
    }
    // From the last entry back, so that each chain of the same details runs in the history's order.
    auto detailsAt = [this](std::uint32_t at) { return HistoryDetails(at); };
    sameDetails_.assign(end_ - first_, 0);
    sharesDetails_.assign(end_ - first_, false);
    rememberedOfKnown_.assign(end_ - first_, 0);
    for (std::size_t at = end_; at-- > first_;) {
        std::uint32_t& slot = byDetails_.Slot(HistoryDetails(static_cast<std::uint32_t>(at)), detailsAt);
        if (slot == 0) {
            byDetails_.Added();
        } else {
            sharesDetails_[at - first_] = true;
            sharesDetails_[slot - 1 - first_] = true;
        }
        sameDetails_[at - first_] = slot;
        slot = static_cast<std::uint32_t>(at) + 1;
    }
}

std::string_view PayeeCheck::HistoryPayee(std::uint32_t at) const
{
    std::string_view payee;
    history_->AccountAt(at, &payee);
    return payee;
}

std::string_view PayeeCheck::HistoryDetails(std::uint32_t at) const
{
    const PayeeView entry = history_->ViewAt(at);
    return {entry.SortCode.data(), entry.SortCode.size() + 1 + entry.AccountNumber.size()};
}

std::string_view PayeeCheck::RememberedPayee(std::uint32_t at) const
{
    // The line begins with the paying account and a tab.
    std::string_view line = remembered_.At(at).substr(account_.size() + 1);
    return line.substr(0, line.find('\t'));
}

bool PayeeCheck::Flag()
{
    std::uint32_t& slot = flagged_.Slot(key_, [this](std::uint32_t at) { return flaggedKeys_.At(at); });
    if (slot != 0)
        return false;
    flaggedKeys_.Add(key_);
    slot = static_cast<std::uint32_t>(flaggedKeys_.Size());
    flagged_.Added();
    ++count_;
    return listed_.size() < kSummaryListLimit;
}

void PayeeCheck::List(PayeeToCheck::Reason why, const NotedPayee& noted)
{
    listed_.emplace_back();
    PayeeToCheck& check = listed_.back();
    check.Why = why;
    check.Name = noted.Name;
    check.Details = noted.Details;
}

void PayeeCheck::Add(const NotedPayee& noted, bool passed)
{
    PayeeKeyInto(noted.Name, key_);
    const std::uint32_t known =
        knowsAccount_ ? byPayee_.Find(key_, [this](std::uint32_t at) { return HistoryPayee(at); }) : 0;
    if (passed && !key_.empty() && !account_.empty())
        Remember(noted, known);
    if (knowsAccount_)
        Compare(noted, known);
}

void PayeeCheck::Remember(const NotedPayee& noted, std::uint32_t known)
{
    std::string& line = remembered_.Scratch();
    line.clear();
    AppendPayeeLine(line, account_, key_, noted.Name, noted.Details, date_);
    // Each payee once: a batch paying a few payees many times remembers a few lines, the last. A
    // known payee's line is found by its entry, a new one's by its key.
    std::uint32_t& slot = known != 0
                              ? rememberedOfKnown_[known - 1 - first_]
                              : rememberedAt_.Slot(key_, [this](std::uint32_t at) { return RememberedPayee(at); });
    const bool fresh = slot == 0;
    if (fresh && known == 0)
        rememberedAt_.Added();
    if (fresh) {
        remembered_.Add(line, known);
        slot = static_cast<std::uint32_t>(remembered_.Size());
    } else if (remembered_.At(slot - 1) != line) {
        remembered_.Replace(slot - 1, line);
    }
}

void PayeeCheck::Compare(const NotedPayee& noted, std::uint32_t known)
{
    if (known != 0) {
        const PayeeView earlier = history_->ViewAt(known - 1);
        if (!earlier.SameDetails(noted.Details)) {
            if (Flag()) {
                List(PayeeToCheck::Reason::Changed, noted);
                PayeeToCheck& check = listed_.back();
                check.Earlier.SortCode = earlier.SortCode;
                check.Earlier.AccountNumber = earlier.AccountNumber;
                check.Earlier.RollNumber = earlier.RollNumber;
                check.EarlierDate = earlier.Date;
            }
            return;
        }
        // Unchanged, and no other payee was paid with these details.
        if (!sharesDetails_[known - 1 - first_])
            return;
    }
    // The same sort code and account number last paid under another name.
    details_.assign(noted.Details.SortCode);
    details_ += '\t';
    details_ += noted.Details.AccountNumber;
    auto detailsAt = [this](std::uint32_t at) { return HistoryDetails(at); };
    for (std::uint32_t at = byDetails_.Find(details_, detailsAt); at != 0; at = sameDetails_[at - 1 - first_]) {
        if (at == known)
            continue;  // the payee's own entry
        const PayeeView other = history_->ViewAt(at - 1);
        if (other.Payee == key_)
            continue;
        if (Flag()) {
            List(PayeeToCheck::Reason::OtherName, noted);
            listed_.back().OtherName = other.Name;
            listed_.back().EarlierDate = other.Date;
        }
        return;
    }
    if (known == 0 && Flag())
        List(PayeeToCheck::Reason::New, noted);
}
