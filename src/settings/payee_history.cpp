#include "settings/payee_history.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "support/utf8.h"

namespace {

constexpr int kFieldCount = 7;

// A field of a line: what would end the field or the line becomes a space.
void AppendField(std::string& line, const std::string& field)
{
    for (char c : field)
        line += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
}

// The fields of a line; false unless there are exactly seven.
bool SplitLine(std::string_view line, std::string_view (&fields)[kFieldCount])
{
    int count = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        if (count == kFieldCount)
            return false;
        fields[count++] = line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
        if (tab == std::string_view::npos)
            break;
        start = tab + 1;
    }
    return count == kFieldCount;
}

bool IsDate(std::string_view text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i != 4 && i != 7 && (text[i] < '0' || text[i] > '9'))
            return false;
    }
    return true;
}

std::string_view FirstTwoFields(std::string_view line, std::string_view* payee)
{
    const std::size_t first = line.find('\t');
    const std::string_view account = line.substr(0, first);
    const std::size_t second = first == std::string_view::npos ? first : line.find('\t', first + 1);
    *payee =
        first == std::string_view::npos
            ? std::string_view()
            : line.substr(first + 1, second == std::string_view::npos ? std::string_view::npos : second - first - 1);
    return account;
}

int CompareKeys(std::string_view account, std::string_view payee, std::string_view otherAccount,
                std::string_view otherPayee)
{
    if (const int byAccount = account.compare(otherAccount))
        return byAccount;
    return payee.compare(otherPayee);
}

}  // namespace

const char PayeeHistory::kFirstLine[] = "Payee history 1";

std::string WideToUtf8(const platform::WideChar* text, std::size_t length)
{
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        std::uint32_t code = static_cast<std::uint16_t>(text[i]);
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < length) {
            const std::uint32_t low = static_cast<std::uint16_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (code >= 0xD800 && code <= 0xDFFF)
            code = 0xFFFD;
        AppendUtf8(out, code);
    }
    return out;
}

std::string PayeeKey(std::string_view utf8Name)
{
    std::string key;
    key.reserve(utf8Name.size());
    for (std::size_t i = 0; i < utf8Name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8Name[i]);
        if (c >= 'a' && c <= 'z') {
            key += static_cast<char>(c - 'a' + 'A');
        } else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            key += static_cast<char>(c);
        } else if (c == 0xC3 && i + 1 < utf8Name.size()) {
            // Latin letters with accents (U+00C0 to U+00FE but the signs): small ones in capitals.
            const unsigned char next = static_cast<unsigned char>(utf8Name[i + 1]);
            const std::uint32_t code = 0xC0 + (next & 0x3F);
            ++i;
            if (code == 0xD7 || code == 0xF7)
                continue;
            AppendUtf8(key, code >= 0xE0 && code != 0xFF ? code - 0x20 : code);
        } else if (c >= 0x80) {
            // Other scripts are kept as they are: they are never punctuation of the Latin sort.
            key += static_cast<char>(c);
        }
    }
    return key;
}

std::string NormalAccountNumber(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    const bool digits =
        !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    std::string number;
    if (digits && text.size() < 8)
        number.assign(8 - text.size(), '0');
    number.append(text.data(), text.size());
    return number;
}

std::string PayeeLine(const PayeeEntry& entry)
{
    std::string line;
    line.reserve(entry.Account.size() + entry.Payee.size() + entry.Name.size() + 40);
    const std::string* fields[kFieldCount] = {&entry.Account,
                                              &entry.Payee,
                                              &entry.Name,
                                              &entry.Details.SortCode,
                                              &entry.Details.AccountNumber,
                                              &entry.Details.RollNumber,
                                              &entry.Date};
    for (int i = 0; i < kFieldCount; ++i) {
        if (i > 0)
            line += '\t';
        AppendField(line, *fields[i]);
    }
    return line;
}

bool PayeeHistory::Parse(std::string_view text, std::string* problem)
{
    lines_.clear();
    std::size_t lineNumber = 0;
    std::size_t expected = 0;
    bool ended = false;
    auto fail = [&](const char* what) {
        lines_.clear();
        lines_.shrink_to_fit();
        if (problem)
            *problem = "line " + std::to_string(lineNumber) + ": " + what;
        return false;
    };
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        start = end + 1;
        ++lineNumber;
        if (ended)
            return fail("text after the last line");
        if (lineNumber == 1) {
            if (line != kFirstLine)
                return fail("not a payee history");
            continue;
        }
        if (line.compare(0, 4, "End ") == 0) {
            const std::string count(line.substr(4));
            if (count.empty() || count.find_first_not_of("0123456789") != std::string::npos)
                return fail("a damaged last line");
            expected = static_cast<std::size_t>(std::strtoull(count.c_str(), nullptr, 10));
            ended = true;
            continue;
        }
        std::string_view fields[kFieldCount];
        if (!SplitLine(line, fields) || fields[0].empty() || fields[1].empty() || !IsDate(fields[6]))
            return fail("a damaged payee line");
        if (!lines_.empty()) {
            std::string_view lastPayee;
            const std::string_view lastAccount = FirstTwoFields(lines_.back(), &lastPayee);
            if (CompareKeys(lastAccount, lastPayee, fields[0], fields[1]) >= 0)
                return fail("payees out of order");
        }
        lines_.emplace_back(line);
    }
    if (lineNumber == 0)
        return fail("empty");
    if (!ended)
        return fail("cut short");
    if (expected != lines_.size())
        return fail("the number of payees does not match the last line");
    return true;
}

void PayeeHistory::Write(const std::function<bool(const std::string&)>& write) const
{
    std::string piece = std::string(kFirstLine) + "\r\n";
    for (const std::string& line : lines_) {
        piece += line;
        piece += "\r\n";
        if (piece.size() >= 60000) {
            if (!write(piece))
                return;
            piece.clear();
        }
    }
    piece += "End " + std::to_string(lines_.size()) + "\r\n";
    write(piece);
}

std::string PayeeHistory::Text() const
{
    std::size_t size = 64;
    for (const std::string& line : lines_)
        size += line.size() + 2;
    std::string text;
    text.reserve(size);
    text += kFirstLine;
    text += "\r\n";
    for (const std::string& line : lines_) {
        text += line;
        text += "\r\n";
    }
    text += "End " + std::to_string(lines_.size()) + "\r\n";
    return text;
}

std::size_t PayeeHistory::LowerBound(std::string_view account, std::string_view payee) const
{
    const auto at = std::lower_bound(lines_.begin(), lines_.end(), 0, [&](const std::string& line, int) {
        std::string_view linePayee;
        const std::string_view lineAccount = FirstTwoFields(line, &linePayee);
        return CompareKeys(lineAccount, linePayee, account, payee) < 0;
    });
    return static_cast<std::size_t>(at - lines_.begin());
}

PayeeEntry PayeeHistory::EntryAt(std::size_t at) const
{
    std::string_view fields[kFieldCount];
    PayeeEntry entry;
    if (!SplitLine(lines_[at], fields))
        return entry;
    entry.Account = fields[0];
    entry.Payee = fields[1];
    entry.Name = fields[2];
    entry.Details.SortCode = fields[3];
    entry.Details.AccountNumber = fields[4];
    entry.Details.RollNumber = fields[5];
    entry.Date = fields[6];
    return entry;
}

std::string_view PayeeHistory::AccountAt(std::size_t at, std::string_view* payee) const
{
    return FirstTwoFields(lines_[at], payee);
}

bool PayeeHistory::KnowsAccount(std::string_view account) const
{
    const std::size_t at = LowerBound(account, {});
    if (at >= lines_.size())
        return false;
    std::string_view payee;
    return FirstTwoFields(lines_[at], &payee) == account;
}

bool PayeeHistory::Find(std::string_view account, std::string_view payee, PayeeEntry* entry) const
{
    const std::size_t at = LowerBound(account, payee);
    if (at >= lines_.size())
        return false;
    std::string_view linePayee;
    if (FirstTwoFields(lines_[at], &linePayee) != account || linePayee != payee)
        return false;
    if (entry)
        *entry = EntryAt(at);
    return true;
}

void PayeeHistory::Remember(std::vector<std::string> added)
{
    auto less = [](const std::string& left, const std::string& right) {
        std::string_view leftPayee;
        std::string_view rightPayee;
        const std::string_view leftAccount = FirstTwoFields(left, &leftPayee);
        const std::string_view rightAccount = FirstTwoFields(right, &rightPayee);
        return CompareKeys(leftAccount, leftPayee, rightAccount, rightPayee) < 0;
    };
    // The last of a payee's lines wins.
    std::stable_sort(added.begin(), added.end(), less);
    // Known payees are replaced where they stand; the new ones are merged in after. A history of
    // many payees is never held twice.
    const std::size_t known = lines_.size();
    std::size_t fresh = 0;
    for (std::size_t at = 0; at < added.size(); ++at) {
        if (at + 1 < added.size() && !less(added[at], added[at + 1]))
            continue;
        const auto place =
            std::lower_bound(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(known), added[at], less);
        if (place != lines_.begin() + static_cast<std::ptrdiff_t>(known) && !less(added[at], *place))
            *place = std::move(added[at]);
        else if (fresh++ != at)
            added[fresh - 1] = std::move(added[at]);
    }
    added.resize(fresh);
    lines_.reserve(known + fresh);
    for (std::string& line : added)
        lines_.push_back(std::move(line));
    added.clear();
    added.shrink_to_fit();
    std::inplace_merge(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(known), lines_.end(), less);
}
